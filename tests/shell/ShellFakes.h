// An in-memory directory tree and mount table for the shell's tests, so that navigation can
// be tried on trees of any shape (roots, drives without a disc) without touching the disk.
#pragma once

#include "platform/Directories.h"
#include "platform/MountTable.h"

#include <iterator>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace velora::test {

class FakeDirectories final : public platform::Directories
{
public:
    // Adds a directory (and its parents) with items; a name ending in "/" is a directory.
    void add(const std::string& path, const std::vector<std::string>& items = {})
    {
        ensure(path);
        for (const std::string& item : items) {
            if (!item.empty() && item.back() == '/') {
                ensure(join(path, item.substr(0, item.size() - 1)));
            } else {
                m_tree[path].emplace_back(item, false);
            }
        }
    }

    // Removes a directory with everything in it, as another program might while the shell
    // shows it. Standing in a removed directory behaves as on Linux: its path can no longer
    // be read, it lists nothing, names in it are not found, and ".." still leads to its
    // parent.
    void remove(const std::string& path)
    {
        for (auto it = m_tree.lower_bound(path); it != m_tree.end() && it->first.rfind(path, 0) == 0;) {
            const bool inside = it->first.size() == path.size() || it->first[path.size()] == '/';
            it = inside ? m_tree.erase(it) : std::next(it);
        }
        auto& siblings = m_tree[parentOf(path)];
        std::erase_if(siblings, [&](const auto& item) { return join(parentOf(path), item.first) == path; });
    }

    // Makes a directory one that can be entered but not listed.
    void lock(const std::string& path) { m_locked.insert(path); }

    std::string currentDirectory() override { return m_tree.count(m_current) != 0 ? m_current : std::string(); }

    bool changeDirectory(const std::string& path) override
    {
        if (path.empty()) {
            return false;
        }
        std::string target;
        if (path == "..") {
            target = parentOf(m_current);
        } else {
            target = path.front() == '/' ? path : join(m_current, path);
        }
        if (m_tree.count(target) == 0) {
            return false;
        }
        m_current = target;
        return true;
    }

    bool listCurrentDirectory(const ItemSink& sink) override
    {
        if (m_locked.count(m_current) != 0) {
            return false;
        }
        std::vector<std::pair<std::string, bool>> items{{".", true}};
        if (m_current != "/") {
            items.emplace_back("..", true);
        }
        const auto here = m_tree.find(m_current);
        if (here == m_tree.end()) {
            return true;
        }
        for (const auto& item : here->second) {
            items.push_back(item);
        }
        for (const auto& [name, isDirectory] : items) {
            if (!sink(name, isDirectory)) {
                break;
            }
        }
        return true;
    }

private:
    static std::string join(const std::string& dir, const std::string& name)
    {
        return dir == "/" ? "/" + name : dir + "/" + name;
    }
    static std::string parentOf(const std::string& path)
    {
        const std::size_t slash = path.rfind('/');
        return slash == 0 ? "/" : path.substr(0, slash);
    }
    void ensure(const std::string& path)
    {
        if (m_tree.count(path) != 0) {
            return;
        }
        m_tree[path];
        if (path != "/") {
            ensure(parentOf(path));
            m_tree[parentOf(path)].emplace_back(path.substr(path.rfind('/') + 1), true);
        }
    }

    std::map<std::string, std::vector<std::pair<std::string, bool>>> m_tree{{"/", {}}};
    std::set<std::string> m_locked;
    std::string m_current = "/";
};

class FakeMountTable final : public platform::MountTable
{
public:
    std::vector<platform::Drive> list;
    std::vector<platform::Drive> drives() override { return list; }
};

} // namespace velora::test
