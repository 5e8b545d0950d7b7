#include "platform/ExecutablePath.h"

#include <climits>
#include <cstdlib>

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

namespace velora::platform {

std::string executablePath()
{
    char buffer[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0) {
        return {};
    }
    return std::string(buffer, static_cast<std::size_t>(length));
}

std::string executableDirectory()
{
    const std::string path = executablePath();
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return {};
    }
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string moduleDirectory()
{
    Dl_info info{};
    link_map* module = nullptr;
    if (dladdr1(reinterpret_cast<void*>(&moduleDirectory), &info, reinterpret_cast<void**>(&module), RTLD_DL_LINKMAP) ==
            0 ||
        module == nullptr || module->l_name == nullptr || module->l_name[0] == '\0') {
        // The program itself has an empty name in the list of loaded binaries.
        return executableDirectory();
    }
    // The path the library was loaded from, which may hold links.
    char* real = realpath(module->l_name, nullptr);
    if (real == nullptr) {
        return {};
    }
    const std::string path(real);
    std::free(real);
    const auto slash = path.rfind('/');
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

} // namespace velora::platform
