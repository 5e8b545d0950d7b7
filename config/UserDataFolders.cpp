#include "config/SystemLists.h"

#include <algorithm>

#include "platform/ProfileFormat.h"

namespace velora::config {

std::vector<std::string> UserDataFolders::fileNames(std::string_view folder)
{
    std::vector<std::string> names = m_suite.fileNames(folder);
    if (m_user == nullptr ||
        !(platform::equalsIgnoringCase(folder, "tuners") || platform::equalsIgnoringCase(folder, "cards"))) {
        return names;
    }
    for (std::string& name : m_user->fileNames(folder)) {
        const bool listed = std::any_of(names.begin(), names.end(), [&](const std::string& known) {
            return platform::equalsIgnoringCase(known, name);
        });
        if (!listed) {
            names.push_back(std::move(name));
        }
    }
    return names;
}

} // namespace velora::config
