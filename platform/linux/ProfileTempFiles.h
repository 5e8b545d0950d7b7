// The temporary files through which LinuxProfile replaces a profile file, and their
// clean-up: each is named after its writer (".NAME.PID-START-RUN.XXXXXX", see LinuxProfile.h),
// so that a later writer can tell the files of writers that are plainly gone from those of
// writers that may still run. Part of LinuxProfile; the functions share no state and may be
// called from any thread.
#pragma once

#include <optional>
#include <string>

namespace velora::platform {

// Who writes, as the names of temporary files tell it.
struct WriterIdentity
{
    long long pid = 0;
    unsigned long long start = 0; // the clock tick at which the process started
    std::string run;              // 16 hex digits for the boot and the process namespace
};

// This process; nothing when the system does not tell enough to name it safely (no /proc,
// or a /proc of another process namespace than this process's own).
std::optional<WriterIdentity> thisWriter();

// The mkostemp() pattern of a temporary file beside target, named after writer when it is
// known.
std::string tempFilePattern(const std::string& target, const std::optional<WriterIdentity>& writer);

// Removes the temporary files that writers of target, killed halfway, left beside it. Called
// with target's lock held, so that no writer who keeps to it is midway.
void removeLeftovers(const std::string& target, const WriterIdentity& self);

} // namespace velora::platform
