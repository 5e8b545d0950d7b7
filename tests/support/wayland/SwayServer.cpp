#include "tests/support/wayland/SwayServer.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include <pwd.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/TempDir.h"
#include "tests/support/WaitUntil.h"

namespace velora::test {
namespace {

constexpr const char* kUser = "velora-test";

// The user sway runs as when the test runs as root, created when missing; false when it
// cannot be.
bool ensureUser(uid_t& uid, gid_t& gid)
{
    // Tests started at once (ctest -j) may all find the user missing: one useradd wins, the
    // others fail on its lock, and the user is there once the winner is done.
    const passwd* user = nullptr;
    waitUntil(
        [&] {
            if ((user = getpwnam(kUser)) == nullptr) {
                runProgram("useradd", {"--system", "--no-create-home", "--shell", "/usr/sbin/nologin", kUser});
                user = getpwnam(kUser);
            }
            return user != nullptr;
        },
        std::chrono::seconds(10), std::chrono::milliseconds(200));
    if (user == nullptr) {
        return false;
    }
    uid = user->pw_uid;
    gid = user->pw_gid;
    return true;
}

// The display's socket in the folder (sway picks the name), empty while there is none.
std::string findSocket(const std::string& folder)
{
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("wayland-", 0) == 0 && entry.is_socket(error)) {
            return entry.path().string();
        }
    }
    return {};
}

std::string findIpcSocket(const std::string& folder)
{
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (entry.path().filename().string().rfind("sway-ipc.", 0) == 0) {
            return entry.path().string();
        }
    }
    return {};
}

} // namespace

SwayServer::SwayServer(const std::string& outputSize)
{
    char folder[] = "/tmp/velora-sway-XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        return;
    }
    m_folder = folder;
    {
        std::ofstream config(m_folder + "/config");
        config << "xwayland disable\n"
               << "output HEADLESS-1 resolution " << outputSize << " position 0 0\n"
               << "default_border none\n"
               << "default_floating_border none\n"
               << "focus_follows_mouse no\n";
    }
    std::vector<std::string> arguments;
    if (geteuid() == 0) {
        uid_t uid = 0;
        gid_t gid = 0;
        if (!ensureUser(uid, gid) || chown(folder, uid, gid) != 0) {
            return;
        }
        arguments = {"--reuid=" + std::to_string(uid), "--regid=" + std::to_string(gid), "--clear-groups", "sway"};
    } else {
        arguments = {"sway"};
    }
    // The test (and programs it starts as root) reach the socket; sway's files stay its own.
    chmod(folder, 0755);
    chmod((m_folder + "/config").c_str(), 0644);
    arguments.insert(arguments.end(), {"-c", m_folder + "/config"});
    const std::string program = geteuid() == 0 ? "setpriv" : arguments.front();
    if (geteuid() != 0) {
        arguments.erase(arguments.begin());
    }
    m_sway = Process(program, arguments,
                     {{"XDG_RUNTIME_DIR", m_folder},
                      {"HOME", m_folder},
                      {"WLR_BACKENDS", "headless"},
                      {"WLR_RENDERER", "pixman"},
                      {"WLR_LIBINPUT_NO_DEVICES", "1"},
                      {"WAYLAND_DISPLAY", std::nullopt},
                      {"DISPLAY", std::nullopt},
                      {"SWAYSOCK", std::nullopt}},
                     m_folder + "/sway.log");
    if (!m_sway.started()) {
        return;
    }
    std::string socket;
    // The IPC socket comes last: sway takes commands (and has its output) from then on.
    waitUntil(
        [&] {
            return !m_sway.running() || (!(socket = findSocket(m_folder)).empty() && !findIpcSocket(m_folder).empty());
        },
        std::chrono::seconds(20), std::chrono::milliseconds(20));
    if (!socket.empty() && m_sway.running()) {
        m_socket = socket;
    }
}

SwayServer::~SwayServer()
{
    if (m_sway.started() && m_sway.running()) {
        m_sway.signal(SIGTERM);
        if (!m_sway.waitExit(std::chrono::seconds(5))) {
            m_sway.signal(SIGKILL);
            m_sway.waitExit(std::chrono::seconds(5));
        }
    }
    if (!m_folder.empty()) {
        std::error_code error;
        std::filesystem::remove_all(m_folder, error);
    }
}

EnvironmentChanges SwayServer::environment() const
{
    return {{"WAYLAND_DISPLAY", m_socket}, {"DISPLAY", std::nullopt}};
}

std::string SwayServer::log() const
{
    return readFile(m_folder + "/sway.log");
}

bool SwayServer::command(const std::string& text) const
{
    return runProgram("swaymsg", {"-s", findIpcSocket(m_folder), text}, {}, std::chrono::seconds(10)) == 0;
}

unsigned long Screenshot::pixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width || y >= height) {
        return 0xdeadbeef;
    }
    const std::size_t at =
        (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 3;
    return (static_cast<unsigned long>(rgb[at]) << 16) | (static_cast<unsigned long>(rgb[at + 1]) << 8) | rgb[at + 2];
}

