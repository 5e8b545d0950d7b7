// Library loading with the dynamic loader: dlopen by name searches LD_LIBRARY_PATH first,
// then the RUNPATH ($ORIGIN) of the object that asks, then the system folders.
#include "platform/LibraryLoader.h"

#include <dlfcn.h>

namespace velora::platform {
namespace {

class LinuxLibraryLoader final : public LibraryLoader
{
public:
    LibraryHandle load(const char* fileName) override { return dlopen(fileName, RTLD_NOW); }

    EntryPoint resolve(LibraryHandle library, const char* name) override
    {
        void* symbol = dlsym(library, name);
        // POSIX guarantees that a data pointer from dlsym converts to a function pointer.
        return reinterpret_cast<EntryPoint>(symbol);
    }

    void unload(LibraryHandle library) override { dlclose(library); }
};

} // namespace

LibraryLoader& systemLibraryLoader()
{
    static LinuxLibraryLoader loader;
    return loader;
}

} // namespace velora::platform
