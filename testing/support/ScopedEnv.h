#pragma once
// Sets (or, given nullopt, unsets) an environment variable for the life of
// a scope and puts back the value it had (or unsets it). Tests use it to point a library at private
// services instead of the developer's own.

#include <cstdlib>
#include <optional>
#include <string>

namespace klik::test {

class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
        if (const char* old = std::getenv(name)) saved_ = old;
        // Tests change the environment before they start any thread of
        // their own, and put it back after joining them.
        if (value)
            ::setenv(name, value->c_str(), 1);  // NOLINT(concurrency-mt-unsafe)
        else
            ::unsetenv(name);  // NOLINT(concurrency-mt-unsafe)
    }
    ~ScopedEnv() {
        if (saved_)
            ::setenv(name_.c_str(), saved_->c_str(), 1);  // NOLINT(concurrency-mt-unsafe)
        else
            ::unsetenv(name_.c_str());  // NOLINT(concurrency-mt-unsafe)
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    std::string name_;
    std::optional<std::string> saved_;
};

}  // namespace klik::test
