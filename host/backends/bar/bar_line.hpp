#pragma once

// The lines a status bar reads: waybar's JSON objects and the i3bar protocol
// (also swaybar's).

#include <optional>
#include <string>
#include <string_view>

#include "host/backends/bar/bar_reading.hpp"
#include "platform/foundation/date.hpp"

namespace velto::host::bar {

enum class BarFormat { waybar, i3bar };

/// The `name` of every i3bar block this program prints, so clicks on other
/// programs' blocks are told apart.
inline constexpr std::string_view kBlockName = "velto";

/// The widget's texts for a narrow bar: its first symbol and its readout (the
/// group that ticks, else the first that reads as a clock), or all texts when
/// it has no readout.
std::string shortText(const BarReading& reading, platform::foundation::Date instant);

/// One waybar line: {"text", "tooltip", "class"}. Texts are escaped for Pango
/// markup, which waybar applies; `class` holds "ticking" and "links" while they
/// apply, else "idle".
std::string waybarLine(const BarReading& reading, platform::foundation::Date instant,
                       bool shortForm);

/// What an i3bar status command prints once, before its first line.
std::string i3barHeader();

/// One i3bar line: the array of blocks, one per text group and one per link, a
/// link's block carrying its URL as `instance`. With `shortForm` only the short
/// text's block and the links. Lines after the first begin with ','.
std::string i3barLine(const BarReading& reading, platform::foundation::Date instant, bool shortForm,
                      bool first);

/// A click on one of our link blocks: the URL it carries.
struct Click {
  std::string url;
  friend bool operator==(const Click&, const Click&) = default;
};

/// Reads one line of the i3bar click-event stream. The stream opens with '[' and
/// separates events with ','. Yields the click, nothing for a line that carries
/// no click on our link blocks (the opening bracket, another program's block, a
/// button other than the first), or the reason a line cannot be read.
struct ClickLine {
  std::optional<Click> click;
  /// Set when the line is malformed: one line for the log.
  std::string error;
};
ClickLine readClickLine(std::string_view line);

}  // namespace velto::host::bar
