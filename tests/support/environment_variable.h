#pragma once

#include <cstdlib>
#include <string>

namespace tessaly::test {

// Sets an environment variable (unsets it for a null value) for one test
// and restores it afterwards.
class EnvironmentVariable {
public:
    EnvironmentVariable(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name)) {
            old_ = old;
            hadOld_ = true;
        }
        value == nullptr ? ::unsetenv(name) : ::setenv(name, value, 1);
    }
    ~EnvironmentVariable() { hadOld_ ? ::setenv(name_, old_.c_str(), 1) : ::unsetenv(name_); }
    EnvironmentVariable(const EnvironmentVariable&) = delete;
    EnvironmentVariable& operator=(const EnvironmentVariable&) = delete;

private:
    const char* name_;
    std::string old_;
    bool hadOld_ = false;
};

} // namespace tessaly::test
