#pragma once

// The lines a status bar reads: waybar's JSON objects and the i3bar protocol
// (also swaybar's).

#include <array>
#include <cstddef>
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

/// Every class a waybar line can carry: the timer's state (one of the first
/// three, in TimerState's order), then "ticking" while a readout counts and
/// "links" while the widget shows links.
inline constexpr std::array<std::string_view, 5> kWaybarClasses{"running", "paused", "stopped",
                                                                "ticking", "links"};
inline constexpr std::size_t kTickingClass = 3;
inline constexpr std::size_t kLinksClass = 4;

/// "running", "paused" or "stopped".
std::string_view stateName(TimerState state);

/// The glyph set before the readout: ▶ running, ‖ paused, ■ stopped.
std::string_view stateGlyph(TimerState state);

/// The widget's texts for a narrow bar: the state's glyph and the readout (the
/// group that ticks, else the first that reads as a clock), or all texts when
/// it has no readout.
std::string shortText(const BarReading& reading, platform::foundation::Date instant);

/// One waybar line: {"text", "alt", "tooltip", "class"}. The readout carries
/// the state's glyph; `alt` is the state's name; the tooltip is every text, one
/// a line, and the state in words; `class` is drawn from kWaybarClasses. Texts
/// are escaped for Pango markup, which waybar applies.
std::string waybarLine(const BarReading& reading, platform::foundation::Date instant,
                       bool shortForm);

/// What an i3bar status command prints once, before its first line.
std::string i3barHeader();

/// One i3bar line: the array of blocks, one per text group and one per link, a
/// link's block carrying its URL as `instance`, the readout's block the state's
/// glyph. With `shortForm` only the short
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
