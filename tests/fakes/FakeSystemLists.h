// The settings dialog's four list sources in one fake: a few data files, no capture device,
// two font faces and two display modes.
#pragma once

#include "config/SystemLists.h"

#include <functional>
#include <map>

namespace velora::test {

struct FakeSystemLists final : config::DataFolderSource,
                               config::CaptureDriverSource,
                               config::FontSource,
                               config::DisplayModeSource
{
    std::map<std::string, std::vector<std::string>, std::less<>> folders{
        {"cards", {"Generic.crd", "Tuner_MUX0_Sound_GPIO8-11.crd"}},
        {"tuners", {"PHILIPS_FM1216ME_MK3.tun", "TEMIC_PAL_BG.tun"}},
        {"Languages", {"Deutsch.lng", "English.lng"}}};
    std::vector<std::string> fileNames(std::string_view folder) override
    {
        const auto found = folders.find(folder);
        return found == folders.end() ? std::vector<std::string>{} : found->second;
    }
    std::optional<std::string> description(int) override { return std::nullopt; }
    std::vector<std::string> faces() override { return {"DejaVu Sans", "Liberation Sans"}; }
    std::vector<config::DisplayMode> modes() override { return {{1024, 768, 32}, {1920, 1080, 32}}; }
    config::SystemLists lists() { return {*this, *this, *this, *this}; }
};

} // namespace velora::test
