// Run-time loading of shared libraries by file name.
//
// The card access code binds to the driver library at run time, by name, and resolves its
// entry points one by one. This interface is the whole of what it needs from the system's
// dynamic loader, so that tests can hand it a fake driver without any file on disk.
//
// Threads: every operation may be called from any thread. The loader counts loads, so two
// threads may load and unload the same library independently. What it cannot guard is the
// library's own code: unload must not run while another thread calls an entry point of that
// library or may still call one. The caller orders that (the remote daemon replaces its card
// only while the sampling timer is stopped).
#pragma once

namespace velora::platform {

// An opaque handle to a loaded library; null means "not loaded".
using LibraryHandle = void*;

// A resolved entry point, to be cast to its real function type by the caller.
using EntryPoint = void (*)();

class LibraryLoader
{
public:
    virtual ~LibraryLoader() = default;

    // Loads the library with this file name through the system's normal library search path
    // and binds all its symbols at once. Returns null when the file is missing or cannot be
    // loaded. Never shows anything to the user and never ends the process.
    virtual LibraryHandle load(const char* fileName) = 0;

    // Resolves an exported function of a library loaded by load(). Returns null when the
    // library does not export that name.
    virtual EntryPoint resolve(LibraryHandle library, const char* name) = 0;

    // Unloads a library loaded by load(). The handle and every entry point resolved from it
    // are invalid afterwards. Must not be called with null.
    virtual void unload(LibraryHandle library) = 0;
};

// Resolves an exported function of a library loaded by loader into a pointer of the
// function's own type; false, with the pointer null, when the library does not export it.
template <typename Function>
bool resolveInto(LibraryLoader& loader, LibraryHandle library, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(loader.resolve(library, name));
    return function != nullptr;
}

// The loader of the system this build runs on.
LibraryLoader& systemLibraryLoader();

} // namespace velora::platform
