// Sets or clears environment variables for as long as it lives and puts
// their old values back afterwards, so one test's XDG folders or data
// folder do not leak into the next.
#pragma once

#include <cstdlib>
#include <map>
#include <optional>
#include <string>

namespace testing_support {

class ScopedEnvironment {
 public:
  ScopedEnvironment() = default;
  ~ScopedEnvironment() {
    for (const auto& [name, old] : saved_) {
      if (old) {
        ::setenv(name.c_str(), old->c_str(), 1);
      } else {
        ::unsetenv(name.c_str());
      }
    }
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

  // Sets the variable, or clears it when value is empty (nullopt).
  void Set(const std::string& name, const std::optional<std::string>& value) {
    Remember(name);
    if (value) {
      ::setenv(name.c_str(), value->c_str(), 1);
    } else {
      ::unsetenv(name.c_str());
    }
  }
  void Unset(const std::string& name) { Set(name, std::nullopt); }

 private:
  void Remember(const std::string& name) {
    if (saved_.count(name)) return;
    const char* old = std::getenv(name.c_str());
    saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
  }

  std::map<std::string, std::optional<std::string>> saved_;
};

}  // namespace testing_support
