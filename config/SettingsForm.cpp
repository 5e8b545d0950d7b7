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

const char* flag(bool set)
{
    return set ? "1" : "0";
}

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
        list(key.list).selectPrefix(m_storedTexts[i]);
    }
    list(ListId::Driver).select(m_profile.readInt(m_iniPath, kTv, "CaptureDriverIndex", 0));
    m_twoDigits = m_profile.readInt(m_iniPath, kTv, "TwoDigits", 0) != 0 ? 1 : 0;
    m_highResolution = m_profile.readInt(m_iniPath, kTv, "Quality", 0) != 0;
    m_masterVolume = m_profile.readInt(m_iniPath, kTv, "AdjustMasterVolume", 1) != 0;
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

void SettingsForm::fillResolutions()
{
    ChoiceList& resolutions = list(ListId::Resolution);
    resolutions.append(kCurrentDesktopLine);
    m_resolutionModes.assign(1, DisplayMode{});
    const bool custom = m_profile.readInt(m_iniPath, kTv, "CustomResolution", 0) != 0;
    const DisplayMode stored{m_profile.readInt(m_iniPath, kTv, "CustomResolutionX", 0),
                             m_profile.readInt(m_iniPath, kTv, "CustomResolutionY", 0),
                             m_profile.readInt(m_iniPath, kTv, "CustomResolutionBPP", 0)};
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

void SettingsForm::writeAll()
{
    for (std::size_t i = 0; i < kTextKeys.size(); ++i) {
        const TextKey& key = kTextKeys[i];
        const std::string* selected = list(key.list).selectedText();
        m_profile.writeString(m_iniPath, key.section, key.key, selected != nullptr ? *selected : m_storedTexts[i]);
    }
    m_profile.writeInt(m_iniPath, kTv, "TwoDigits", m_twoDigits);
    m_profile.writeInt(m_iniPath, kTv, "CaptureDriverIndex", list(ListId::Driver).selection());
    m_profile.writeString(m_iniPath, kTv, "Quality", flag(m_highResolution));
    m_profile.writeString(m_iniPath, kTv, "AdjustMasterVolume", flag(m_masterVolume));
    const int line = list(ListId::Resolution).selection();
    if (line <= 0 || line >= static_cast<int>(m_resolutionModes.size())) {
        m_profile.writeString(m_iniPath, kTv, "CustomResolution", "0");
        return;
    }
    const DisplayMode& mode = m_resolutionModes[static_cast<std::size_t>(line)];
    m_profile.writeString(m_iniPath, kTv, "CustomResolution", "1");
    m_profile.writeInt(m_iniPath, kTv, "CustomResolutionX", mode.width);
    m_profile.writeInt(m_iniPath, kTv, "CustomResolutionY", mode.height);
    m_profile.writeInt(m_iniPath, kTv, "CustomResolutionBPP", mode.bitsPerPixel);
}

} // namespace velora::config
