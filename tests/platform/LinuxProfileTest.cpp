#include "platform/linux/LinuxProfile.h"
#include "tests/support/Process.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

using velora::platform::LinuxProfile;
using velora::test::Process;
using velora::test::readFile;
using velora::test::ScopedEnvironment;
using velora::test::TempDir;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

void writeRaw(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

// Entries of a folder other than the given file: leftovers such as temporary files.
std::vector<std::string> othersIn(const fs::path& folder, const std::string& keep)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().filename() != keep) {
            names.push_back(entry.path().filename().string());
        }
    }
    return names;
}

// A writer of a large value in a child process whose files may grow to limit bytes only, so
// that its write fails halfway (SIGXFSZ ignored: exit status 0 when the write reported the
// failure) or kills it (SIGXFSZ at its default action).
Process limitedWriter(LinuxProfile& profile, const std::string& path, rlim_t limit, std::size_t valueSize,
                      bool ignoreSignal, const char* key = "Tuner")
{
    return Process::forked([&profile, path, limit, valueSize, ignoreSignal, key] {
        if (ignoreSignal) {
            std::signal(SIGXFSZ, SIG_IGN);
        }
        const rlimit cap{limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &cap);
        return profile.writeString(path, "TV", key, std::string(valueSize, 'y')) ? 1 : 0;
    });
}

} // namespace

TEST(LinuxProfile, ReadsFilesByWindowsRules)
{
    TempDir folder;
    LinuxProfile profile;
    const std::string path = folder.file("velora.ini");

    EXPECT_EQ(profile.readString(path, "TV", "Tuner", "Default  "), "Default");
    EXPECT_EQ(profile.readInt(path, "TV", "Quality", 5), 5);
    EXPECT_EQ(profile.readString(folder.file("no/such/folder.ini"), "TV", "Tuner", "d"), "d");
    EXPECT_EQ(profile.readString("", "TV", "Tuner", "d"), "d");
    EXPECT_EQ(profile.readString(folder.path().string(), "TV", "Tuner", "d"), "d") << "a folder reads as missing";
    const std::string fifo = folder.file("fifo.ini");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(profile.readInt(fifo, "TV", "Quality", 5), 5) << "a FIFO reads as missing instead of hanging";
    EXPECT_FALSE(profile.writeString(fifo, "TV", "Quality", "1"));

    writeRaw(path, "[tv]\r\nTUNER = \"PHILIPS PAL\" \r\nQuality=-12dB\r\nEmpty=\r\nLong=" + std::string(600, 'z') +
                       "\r\n[Global]\r\nLanguage=English");
    EXPECT_EQ(profile.readString(path, "TV", "tuner", "d"), "PHILIPS PAL");
    EXPECT_EQ(profile.readInt(path, "Tv", "quality", 5), -12);
    EXPECT_EQ(profile.readInt(path, "TV", "Empty", 5), 5);
    EXPECT_EQ(profile.readString(path, "TV", "Empty", "d"), "");
    EXPECT_EQ(profile.readString(path, "TV", "Long", "d"), std::string(511, 'z'));
    EXPECT_EQ(profile.readString(path, "global", "LANGUAGE", "d"), "English");
}

TEST(LinuxProfile, WriteKeepsEveryOtherLineByteForByte)
{
    TempDir folder;
    LinuxProfile profile;
    const std::string path = folder.file("velora.ini");
    writeRaw(path, "; Velora settings\r\n"
                   "[TV]\r\n"
                   "tuner = Old\r\n"
                   "Unknown=kept\n"
                   "; closing comment\r\n"
                   "\r\n"
                   "[KavoRemote]\n"
                   "MouseSpeed=4");

    ASSERT_TRUE(profile.writeString(path, "tv", "Tuner", "TEMIC_PAL_BG"));
    ASSERT_TRUE(profile.writeInt(path, "TV", "Quality", 1));
    ASSERT_TRUE(profile.writeString(path, "KavoShell", "LastDir", "/home/user/Videos"));
    EXPECT_EQ(readFile(path), "; Velora settings\r\n"
                              "[TV]\r\n"
                              "tuner=TEMIC_PAL_BG\r\n"
                              "Unknown=kept\n"
                              "Quality=1\r\n"
                              "; closing comment\r\n"
                              "\r\n"
                              "[KavoRemote]\n"
                              "MouseSpeed=4\r\n"
                              "\r\n"
                              "[KavoShell]\r\n"
                              "LastDir=/home/user/Videos\r\n");
    EXPECT_EQ(profile.readInt(path, "TV", "Quality", 0), 1);
    EXPECT_EQ(othersIn(folder.path(), "velora.ini"), std::vector<std::string>{}) << "no temporary file is left";
}

