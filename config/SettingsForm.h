// The settings dialog without its widgets: what it shows, where each list comes from, and
// what it writes to velora.ini. The Qt dialog (config/ui/CSettingsDlg) binds its controls to
// this form, copies the user's choices in before OK, and shows what it says.
//
// Keys, all read and written one at a time through the profile module, each described once
// in a table that the reading, the writing and the checks of stored values share:
//   TV/Card, TV/Tuner, TV/ChannelTable, Global/Language, TV/Font      text, list lines
//   TV/TwoDigits                                                      check box, "1"/"0"
//   TV/CaptureDriverIndex                                             position in the driver list
//   TV/Quality, TV/AdjustMasterVolume                                 radio groups, "1"/"0"
//   TV/CustomResolution (+X, Y, BPP)                                  resolution list
#pragma once

#include "config/ChoiceList.h"
#include "config/SystemLists.h"
#include "platform/Profile.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace velora::config {

// The configuration file's path for a program in programDirectory: velora.ini beside the
// program, or, when that folder cannot be written (a system-wide install) or is unknown, the
// per-user velora.ini (a bare file name, which the profile module places in the user's
// configuration folder).
std::string LocateIniFile(std::string_view programDirectory, bool directoryWritable);

// The dialog's seven lists.
enum class ListId { Font, Language, Resolution, ChannelTable, Tuner, Card, Driver };
inline constexpr int kListCount = 7;

// The integer keys, in the order OK writes them (after the text keys).
enum class IntKey {
    TwoDigits,
    CaptureDriverIndex,
    Quality,            // 1: High Resolution (576 lines, interlaced); 0: Low Resolution (288 lines)
    AdjustMasterVolume, // 1: Master Volume by default; 0: TV Volume
    CustomResolution,
    CustomResolutionX,
    CustomResolutionY,
    CustomResolutionBPP,
};
inline constexpr int kIntKeyCount = 8;

// Line 0 of the resolution list.
inline constexpr const char* kCurrentDesktopLine = "(Use current desktop settings)";

class SettingsForm
{
public:
    // iniPath is the configuration file, passed unchanged to the profile.
    SettingsForm(platform::Profile& profile, std::string iniPath, SystemLists lists);

    // Fills every list and control from the data folders, the system and velora.ini, in the
    // order the dialog opens: data folders, capture drivers, the stored text keys (each
    // selecting the first line that begins with it), font faces and font, driver position,
    // check box, radio groups, resolution list. A stored font that no face begins with but
    // that the system draws with an installed face is added to the font list and selected. Selections made here are the
    // program's own: they never count as a change by the user.
    void fill();

    ChoiceList& list(ListId id) { return m_lists[static_cast<std::size_t>(id)]; }
    const ChoiceList& list(ListId id) const { return m_lists[static_cast<std::size_t>(id)]; }

    // The keys that are "1" or "0": TwoDigits, Quality, AdjustMasterVolume.
    bool flag(IntKey key) const { return m_values[index(key)] != 0; }
    void setFlag(IntKey key, bool set) { m_values[index(key)] = set ? 1 : 0; }

    // The user changed the resolution list's selection. Returns true the first time in the
    // life of this form, when the resolution warning is to be shown, and false ever after.
    bool resolutionChangedByUser();
    bool warningShown() const { return m_warningShown; }

    // OK: writes every key, in this order: Card, Tuner, ChannelTable, Language, Font,
    // TwoDigits, CaptureDriverIndex, Quality, AdjustMasterVolume, CustomResolution and, when
    // a display mode is chosen, CustomResolutionX, Y and BPP. A text key whose list has no
    // selected line gets back the value read when the form was filled, so that OK never
    // erases a setting the user did not touch. Every key is written even after a failed
    // write; returns false when any write failed.
    bool writeAll();

    const std::string& iniPath() const { return m_iniPath; }

private:
    void fillDataList(ListId id, std::string_view folder, std::string_view extension);
    void fillFonts();
    void selectSubstitutedFont(const std::string& stored);
    void fillResolutions();
    void takeResolution();
    static std::size_t index(IntKey key) { return static_cast<std::size_t>(key); }

    platform::Profile& m_profile;
    std::string m_iniPath;
    SystemLists m_sources;

    bool m_warningShown = false;
    std::array<ChoiceList, kListCount> m_lists;
    // The integer keys' values, as read and checked, then as the user chose them.
    std::array<int, kIntKeyCount> m_values{};
    // The mode behind each line of the resolution list; line 0 has none.
    std::vector<DisplayMode> m_resolutionModes;
    // The stored texts of Card, Tuner, ChannelTable, Language and Font, as read.
    std::array<std::string, 5> m_storedTexts;
};

// The resolution warning, shown once per dialog on the user's first change of resolution.
inline constexpr const char* kResolutionWarning =
    "WARNING!\n\nSome screen resolutions may not be available on your monitor!\n\nUse this option with caution as "
    "improper resolution settings can even damage your hardware.";

} // namespace velora::config
