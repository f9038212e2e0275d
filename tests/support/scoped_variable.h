// An environment variable set for the scope of a test, and what was there put back after it:
// for the POSIX tests of what the programs read from their environment.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace karst::testing {

class ScopedVariable {
 public:
  ScopedVariable(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* was = std::getenv(name)) {
      was_ = was;
    }
    Set(value);
  }
  ~ScopedVariable() { Set(was_); }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  void Set(const std::optional<std::string>& value) {
    if (value) {
      setenv(name_, value->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }
  const char* name_;
  std::optional<std::string> was_;
};

}  // namespace karst::testing