Screenshot SwayServer::screenshot() const
{
    Screenshot shot;
    const std::string path = m_folder + "/screenshot.ppm";
    if (runProgram("grim", {"-t", "ppm", path}, environment(), std::chrono::seconds(10)) != 0) {
        return shot;
    }
    // A binary PPM: "P6", width, height, 255, each after white space, then the rows.
    const std::string bytes = readFile(path);
    std::istringstream header(bytes);
    std::string magic;
    int maximum = 0;
    header >> magic >> shot.width >> shot.height >> maximum;
    const auto start = static_cast<std::size_t>(header.tellg()) + 1;
    const std::size_t size = static_cast<std::size_t>(shot.width) * static_cast<std::size_t>(shot.height) * 3;
    if (magic != "P6" || maximum != 255 || !header || bytes.size() < start + size) {
        return {};
    }
    shot.rgb.assign(bytes.begin() + static_cast<long>(start), bytes.begin() + static_cast<long>(start + size));
    return shot;
}

SwayWindow SwayServer::window(const std::string& appId) const
{
    SwayWindow result;
    const ProgramOutput tree = runCapturing("swaymsg", {"-s", findIpcSocket(m_folder), "-r", "-t", "get_tree"});
    // sway writes a window's fields in a fixed order: its rect, then (after its empty list of
    // children) fullscreen_mode, then app_id. The nearest ones before the app_id are its own.
    const std::string& json = tree.out;
    const std::size_t appIdAt = json.find("\"app_id\": \"" + appId + "\"");
    if (tree.status != 0 || appIdAt == std::string::npos) {
        return result;
    }
    const auto numberAfter = [&](const std::string& key, std::size_t from) {
        const std::size_t at = json.find("\"" + key + "\": ", from);
        return at == std::string::npos ? -1 : std::atoi(json.c_str() + at + key.size() + 4);
    };
    const std::size_t fullscreenAt = json.rfind("\"fullscreen_mode\": ", appIdAt);
    const std::size_t rectAt = json.rfind("\"rect\": ", appIdAt);
    if (fullscreenAt == std::string::npos || rectAt == std::string::npos) {
        return result;
    }
    result.found = true;
    result.fullscreen = numberAfter("fullscreen_mode", fullscreenAt) == 1;
    result.x = numberAfter("x", rectAt);
    result.y = numberAfter("y", rectAt);
    result.width = numberAfter("width", rectAt);
    result.height = numberAfter("height", rectAt);
    return result;
}

WaylandTestWindow::WaylandTestWindow(const SwayServer& sway, const std::string& title, const std::string& appId)
{
    char file[] = "/tmp/velora-wayland-client-XXXXXX";
    const int fd = mkstemp(file);
    if (fd >= 0) {
        close(fd);
        m_output = file;
        m_process =
            Process(VELORA_WAYLAND_TEST_CLIENT, {title, appId}, sway.environment(), m_output, m_output + ".err");
    }
}

WaylandTestWindow::~WaylandTestWindow()
{
    if (m_process.started() && m_process.running()) {
        m_process.signal(SIGTERM);
        m_process.waitExit(std::chrono::seconds(5));
    }
    if (!m_output.empty()) {
        unlink(m_output.c_str());
        unlink((m_output + ".err").c_str());
    }
}

std::vector<std::string> WaylandTestWindow::lines() const
{
    std::vector<std::string> result;
    std::istringstream text(readFile(m_output));
    for (std::string line; std::getline(text, line);) {
        result.push_back(line);
    }
    return result;
}

std::vector<std::string> WaylandTestWindow::keys() const
{
    std::vector<std::string> result;
    for (const std::string& line : lines()) {
        if (line.rfind("key ", 0) == 0) {
            std::istringstream words(line.substr(4));
            std::string name;
            words >> name;
            result.push_back(name);
        }
    }
    return result;
}

std::string WaylandTestWindow::waitForLine(const std::string& start, std::size_t after,
                                           std::chrono::milliseconds timeout) const
{
    std::string found;
    waitUntil(
        [&] {
            const std::vector<std::string> all = lines();
            for (std::size_t i = after; i < all.size(); ++i) {
                if (all[i].rfind(start, 0) == 0) {
                    found = all[i];
                    return true;
                }
            }
            return false;
        },
        timeout, std::chrono::milliseconds(5));
    return found;
}

bool WaylandTestWindow::waitFocused(std::chrono::milliseconds timeout)
{
    // The last focus line tells the current state.
    return waitUntil(
        [&] {
            const std::vector<std::string> all = lines();
            for (auto line = all.rbegin(); line != all.rend(); ++line) {
                if (*line == "focus in" || *line == "focus out") {
                    return *line == "focus in";
                }
            }
            return false;
        },
        timeout, std::chrono::milliseconds(10));
}

} // namespace velora::test
