// An environment variable set (or removed) for the life of the object, and given back its
// former value afterwards, for tests that steer a program or a backend through its
// environment.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>

namespace velora::test {

class ScopedEnvironment
{
public:
    // Sets name to value; a null value removes the variable.
    ScopedEnvironment(std::string name, const char* value) : m_name(std::move(name))
    {
        if (const char* old = std::getenv(m_name.c_str())) {
            m_old = old;
        }
        set(value);
    }
    ScopedEnvironment(std::string name, const std::string& value) : ScopedEnvironment(std::move(name), value.c_str()) {}
    ~ScopedEnvironment() { set(m_old ? m_old->c_str() : nullptr); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

    // Changes the variable again; the destructor still gives back the value from before.
    void set(const char* value)
    {
        if (value != nullptr) {
            ::setenv(m_name.c_str(), value, 1);
        } else {
            ::unsetenv(m_name.c_str());
        }
    }

private:
    std::string m_name;
    std::optional<std::string> m_old;
};

} // namespace velora::test
