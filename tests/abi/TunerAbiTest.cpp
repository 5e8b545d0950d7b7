// The tuner library as a viewer sees it: the built libVeloraTuner.so loaded with dlopen,
// talking to a recording driver library found through LD_LIBRARY_PATH. The recorded calls,
// their timing and the debug texts on standard error are the library's whole outward
// behaviour.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <dlfcn.h>
#include <unistd.h>

#include "tests/support/CurrentFolder.h"
#include "tests/support/TempDir.h"
#include "tools/TunerExports.h"

namespace {

namespace fs = std::filesystem;

// The built library opened as a viewer opens it, with its exports bound.
struct Tuner : velora::TunerExports
{
    void* handle = nullptr;

    explicit Tuner(const std::string& path)
    {
        handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            ADD_FAILURE() << dlerror();
        } else if (const char* missing = bind(handle)) {
            ADD_FAILURE() << missing;
        }
    }
    ~Tuner()
    {
        if (handle != nullptr) {
            dlclose(handle);
        }
    }
};

// A scratch folder that is also the current directory while it lives; the recording driver
// writes its log there.
struct Scratch : velora::test::TempDir
{
    const velora::test::CurrentFolder here{path()};
    const fs::path& dir = path();
    Scratch() { setenv("VELORA_RECORD_LOG", (dir / "driver.log").c_str(), 1); }
    // The recorded calls without their time stamps, and the stamps.
    std::vector<std::string> calls(std::vector<long long>* stamps = nullptr) const
    {
        std::vector<std::string> lines;
        std::ifstream log(dir / "driver.log");
        long long stamp = 0;
        std::string rest;
        while (log >> stamp && std::getline(log, rest)) {
            lines.push_back(rest.substr(1));
            if (stamps != nullptr) {
                stamps->push_back(stamp);
            }
        }
        return lines;
    }
};

// Captures what the process writes to standard error while it lives.
class StderrCapture
{
public:
    StderrCapture()
    {
        std::fflush(stderr);
        m_saved = dup(STDERR_FILENO);
        m_file = std::tmpfile();
        dup2(fileno(m_file), STDERR_FILENO);
    }
    std::string finish()
    {
        std::fflush(stderr);
        dup2(m_saved, STDERR_FILENO);
        close(m_saved);
        std::rewind(m_file);
        std::string text;
        char buffer[256];
        size_t got = 0;
        while ((got = std::fread(buffer, 1, sizeof buffer, m_file)) > 0) {
            text.append(buffer, got);
        }
        std::fclose(m_file);
        return text;
    }

private:
    int m_saved = -1;
    FILE* m_file = nullptr;
};

std::string joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const auto& line : lines) {
        text += line + "\n";
    }
    return text;
}

TEST(TunerAbi, ExportsExactlyTheElevenFunctions)
{
    const std::string command = std::string("nm -D --defined-only ") + VELORA_TUNER_LIBRARY;
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::vector<std::string> names;
    char line[512];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        std::istringstream fields(line);
        std::string address, type, name;
        fields >> address >> type >> name;
        names.push_back(type + " " + name);
    }
    ASSERT_EQ(pclose(pipe), 0);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{
                         "T VeloraTuner_Close", "T VeloraTuner_Configure", "T VeloraTuner_GetBrightness",
                         "T VeloraTuner_GetContrast", "T VeloraTuner_GetSaturation", "T VeloraTuner_GotSync",
                         "T VeloraTuner_Init", "T VeloraTuner_SetBrightness", "T VeloraTuner_SetContrast",
                         "T VeloraTuner_SetFrequency", "T VeloraTuner_SetSaturation"}));
}

