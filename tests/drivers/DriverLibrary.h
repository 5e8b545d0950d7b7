// A driver library loaded as the suite loads one, by dlopen, with its six functions resolved
// by name; for the tests of the virtual card's and the PCI card's driver libraries. A test
// fixture may derive from it to call the functions by their short names.
#pragma once

#include "hw/DriverApi.h"

#include <string>

#include <dlfcn.h>

namespace velora::test {

class DriverLibrary
{
public:
    DriverLibrary() = default;
    ~DriverLibrary() { close(); }
    DriverLibrary(const DriverLibrary&) = delete;
    DriverLibrary& operator=(const DriverLibrary&) = delete;

    // Loads the library at path and resolves the six functions. False, with the reason in
    // error(), when it cannot be loaded or lacks one of them.
    bool open(const char* path)
    {
        close();
        m_library = ::dlopen(path, RTLD_NOW | RTLD_LOCAL);
        if (m_library == nullptr) {
            m_error = ::dlerror();
            return false;
        }
        const bool all = resolve(discover, "pciGetHardwareResources") & resolve(isOpened, "isDriverOpened") &
                         resolve(unmap, "memoryUnmap") & resolve(map, "memoryMap") & resolve(read, "memoryRead") &
                         resolve(write, "memoryWrite");
        return all;
    }

    void close()
    {
        if (m_library != nullptr) {
            ::dlclose(m_library);
            m_library = nullptr;
        }
    }

    const std::string& error() const { return m_error; }

    PciGetHardwareResourcesFn discover = nullptr;
    IsDriverOpenedFn isOpened = nullptr;
    MemoryUnmapFn unmap = nullptr;
    MemoryMapFn map = nullptr;
    MemoryReadFn read = nullptr;
    MemoryWriteFn write = nullptr;

private:
    template <typename Fn> bool resolve(Fn& function, const char* name)
    {
        function = reinterpret_cast<Fn>(::dlsym(m_library, name));
        if (function == nullptr) {
            m_error += std::string(m_error.empty() ? "" : ", ") + name + " is missing";
        }
        return function != nullptr;
    }

    void* m_library = nullptr;
    std::string m_error;
};

} // namespace velora::test
