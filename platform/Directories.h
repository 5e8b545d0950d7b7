// The process's current directory and the listing of it, as the media shell moves through
// the file system. Paths are plain byte strings, as the system gives them.
//
// Threads: the current directory belongs to the whole process, not to a thread.
// changeDirectory changes it for every thread at once, and with it what every relative path
// in the process names: data files, profile paths, programs started from the current folder.
// So it is called from one thread only (the shell's), while no other thread works with
// relative paths. currentDirectory and listCurrentDirectory may be called from any thread;
// they read the directory that is current when they start, and a listing goes on in that
// directory even if another thread changes the current one meanwhile.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace velora::platform {

class Directories
{
public:
    virtual ~Directories() = default;

    // The full path of the current directory, or an empty text when the system cannot tell
    // (the directory was removed, or the path is too long to read).
    virtual std::string currentDirectory() = 0;

    // Makes path (absolute, or relative to the current directory: ".." is the parent) the
    // current directory. Returns false and leaves the current directory as it was when that
    // is not possible (no such directory, no permission, not a directory).
    virtual bool changeDirectory(const std::string& path) = 0;

    // Called once per item; returns false to end the listing early.
    using ItemSink = std::function<bool(std::string_view name, bool isDirectory)>;

    // Lists the items of the current directory in the order the file system keeps them:
    // "." in every directory, ".." in every directory but the root "/", hidden items too.
    // isDirectory is true for directories and for symbolic links that lead to one. Returns
    // false, without calling sink, when the directory cannot be read.
    virtual bool listCurrentDirectory(const ItemSink& sink) = 0;
};

// The current directory of this process.
Directories& systemDirectories();

} // namespace velora::platform
