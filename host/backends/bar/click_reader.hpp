#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "host/backends/bar/bar_line.hpp"

namespace velto::host::bar {

/// The longest click-event line read; a bar's events are a few hundred bytes.
inline constexpr std::size_t kMaxClickLine = 64 * 1024;

/// Splits the bytes a bar writes to our stdin into click events. Clicks on our
/// link blocks reach `clicked`; each malformed or overlong line reaches `log`
/// once and is otherwise ignored.
class ClickReader {
 public:
  ClickReader(std::function<void(const Click&)> clicked, std::function<void(std::string_view)> log);

  /// Takes the next bytes, in any split.
  void feed(std::string_view bytes);

 private:
  void line(std::string_view text);

  std::function<void(const Click&)> clicked_;
  std::function<void(std::string_view)> log_;
  std::string pending_;
  bool skipping_ = false;  // inside an overlong line, until its newline
};

}  // namespace velto::host::bar
