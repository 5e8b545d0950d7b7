#include "platform/x11/X11KeyWatch.h"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

#include <cstdint>
#include <thread>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include "platform/linux/UniqueFd.h"
#include "platform/x11/X11Connection.h"

namespace velora::platform {

struct X11KeyWatch::State
{
    std::unique_ptr<X11Connection> connection;
    int xinputOpcode = 0;
    posix::UniqueFd stop; // written by the destructor to end the thread
    std::function<void()> pressed;
    std::thread thread;

    void run();
    // Reads what the server has sent; false once the connection is gone.
    bool drainEvents();
};

bool X11KeyWatch::State::drainEvents()
{
    Display* display = connection->display();
    while (!connection->lost() && XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == GenericEvent && event.xcookie.extension == xinputOpcode &&
            event.xcookie.evtype == XI_RawKeyPress) {
            pressed();
        }
    }
    return !connection->lost();
}

void X11KeyWatch::State::run()
{
    pollfd fds[2] = {{ConnectionNumber(connection->display()), POLLIN, 0}, {stop.get(), POLLIN, 0}};
    // Events may already wait in Xlib's queue, read along with the replies of the set-up.
    while (drainEvents()) {
        if (::poll(fds, 2, -1) < 0) {
            continue; // a signal
        }
        if (fds[1].revents != 0) {
            return;
        }
    }
}

std::unique_ptr<X11KeyWatch> X11KeyWatch::start(const std::string& displayName, std::function<void()> pressed)
{
    auto state = std::make_unique<State>();
    state->connection = X11Connection::open(displayName.c_str());
    state->stop.reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!state->connection || !state->stop.valid() || !pressed) {
        return nullptr;
    }
    Display* display = state->connection->display();
    int event = 0;
    int error = 0;
    int major = 2;
    int minor = 0;
    if (!XQueryExtension(display, "XInputExtension", &state->xinputOpcode, &event, &error) ||
        XIQueryVersion(display, &major, &minor) != Success) {
        return nullptr;
    }
    unsigned char bits[XIMaskLen(XI_RawKeyPress)] = {};
    XISetMask(bits, XI_RawKeyPress);
    XIEventMask mask{XIAllMasterDevices, static_cast<int>(sizeof bits), bits};
    XISelectEvents(display, DefaultRootWindow(display), &mask, 1);
    XSync(display, False);
    if (state->connection->lost()) {
        return nullptr;
    }
    state->pressed = std::move(pressed);
    State* running = state.get();
    state->thread = std::thread([running] { running->run(); });
    return std::unique_ptr<X11KeyWatch>(new X11KeyWatch(std::move(state)));
}

X11KeyWatch::X11KeyWatch(std::unique_ptr<State> state) : m_state(std::move(state)) {}

X11KeyWatch::~X11KeyWatch()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_state->stop.get(), &one, sizeof one);
    m_state->thread.join();
}

} // namespace velora::platform