TEST(LinuxProfile, WriteKeepsPermissionsAndFollowsSymlinks)
{
    TempDir folder;
    LinuxProfile profile;
    const mode_t oldMask = ::umask(027);
    const std::string created = folder.file("new.ini");
    EXPECT_TRUE(profile.writeString(created, "A", "k", "v"));
    ::umask(oldMask);
    EXPECT_EQ(readFile(created), "[A]\nk=v\n");
    struct stat info = {};
    ASSERT_EQ(::stat(created.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640U) << "a new file gets 0666 less the umask";

    ASSERT_EQ(::chmod(created.c_str(), 0604), 0);
    EXPECT_TRUE(profile.writeString(created, "A", "k", "w"));
    ASSERT_EQ(::stat(created.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0604U) << "a replaced file keeps its permission bits";

    const std::string link = folder.file("link.ini");
    ASSERT_EQ(::symlink("new.ini", link.c_str()), 0);
    EXPECT_TRUE(profile.writeString(link, "A", "via", "link"));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(readFile(created), "[A]\nk=w\nvia=link\n");

    const std::string dangling = folder.file("dangling.ini");
    ASSERT_EQ(::symlink(folder.file("target.ini").c_str(), dangling.c_str()), 0);
    EXPECT_TRUE(profile.writeString(dangling, "A", "k", "v"));
    EXPECT_TRUE(fs::is_symlink(dangling));
    EXPECT_EQ(readFile(folder.file("target.ini")), "[A]\nk=v\n");
}

TEST(LinuxProfile, BareNameLivesInConfigFolder)
{
    TempDir folder;
    LinuxProfile profile;
    {
        ScopedEnvironment xdg("XDG_CONFIG_HOME", folder.file("xdg"));
        EXPECT_EQ(profile.readString("velora.ini", "KavoShell", "LastDir", ""), "");
        ASSERT_TRUE(profile.writeString("velora.ini", "KavoShell", "LastDir", "/media"));
        EXPECT_EQ(readFile(folder.file("xdg/velora/velora.ini")), "[KavoShell]\nLastDir=/media\n");
        struct stat info = {};
        ASSERT_EQ(::stat(folder.file("xdg/velora").c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700U);
        EXPECT_EQ(profile.readString("velora.ini", "KavoShell", "LastDir", ""), "/media");
    }
    {
        ScopedEnvironment xdg("XDG_CONFIG_HOME", nullptr);
        ScopedEnvironment home("HOME", folder.file("home"));
        ASSERT_TRUE(profile.writeString("velora.ini", "S", "k", "v"));
        EXPECT_EQ(readFile(folder.file("home/.config/velora/velora.ini")), "[S]\nk=v\n");
    }
}

TEST(LinuxProfile, FailedWriteReturnsFalseAndKeepsOldFile)
{
    TempDir folder;
    LinuxProfile profile;
    const std::string path = folder.file("velora.ini");
    const std::string old = "[TV]\r\nTuner=X\r\n";
    writeRaw(path, old);

    // A folder that is a regular file fails for root too.
    EXPECT_FALSE(profile.writeString(path + "/velora.ini", "TV", "Tuner", "Y"));
    {
        ScopedEnvironment xdg("XDG_CONFIG_HOME", path);
        EXPECT_FALSE(profile.writeString("velora.ini", "TV", "Tuner", "Y"));
    }
    EXPECT_FALSE(profile.writeString(path, "TV", "Tuner", "Y\n[Injected]\nk=v"));
    EXPECT_FALSE(profile.writeString(path, "TV", "a=b", "v"));
    EXPECT_FALSE(profile.writeString(folder.path().string(), "TV", "Tuner", "Y")) << "a folder is no profile file";

    // A file size limit makes the write of the new text fail halfway, whoever runs the test.
    EXPECT_EQ(limitedWriter(profile, path, 4096, 100000, true).waitExit(10s), 0)
        << "the cut-off write must report failure";

    EXPECT_EQ(readFile(path), old);
    EXPECT_EQ(othersIn(folder.path(), "velora.ini"), std::vector<std::string>{}) << "the temporary file is removed";

    // A failed write does not leave a new empty file behind either.
    const std::string fresh = folder.file("fresh.ini");
    EXPECT_EQ(limitedWriter(profile, fresh, 16, 1000, true).waitExit(10s), 0);
    EXPECT_FALSE(fs::exists(fresh));
}

TEST(LinuxProfile, ConcurrentWritersLoseNoKey)
{
    constexpr int kProcesses = 8;
    constexpr int kKeysEach = 25;
    TempDir folder;
    LinuxProfile profile;
    const std::string path = folder.file("velora.ini");
    writeRaw(path, "; shared by all writers\n[Shared]\nFirst=1\n");

    // Every child blocks on the pipe until the parent closes it, so all start together.
    int gate[2];
    ASSERT_EQ(::pipe(gate), 0);
    std::vector<Process> children;
    for (int p = 0; p < kProcesses; ++p) {
        children.push_back(Process::forked([&, p] {
            ::close(gate[1]);
            char byte = 0;
            [[maybe_unused]] const ssize_t ignored = ::read(gate[0], &byte, 1);
            bool ok = true;
            for (int k = 0; k < kKeysEach; ++k) {
                // Half the keys go to one shared section, half to a section of the writer's
                // own that the first of its writes creates.
                const std::string section = (k % 2 == 0) ? "Shared" : "Writer" + std::to_string(p);
                const std::string key = "P" + std::to_string(p) + "K" + std::to_string(k);
                ok = profile.writeInt(path, section, key, p * 1000 + k) && ok;
            }
            return ok ? 0 : 1;
        }));
    }
    ::close(gate[0]);
    ::close(gate[1]);
    for (Process& child : children) {
        EXPECT_EQ(child.waitExit(60s), 0) << "a writer reported a failed write";
    }

    int found = 0;
    for (int p = 0; p < kProcesses; ++p) {
        for (int k = 0; k < kKeysEach; ++k) {
            const std::string section = (k % 2 == 0) ? "Shared" : "Writer" + std::to_string(p);
            const std::string key = "P" + std::to_string(p) + "K" + std::to_string(k);
            const int value = profile.readInt(path, section, key, -1);
            EXPECT_EQ(value, p * 1000 + k) << section << "/" << key;
            found += value == p * 1000 + k ? 1 : 0;
        }
    }
    EXPECT_EQ(found, kProcesses * kKeysEach);
    const std::string text = readFile(path);
    EXPECT_EQ(text.rfind("; shared by all writers\n[Shared]\nFirst=1\n", 0), 0U);
    EXPECT_EQ(othersIn(folder.path(), "velora.ini"), std::vector<std::string>{});
}

// The tick at which a process started, as /proc tells it.
unsigned long long startTicks(pid_t pid)
{
    std::istringstream fields(readFile("/proc/" + std::to_string(pid) + "/stat"));
    fields.ignore(1 << 12, ')');
    std::string field;
    for (int i = 3; i <= 22; ++i) {
        fields >> field;
    }
    return std::stoull(field);
}

TEST(LinuxProfile, WriterRemovesTheTemporaryFilesOfKilledWriters)
{
    TempDir folder;
    LinuxProfile profile;
    const std::string path = folder.file("velora.ini");
    writeRaw(path, "[TV]\nTuner=X\n");

    // A file size limit kills each writer with SIGXFSZ halfway through its temporary file;
    // each removes what the one before it left.
    std::vector<std::string> left;
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(limitedWriter(profile, path, 4096, 100000, false, "Big").waitExit(10s), 128 + SIGXFSZ);
        const std::vector<std::string> now = othersIn(folder.path(), "velora.ini");
        ASSERT_EQ(now.size(), 1U);
        EXPECT_NE(now, left);
        left = now;
    }

    // ".velora.ini.PID-START-RUN.XXXXXX", RUN standing for the boot and process namespace.
    // Copies name a live process, to be kept, and one of its number but another start (the
    // number was reused since), to be removed. Other names and runs are never touched.
    const std::string prefix = ".velora.ini.";
    const std::size_t run = left[0].find('-', left[0].find('-', prefix.size()) + 1);
    ASSERT_TRUE(left[0].starts_with(prefix) && run != std::string::npos && run + 24 == left[0].size()) << left[0];
    Process sleeper("/bin/sleep", {"60"});
    const std::string number = std::to_string(sleeper.pid());
    const std::string alive = prefix + number + "-" + std::to_string(startTicks(sleeper.pid())) + left[0].substr(run);
    const std::string elsewhere = prefix + "1-1-0123456789abcdef.Ab12Cd";
    for (const std::string& name : {alive, prefix + number + "-1" + left[0].substr(run), elsewhere, prefix + "Ab12Cd",
                                    std::string("velora.ini.bak")}) {
        writeRaw(folder.file(name), "");
    }
    ASSERT_TRUE(profile.writeString(path, "TV", "Tuner", "Y"));
    EXPECT_EQ(readFile(path), "[TV]\nTuner=Y\n");
    std::vector<std::string> kept = othersIn(folder.path(), "velora.ini");
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(kept, (std::vector<std::string>{elsewhere, alive, prefix + "Ab12Cd", "velora.ini.bak"}));
}

TEST(LinuxProfile, ReadsTheFileOncePerChange)
{
    TempDir folder;
    LinuxProfile profile(20ms); // time stamps here are fine: a version still for 20 ms is trusted
    const std::string path = folder.file("velora.ini");
    std::string text = "[KavoRemote]\n";
    for (int k = 0; k < 20; ++k) {
        text += "Key" + std::to_string(k) + "=" + std::to_string(k) + "\n";
    }
    writeRaw(path, text);
    std::this_thread::sleep_for(50ms);
    int sum = 0;
    for (int k = 0; k < 20; ++k) {
        sum += profile.readInt(path, "KavoRemote", "Key" + std::to_string(k), -1000);
    }
    EXPECT_EQ(sum, 190);
    EXPECT_EQ(profile.fileReads(), 1U) << "a program's start reads the file once";

    // Each change is seen at the next read: in place with the same size (as an editor may
    // save), a rename by another program, and a write of this one.
    std::this_thread::sleep_for(50ms);
    writeRaw(path, "[KavoRemote]\nKey0=9" + text.substr(19));
    EXPECT_EQ(profile.readInt(path, "KavoRemote", "Key0", -1), 9);
    writeRaw(path + ".new", "[KavoRemote]\nKey0=7\n");
    fs::rename(path + ".new", path);
    EXPECT_EQ(profile.readInt(path, "KavoRemote", "Key0", -1), 7);
    ASSERT_TRUE(profile.writeInt(path, "KavoRemote", "Key0", 5));
    EXPECT_EQ(profile.readInt(path, "KavoRemote", "Key0", -1), 5);
    fs::remove(path);
    EXPECT_EQ(profile.readInt(path, "KavoRemote", "Key0", -1), -1);
}

TEST(LinuxProfile, HugeFileCountsUpToItsFirstMebibyte)
{
    TempDir folder;
    LinuxProfile profile;
    const std::string path = folder.file("velora.ini");
    std::string text = "[TV]\r\nTuner=X\r\n"; // and filler up to a line that crosses 1 MiB
    while (text.size() < (1U << 20) - 100) {
        text += "; " + std::string(60, 'f') + "\r\n";
    }
    writeRaw(path, text + "Card=" + std::string(200, 'c') + "\r\nQuality=1\r\n");
    EXPECT_EQ(profile.readString(path, "TV", "Tuner", "d"), "X");
    EXPECT_EQ(profile.readString(path, "TV", "Card", "d"), "d") << "no part of a line is read";
    EXPECT_EQ(profile.readInt(path, "TV", "Quality", 0), 0);

    // A sparse file of 1 GiB is read as fast as a small one, and a write to it fails.
    writeRaw(path, "[TV]\nTuner=X\n");
    fs::resize_file(path, 1ULL << 30);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(profile.readString(path, "TV", "Tuner", "d"), "X");
    EXPECT_FALSE(profile.writeString(path, "TV", "Tuner", "Y"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(fs::file_size(path), 1ULL << 30);
}

TEST(LinuxProfile, ThreadsReadWholeVersionsWhileOthersWrite)
{
    TempDir folder;
    LinuxProfile profile(std::chrono::milliseconds(0));
    const std::string path = folder.file("velora.ini");
    writeRaw(path, "[TV]\nA=0\nB=0\n");
    std::atomic<bool> done{false};
    std::atomic<int> errors{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 4; ++t) {
        readers.emplace_back([&] {
            // Versions only grow, and every one holds both keys.
            for (int last = 0; !done;) {
                const int a = profile.readInt(path, "TV", "A", -1);
                errors += (a < last || profile.readInt(path, "TV", "B", -1) != 0) ? 1 : 0;
                last = std::max(last, a);
            }
        });
    }
    for (int i = 1; i <= 100; ++i) {
        EXPECT_TRUE(profile.writeInt(path, "TV", "A", i));
    }
    done = true;
    for (std::thread& reader : readers) {
        reader.join();
    }
    EXPECT_EQ(errors, 0);
}
