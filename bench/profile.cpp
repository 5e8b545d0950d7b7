// velora.ini as programs read it at start: the 20 keys of a start (KavoRemote's 7, the tuner
// library's 3 and the settings tool's rest) read one by one, each run with a new profile
// object as a new process would, from a velora.ini of the usual size and from a sparse file
// of 1 GiB. Median of several runs, in milliseconds; also the reads of the disk per start.
#include "platform/linux/LinuxProfile.h"
#include "tests/support/TempDir.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr const char* kKeys[][2] = {
    {"KavoRemote", "InitialMode"},
    {"KavoRemote", "AutoInit"},
    {"KavoRemote", "AutoInitTimeout"},
    {"KavoRemote", "MacroPath"},
    {"KavoRemote", "ReinitHotKey"},
    {"KavoRemote", "MouseSpeed"},
    {"KavoRemote", "Debug"},
    {"TV", "Tuner"},
    {"TV", "Card"},
    {"TV", "Quality"},
    {"TV", "ChannelTable"},
    {"TV", "Font"},
    {"TV", "TwoDigits"},
    {"TV", "CaptureDriverIndex"},
    {"TV", "AdjustMasterVolume"},
    {"TV", "CustomResolution"},
    {"TV", "CustomResolutionX"},
    {"TV", "CustomResolutionY"},
    {"TV", "CustomResolutionBPP"},
    {"Global", "Language"},
};

struct Start
{
    double ms = 0;
    std::uint64_t fileReads = 0;
};

// The median of several program starts, each reading all the keys.
Start medianStart(const std::string& path, int runs)
{
    std::vector<Start> starts;
    for (int run = 0; run < runs; ++run) {
        velora::platform::LinuxProfile profile;
        const auto begin = std::chrono::steady_clock::now();
        for (const auto& key : kKeys) {
            profile.readString(path, key[0], key[1], "");
        }
        starts.push_back({std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count(),
                          profile.fileReads()});
    }
    std::sort(starts.begin(), starts.end(), [](const Start& a, const Start& b) { return a.ms < b.ms; });
    return starts[starts.size() / 2];
}

} // namespace

int main()
{
    const velora::test::TempDir temp("bench-profile");
    const fs::path& dir = temp.path();
    const std::string usual = (dir / "velora.ini").string();
    const std::string sparse = (dir / "sparse.ini").string();
    {
        std::ofstream out(usual);
        out << "[TV]\nTuner=TEMIC_PAL_BG\nCard=Generic\nQuality=0\nChannelTable=Default\nFont=Arial\n"
               "TwoDigits=0\nCaptureDriverIndex=0\nAdjustMasterVolume=1\nCustomResolution=0\n\n"
               "[Global]\nLanguage=English\n\n[KavoRemote]\nInitialMode=0\nAutoInit=1\nAutoInitTimeout=60\n"
               "MacroPath=default.mac\nReinitHotKey=3\nMouseSpeed=4\n";
        std::ofstream(sparse) << "[TV]\nTuner=TEMIC_PAL_BG\n";
    }
    fs::resize_file(sparse, std::uintmax_t{1} << 30);
    // As at a real start, the file has not just been written.
    std::this_thread::sleep_for(velora::platform::LinuxProfile::kDefaultSettleTime + std::chrono::milliseconds(100));

    const Start start = medianStart(usual, 21);
    const Start huge = medianStart(sparse, 5);
    std::printf("profile_read_keys_ms %.3f\n", start.ms);
    std::printf("profile_read_keys_file_reads %llu\n", static_cast<unsigned long long>(start.fileReads));
    std::printf("profile_read_keys_1gib_sparse_ms %.3f\n", huge.ms);
    return 0;
}
