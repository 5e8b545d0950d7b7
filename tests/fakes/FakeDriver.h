// A fake driver library behind a fake loader. The driver keeps registers in a map and logs
// every call into an EventLog ("pci 109e:350", "map 1 8", "read 0x200", "write 0x110
// 0xc205e287", "unmap 1 8"); the loader logs "load <name>", "unload" and resolves only the
// entry points that the test leaves in place.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "fakes/EventLog.h"
#include "hw/DriverApi.h"
#include "platform/LibraryLoader.h"

namespace velora::test {

inline std::string hex(std::uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", value);
    return text;
}

class FakeDriver
{
public:
    explicit FakeDriver(EventLog& log) : m_log(log) { s_current = this; }
    ~FakeDriver() { s_current = nullptr; }
    FakeDriver(const FakeDriver&) = delete;
    FakeDriver& operator=(const FakeDriver&) = delete;

    // The device id that answers discovery; none when empty.
    std::optional<std::uint32_t> presentDevice = 0x36E;
    // The three values discovery stores for the device.
    std::uint32_t resources[3] = {1, 8, 0x36E};
    // Whether register reads and writes are logged (picture tests only want the writes).
    bool logReads = true;
    std::map<std::uint32_t, std::uint32_t> registers;

    static platform::EntryPoint entry(const std::string& name)
    {
        const std::pair<const char*, platform::EntryPoint> entries[] = {
            {"pciGetHardwareResources", reinterpret_cast<platform::EntryPoint>(&pciGetHardwareResources)},
            {"isDriverOpened", reinterpret_cast<platform::EntryPoint>(&isDriverOpened)},
            {"memoryUnmap", reinterpret_cast<platform::EntryPoint>(&memoryUnmap)},
            {"memoryMap", reinterpret_cast<platform::EntryPoint>(&memoryMap)},
            {"memoryRead", reinterpret_cast<platform::EntryPoint>(&memoryRead)},
            {"memoryWrite", reinterpret_cast<platform::EntryPoint>(&memoryWrite)},
        };
        for (const auto& [entryName, point] : entries) {
            if (name == entryName) {
                return point;
            }
        }
        return nullptr;
    }

private:
    static std::int32_t pciGetHardwareResources(std::uint32_t vendor, std::uint32_t device, std::uint32_t* r1,
                                                std::uint32_t* r2, std::uint32_t* r3)
    {
        FakeDriver& self = *s_current;
        char text[32];
        std::snprintf(text, sizeof text, "pci %x:%x", vendor, device);
        self.m_log.add(text);
        if (vendor != 0x109E || !self.presentDevice || *self.presentDevice != device) {
            return 1;
        }
        *r1 = self.resources[0];
        *r2 = self.resources[1];
        *r3 = self.resources[2];
        return 0;
    }
    static std::int32_t isDriverOpened()
    {
        s_current->m_log.add("isDriverOpened");
        return 1;
    }
    static std::int32_t memoryUnmap(std::uint32_t r1, std::uint32_t r2)
    {
        s_current->m_log.add("unmap " + std::to_string(r1) + " " + std::to_string(r2));
        return 1;
    }
    static std::int32_t memoryMap(std::uint32_t r1, std::uint32_t r2)
    {
        s_current->m_log.add("map " + std::to_string(r1) + " " + std::to_string(r2));
        return 1;
    }
    static std::uint32_t memoryRead(std::uint32_t offset)
    {
        FakeDriver& self = *s_current;
        if (self.logReads) {
            self.m_log.add("read " + hex(offset));
        }
        return self.registers[offset];
    }
    static std::int32_t memoryWrite(std::uint32_t offset, std::uint32_t value)
    {
        FakeDriver& self = *s_current;
        self.m_log.add("write " + hex(offset) + " " + hex(value));
        self.registers[offset] = value;
        return 1;
    }

    EventLog& m_log;
    static inline FakeDriver* s_current = nullptr;
};

class FakeLibraryLoader final : public platform::LibraryLoader
{
public:
    explicit FakeLibraryLoader(EventLog& log) : m_log(log) {}

    // Whether a library of the expected name can be loaded at all.
    bool libraryPresent = true;
    // Entry points the fake library does not export.
    std::set<std::string> missing;
    // Whether resolving is logged (most tests only care about loading and unloading).
    bool logResolves = false;
    int loaded = 0;

    platform::LibraryHandle load(const char* fileName) override
    {
        m_log.add(std::string("load ") + fileName);
        if (!libraryPresent) {
            return nullptr;
        }
        ++loaded;
        return this;
    }
    platform::EntryPoint resolve(platform::LibraryHandle, const char* name) override
    {
        if (logResolves) {
            m_log.add(std::string("resolve ") + name);
        }
        return missing.count(name) != 0 ? nullptr : FakeDriver::entry(name);
    }
    void unload(platform::LibraryHandle) override
    {
        m_log.add("unload");
        --loaded;
    }

private:
    EventLog& m_log;
};

} // namespace velora::test
