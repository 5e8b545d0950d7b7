// Makes the event key sources that a program's settings name: LIRC's lircd at a socket, or a
// Linux input device. The program gives the system's; tests give fakes.
#pragma once

#include <memory>
#include <string>

#include "platform/KeyEventSource.h"

namespace velora::platform {

class KeySourceFactory
{
public:
    virtual ~KeySourceFactory() = default;

    // A client of lircd's socket at this path.
    virtual std::unique_ptr<KeyEventSource> makeLirc(const std::string& socketPath) = 0;
    // A reader of this input device; with an empty path, of the first remote-control
    // receiver's device that the system lists.
    virtual std::unique_ptr<KeyEventSource> makeInput(const std::string& device) = 0;
};

} // namespace velora::platform
