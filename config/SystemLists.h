// Where the settings dialog's lists come from: the data folders installed beside the
// program and what the system offers (capture drivers, font faces, display modes). Each
// source is a small interface so that the dialog runs in tests on fakes; the Linux backends
// live in config/linux/ and the font source, which asks Qt, in config/ui/.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velora::config {

// The data folders beside the program ("cards", "tuners", "channeltables", "Languages").
class DataFolderSource
{
public:
    virtual ~DataFolderSource() = default;

    // The names, without folder, of the files in the data folder called folder, its name
    // matched without regard to case. In any order; empty when there is no such folder.
    virtual std::vector<std::string> fileNames(std::string_view folder) = 0;
};

// The suite's data folders with the user's own tuner and card descriptions: the names in the
// "tuners" and "cards" folders of a second source (the user's data folder of a system-wide
// install) follow the suite's, each name listed once (without regard to case). The other
// folders come from the suite alone: the viewer reads them from there.
class UserDataFolders final : public DataFolderSource
{
public:
    // user may be null: then this lists what suite lists.
    UserDataFolders(DataFolderSource& suite, DataFolderSource* user) : m_suite(suite), m_user(user) {}
    std::vector<std::string> fileNames(std::string_view folder) override;

private:
    DataFolderSource& m_suite;
    DataFolderSource* m_user;
};

// The video capture drivers installed on the system, by index.
class CaptureDriverSource
{
public:
    virtual ~CaptureDriverSource() = default;

    // Number of indexes asked for: 0 to 9.
    static constexpr int kIndexCount = 10;

    // The description of the capture driver installed under an index (at most 79
    // characters), or nothing when none is. Indexes may have gaps.
    virtual std::optional<std::string> description(int index) = 0;
};

// The font faces installed on the system.
class FontSource
{
public:
    virtual ~FontSource() = default;

    // One face name per report; a face may be reported more than once (once per character
    // set it supports), and the dialog lists it once.
    virtual std::vector<std::string> faces() = 0;

    // The installed face the system's font matching draws for a name that is not a face of
    // its own (a metric alias such as Arial for Liberation Sans), or nothing when it draws
    // none in particular for it (only its general fallback).
    virtual std::optional<std::string> substitute(std::string_view name)
    {
        static_cast<void>(name);
        return std::nullopt;
    }
};

struct DisplayMode
{
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
};

// The graphics modes of the primary display.
class DisplayModeSource
{
public:
    virtual ~DisplayModeSource() = default;

    // Every mode the display reports, in its order; modes that differ only in refresh rate
    // or other properties each appear. Empty when the display cannot be asked.
    virtual std::vector<DisplayMode> modes() = 0;
};

// The four sources the dialog fills its lists from.
struct SystemLists
{
    DataFolderSource& dataFolders;
    CaptureDriverSource& captureDrivers;
    FontSource& fonts;
    DisplayModeSource& displayModes;
};

} // namespace velora::config
