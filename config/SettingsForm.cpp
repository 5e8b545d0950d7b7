#include "config/SettingsForm.h"

#include "config/DataNames.h"

#include <utility>

namespace velora::config {
namespace {

constexpr const char* kIniFileName = "velora.ini";
constexpr const char* kTv = "TV";

// The text keys, in the order OK writes them; each selects a line of its list by prefix.
struct TextKey
{
    ListId list;
    const char* section;
    const char* key;
    const char* defaultValue;
};

constexpr std::array<TextKey, 5> kTextKeys{{
    {ListId::Card, kTv, "Card", "Generic"},
    {ListId::Tuner, kTv, "Tuner", "TEMIC_PAL_BG"},
    {ListId::ChannelTable, kTv, "ChannelTable", "Default"},
    {ListId::Language, "Global", "Language", "English"},
    {ListId::Font, kTv, "Font", "Arial"},
}};
constexpr std::size_t kFontKey = 4;

// What a stored integer may be. A flag reads any value but 0 as 1; the driver position is
// kept when it names a line of the driver list and is -1 otherwise; the resolution's sizes
// are taken as they are.
enum class Range { Flag, DriverLine, Any };

struct IntSetting
{
    IntKey id;
    const char* section;
    const char* key;
    int defaultValue;
    Range range;
};

// In the order of IntKey, which is the order OK writes them.
constexpr std::array<IntSetting, kIntKeyCount> kIntKeys{{
    {IntKey::TwoDigits, kTv, "TwoDigits", 0, Range::Flag},
    {IntKey::CaptureDriverIndex, kTv, "CaptureDriverIndex", 0, Range::DriverLine},
    {IntKey::Quality, kTv, "Quality", 0, Range::Flag},
    {IntKey::AdjustMasterVolume, kTv, "AdjustMasterVolume", 1, Range::Flag},
    {IntKey::CustomResolution, kTv, "CustomResolution", 0, Range::Flag},
    {IntKey::CustomResolutionX, kTv, "CustomResolutionX", 0, Range::Any},
    {IntKey::CustomResolutionY, kTv, "CustomResolutionY", 0, Range::Any},
    {IntKey::CustomResolutionBPP, kTv, "CustomResolutionBPP", 0, Range::Any},
}};

constexpr bool inIntKeyOrder()
{
    for (std::size_t i = 0; i < kIntKeys.size(); ++i) {
        if (static_cast<std::size_t>(kIntKeys[i].id) != i) {
            return false;
        }
    }
    return true;
}
static_assert(inIntKeyOrder());

// The size keys are written only together with a chosen display mode.
bool isResolutionSize(IntKey id)
{
    return id == IntKey::CustomResolutionX || id == IntKey::CustomResolutionY || id == IntKey::CustomResolutionBPP;
}

struct DataFolder
{
    ListId list;
    const char* folder;
    const char* extension;
};

constexpr std::array<DataFolder, 4> kDataFolders{{
    {ListId::Card, "cards", ".crd"},
    {ListId::Tuner, "tuners", ".tun"},
    {ListId::ChannelTable, "channeltables", ".cht"},
    {ListId::Language, "Languages", ".lng"},
}};

} // namespace

std::string LocateIniFile(std::string_view programDirectory, bool directoryWritable)
{
    if (programDirectory.empty() || !directoryWritable) {
        return kIniFileName;
    }
    std::string path(programDirectory);
    if (path.back() != '/') {
        path += '/';
    }
    return path + kIniFileName;
}

SettingsForm::SettingsForm(platform::Profile& profile, std::string iniPath, SystemLists lists)
    : m_profile(profile), m_iniPath(std::move(iniPath)), m_sources(lists)
{}

void SettingsForm::fillDataList(ListId id, std::string_view folder, std::string_view extension)
{
    for (const std::string& name : m_sources.dataFolders.fileNames(folder)) {
        if (auto line = dataListName(name, extension)) {
            list(id).addSorted(std::move(*line));
        }
    }
}

void SettingsForm::fill()
{
    for (const DataFolder& folder : kDataFolders) {
        fillDataList(folder.list, folder.folder, folder.extension);
    }
    for (int index = 0; index < CaptureDriverSource::kIndexCount; ++index) {
        if (auto description = m_sources.captureDrivers.description(index)) {
            list(ListId::Driver).addSorted(std::move(*description));
        }
    }
    for (std::size_t i = 0; i < kTextKeys.size(); ++i) {
        const TextKey& key = kTextKeys[i];
        m_storedTexts[i] = m_profile.readString(m_iniPath, key.section, key.key, key.defaultValue);
        if (i == kFontKey) {
            // The font faces are asked for only once the stored font is known.
            fillFonts();
        }
        if (!list(key.list).selectPrefix(m_storedTexts[i]) && i == kFontKey) {
            selectSubstitutedFont(m_storedTexts[i]);
        }
    }
    for (const IntSetting& setting : kIntKeys) {
        int& value = m_values[index(setting.id)];
        value = m_profile.readInt(m_iniPath, setting.section, setting.key, setting.defaultValue);
        if (setting.range == Range::Flag) {
            value = value != 0 ? 1 : 0;
        } else if (setting.range == Range::DriverLine) {
            list(ListId::Driver).select(value);
            value = list(ListId::Driver).selection();
        }
    }
    fillResolutions();
}

void SettingsForm::fillFonts()
{
    ChoiceList& fonts = list(ListId::Font);
    for (std::string& face : m_sources.fonts.faces()) {
        if (fonts.findExact(face) < 0) {
            fonts.addSorted(std::move(face));
        }
    }
}

// A stored font that is no installed face but that the system draws with one (Arial with
// Liberation Sans) is a working choice: it is listed and selected under its own name, so that
// OK writes it back as it was.
void SettingsForm::selectSubstitutedFont(const std::string& stored)
{
    ChoiceList& fonts = list(ListId::Font);
    if (stored.empty()) {
        return;
    }
    const std::optional<std::string> face = m_sources.fonts.substitute(stored);
    if (face && fonts.findExact(*face) >= 0) {
        fonts.select(fonts.addSorted(stored));
    }
}

void SettingsForm::fillResolutions()
{
    ChoiceList& resolutions = list(ListId::Resolution);
    resolutions.append(kCurrentDesktopLine);
    m_resolutionModes.assign(1, DisplayMode{});
    const bool custom = flag(IntKey::CustomResolution);
    const DisplayMode stored{m_values[index(IntKey::CustomResolutionX)], m_values[index(IntKey::CustomResolutionY)],
                             m_values[index(IntKey::CustomResolutionBPP)]};
    resolutions.select(0);
    // Every mode the display reports counts, the first one included.
    for (const DisplayMode& mode : m_sources.displayModes.modes()) {
        if (!isOfferedMode(mode)) {
            continue;
        }
        const int line = resolutions.append(modeLine(mode));
        m_resolutionModes.push_back(mode);
        if (custom && mode.width == stored.width && mode.height == stored.height &&
            mode.bitsPerPixel == stored.bitsPerPixel) {
            resolutions.select(line);
        }
    }
}

bool SettingsForm::resolutionChangedByUser()
{
    if (m_warningShown) {
        return false;
    }
    m_warningShown = true;
    return true;
}

// The chosen line of the resolution list into CustomResolution and, for a display mode, its
// sizes; the sizes stay as read when the line is the desktop's.
void SettingsForm::takeResolution()
{
    const int line = list(ListId::Resolution).selection();
    const bool chosen = line > 0 && line < static_cast<int>(m_resolutionModes.size());
    setFlag(IntKey::CustomResolution, chosen);
    if (chosen) {
        const DisplayMode& mode = m_resolutionModes[static_cast<std::size_t>(line)];
        m_values[index(IntKey::CustomResolutionX)] = mode.width;
        m_values[index(IntKey::CustomResolutionY)] = mode.height;
        m_values[index(IntKey::CustomResolutionBPP)] = mode.bitsPerPixel;
    }
}

bool SettingsForm::writeAll()
{
    bool written = true;
    for (std::size_t i = 0; i < kTextKeys.size(); ++i) {
        const TextKey& key = kTextKeys[i];
        const std::string* selected = list(key.list).selectedText();
        written = m_profile.writeString(m_iniPath, key.section, key.key,
                                        selected != nullptr ? *selected : m_storedTexts[i]) &&
                  written;
    }
    m_values[index(IntKey::CaptureDriverIndex)] = list(ListId::Driver).selection();
    takeResolution();
    for (const IntSetting& setting : kIntKeys) {
        if (isResolutionSize(setting.id) && !flag(IntKey::CustomResolution)) {
            continue;
        }
        written = m_profile.writeInt(m_iniPath, setting.section, setting.key, m_values[index(setting.id)]) && written;
    }
    return written;
}

} // namespace velora::config
