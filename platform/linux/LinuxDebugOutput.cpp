// Debug texts go to syslog at debug priority; with VELORA_DEBUG=1 they are also copied to
// standard error unchanged, which is the easy way to watch them while trying things out.
#include "platform/DebugOutput.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <syslog.h>
#include <unistd.h>

namespace velora::platform {
namespace {

class LinuxDebugOutput final : public DebugOutput
{
public:
    void write(const char* text) override
    {
        if (text == nullptr) {
            return;
        }
        syslog(LOG_DEBUG, "%s", text);
        const char* flag = std::getenv("VELORA_DEBUG");
        if (flag != nullptr && std::strcmp(flag, "1") == 0) {
            // One write call, so that texts from several threads do not interleave.
            const std::size_t length = std::strlen(text);
            if (::write(STDERR_FILENO, text, length) < 0) {
                // Nothing sensible to do when standard error is gone.
            }
        }
    }
};

} // namespace

DebugOutput& systemDebugOutput()
{
    static LinuxDebugOutput output;
    return output;
}

} // namespace velora::platform
