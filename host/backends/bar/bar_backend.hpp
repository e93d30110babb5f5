#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "host/backends/bar/bar_line.hpp"
#include "host/backends/bar/bar_reading.hpp"
#include "host/scene/backend.hpp"

namespace velto::host::bar {

/// What sets a transient status apart from the widget's texts.
inline constexpr std::string_view kStatusGlyph = "\u26A0";  // ⚠

/// The widget in a status bar: prints one line each time what the bar would show
/// changes, and nothing when it stays the same or before the widget's first
/// real entry (a placeholder is never printed).
class BarBackend final : public live::Backend {
 public:
  /// Hands a line to the bar; false when the bar has closed its end.
  using Write = std::function<bool(std::string_view line)>;
  /// Called once, when the bar is gone: the program should end.
  using Closed = std::function<void()>;

  BarBackend(BarFormat format, bool shortForm, Write write, Closed closed);

  void show(const live::Scene& scene, platform::foundation::Date instant) override;
  void tick(platform::foundation::Date instant) override;
  void status(std::string_view message) override;

  /// The reading on display; clicks are matched against its links.
  const BarReading& reading() const { return reading_; }

 private:
  void emit();

  BarFormat format_;
  bool shortForm_;
  Write write_;
  Closed closed_;
  BarReading reading_;
  platform::foundation::Date instant_;
  std::string status_;
  std::string lastLine_;
  bool shown_ = false;
  bool headerWritten_ = false;
  bool gone_ = false;
};

}  // namespace velto::host::bar
