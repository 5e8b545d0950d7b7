#include "config/linux/XrandrDisplayModes.h"

#include <chrono>
#include <thread>

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include "platform/x11/X11Connection.h"

namespace velora::config {
namespace {

using platform::X11Connection;

// A connection under the program's X error trap: a stale or vanished resource does not end
// the program (a failed request simply gives fewer modes), nor does a server that goes away
// while the modes are asked for.
std::unique_ptr<X11Connection> openConnection()
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (auto connection = X11Connection::open()) {
            return connection;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return nullptr;
}

// The output whose modes count: the primary one, else the first connected one with modes.
RROutput chooseOutput(Display* display, Window root, XRRScreenResources* resources)
{
    const RROutput primary = XRRGetOutputPrimary(display, root);
    if (primary != 0) {
        return primary;
    }
    for (int i = 0; i < resources->noutput; ++i) {
        XRROutputInfo* info = XRRGetOutputInfo(display, resources, resources->outputs[i]);
        const bool usable = info != nullptr && info->connection == RR_Connected && info->nmode > 0;
        if (info != nullptr) {
            XRRFreeOutputInfo(info);
        }
        if (usable) {
            return resources->outputs[i];
        }
    }
    return 0;
}

void addResourceModes(const X11Connection& connection, Window root, int depth, std::vector<DisplayMode>& modes)
{
    Display* display = connection.display();
    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, root);
    if (resources == nullptr) {
        return;
    }
    const RROutput output = chooseOutput(display, root, resources);
    XRROutputInfo* info = output != 0 && !connection.lost() ? XRRGetOutputInfo(display, resources, output) : nullptr;
    if (info != nullptr && info->nmode > 0) {
        for (int i = 0; i < info->nmode; ++i) {
            for (int j = 0; j < resources->nmode; ++j) {
                const XRRModeInfo& mode = resources->modes[j];
                if (mode.id == info->modes[i]) {
                    modes.push_back({static_cast<int>(mode.width), static_cast<int>(mode.height), depth});
                    break;
                }
            }
        }
    } else {
        for (int j = 0; j < resources->nmode; ++j) {
            const XRRModeInfo& mode = resources->modes[j];
            modes.push_back({static_cast<int>(mode.width), static_cast<int>(mode.height), depth});
        }
    }
    if (info != nullptr) {
        XRRFreeOutputInfo(info);
    }
    XRRFreeScreenResources(resources);
}

} // namespace

std::vector<DisplayMode> XrandrDisplayModes::modes()
{
    std::vector<DisplayMode> modes;
    const std::unique_ptr<X11Connection> connection = openConnection();
    if (!connection) {
        return modes;
    }
    Display* display = connection->display();
    const int screen = DefaultScreen(display);
    const Window root = RootWindow(display, screen);
    const int depth = DefaultDepth(display, screen);
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    if (XRRQueryExtension(display, &eventBase, &errorBase) && XRRQueryVersion(display, &major, &minor) &&
        (major > 1 || (major == 1 && minor >= 3))) {
        addResourceModes(*connection, root, depth, modes);
    }
    if (modes.empty()) {
        modes.push_back({DisplayWidth(display, screen), DisplayHeight(display, screen), depth});
    }
    return modes;
}

} // namespace velora::config
