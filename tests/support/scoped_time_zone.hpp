#pragma once

// Runs a test in a chosen time zone: sets TZ for the process and restores it.

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace velto::test_support {

/// Sets TZ to `zone` (an Olson name such as "Europe/Berlin") and calls tzset;
/// the old TZ comes back when the object goes away.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const std::string& zone) {
    if (const char* old = std::getenv("TZ")) {
      old_ = old;
    }
    ::setenv("TZ", zone.c_str(), 1);
    ::tzset();
  }
  ScopedTimeZone(const ScopedTimeZone&) = delete;
  ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;
  ~ScopedTimeZone() {
    if (old_) {
      ::setenv("TZ", old_->c_str(), 1);
    } else {
      ::unsetenv("TZ");
    }
    ::tzset();
  }

 private:
  std::optional<std::string> old_;
};

}  // namespace velto::test_support
