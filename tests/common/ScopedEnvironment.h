// Sets (or, given null, removes) an environment variable for the life of the object, then puts
// the old value back.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

class ScopedEnvironmentVariable
{
public:
    ScopedEnvironmentVariable(const char* name, const std::string& value) : ScopedEnvironmentVariable(name, value.c_str()) {}
    ScopedEnvironmentVariable(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnvironmentVariable()
    {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }
    ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
    ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};
