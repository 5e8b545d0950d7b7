// The system's debug-output channel: diagnostic texts that a developer or a monitoring tool
// can see and that are never shown to the user.
#pragma once

namespace velora::platform {

class DebugOutput
{
public:
    virtual ~DebugOutput() = default;

    // Passes one zero-terminated text to the debug channel as it is (texts carry their own
    // line ends). Never fails outward, never blocks for long, safe from any thread.
    virtual void write(const char* text) = 0;
};

// The channel of the system this build runs on: syslog at debug priority, and standard
// error as well when the environment holds VELORA_DEBUG=1.
DebugOutput& systemDebugOutput();

} // namespace velora::platform