TEST(TunerAbi, ViewerSessionReachesTheDriverExactlyAsDescribed)
{
    Scratch scratch;
    setenv("VELORA_DEBUG", "1", 1);
    setenv("VELORA_RECORD_DEVICE", "36e", 1);
    setenv("VELORA_RECORD_DSTATUS", "e5", 1);
    // Folder and extension in other letter case than the library asks for, and CRLF lines.
    scratch.write("tuners/Philips.TUN", "I2CAddress=0xc0\r\nVHFLow=0x8ea0\r\nVHFHigh=0x8e90\r\nUHF=0x8e30\r\n"
                                        "Threshold1=16825\r\nThreshold2=44725\r\n");
    scratch.write("velora.ini", "[TV]\r\nTuner=Philips\r\nQuality=1\r\n");

    StderrCapture capture;
    {
        Tuner tuner(VELORA_TUNER_LIBRARY);
        ASSERT_NE(tuner.handle, nullptr);
        tuner.init();
        EXPECT_TRUE(tuner.configure((scratch.dir / "velora.ini").c_str()));
        EXPECT_TRUE(tuner.setFrequency(5525));
        EXPECT_EQ(tuner.setBrightness(0.5f), 127);
        EXPECT_EQ(tuner.gotSync(), 1);
        tuner.close();
    }
    const std::string debugTexts = capture.finish();
    EXPECT_EQ(debugTexts, "BT8x8 found!\nCannot read card information.\n");

    std::vector<long long> stamps;
    const auto calls = scratch.calls(&stamps);
    EXPECT_EQ(joined(calls), "loaded\n"
                             "pci 109e:350 -> 1\npci 109e:351 -> 1\npci 109e:36e -> 0\n"
                             "map 1 8\n"
                             // Configure: high resolution
                             "write 0x4c 0x20\nwrite 0xcc 0x20\nwrite 0x40 0xcc\nwrite 0xc0 0xcc\n"
                             "write 0x10 0x20\nwrite 0x90 0x20\n"
                             // SetFrequency(5525) with the Philips tuner and the built-in card wiring
                             "read 0x4 -> 0x0\nwrite 0x4 0x40\n"
                             "read 0x200 -> 0x0\nwrite 0x200 0x8\n"
                             "write 0x100 0x100\nwrite 0x110 0xc005e287\n"
                             "write 0x100 0x100\nwrite 0x110 0xc08ea087\n"
                             "read 0x200 -> 0x8\nwrite 0x200 0x2\n"
                             "write 0x28 0xffffffff\n"
                             "read 0x0 -> 0xe5\n"
                             "unloaded\n");
    // Each I2C word is followed by the 50 ms wait before the chip is touched again.
    for (std::size_t i = 0; i + 1 < calls.size(); ++i) {
        if (calls[i].rfind("write 0x110", 0) == 0) {
            EXPECT_GE(stamps[i + 1] - stamps[i], 49) << calls[i];
        }
    }
}

TEST(TunerAbi, DriverWithoutIsDriverOpenedIsNotUsed)
{
    Scratch scratch;
    setenv("VELORA_DEBUG", "1", 1);
    StderrCapture capture;
    {
        Tuner tuner(VELORA_TUNER_LIBRARY);
        tuner.init();
        EXPECT_FALSE(tuner.setFrequency(0));
        EXPECT_EQ(tuner.gotSync(), 0);
        tuner.close();
    }
    EXPECT_EQ(capture.finish(), "BT8x8 not found!\n");
    EXPECT_EQ(joined(scratch.calls()), "loaded\nunloaded\n");
}

TEST(TunerAbi, WithoutAnyDriverLibraryTheViewerStillRuns)
{
    // A copy of the library in a folder without a driver beside it, and nothing on
    // LD_LIBRARY_PATH (this test runs with an empty folder there).
    Scratch scratch;
    setenv("VELORA_DEBUG", "1", 1);
    fs::copy_file(VELORA_TUNER_LIBRARY, scratch.dir / "libVeloraTuner.so");
    StderrCapture capture;
    {
        Tuner tuner((scratch.dir / "libVeloraTuner.so").string());
        tuner.init();
        EXPECT_FALSE(tuner.configure("./missing.ini"));
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(tuner.setFrequency(5525));
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
        EXPECT_EQ(tuner.setBrightness(3.0f), 255);
        EXPECT_EQ(tuner.getBrightness(), 0.0f);
        tuner.close();
    }
    EXPECT_EQ(capture.finish(), "BT8x8 not found!\nCannot read tuner information.\nCannot read card information.\n");
}

} // namespace
