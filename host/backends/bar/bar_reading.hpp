#pragma once

// A widget's tree on display read as a status bar reads it: its texts in reading
// order, grouped as they sit together, and its links apart.

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/foundation/date.hpp"
#include "platform/ui/view.hpp"

namespace velto::host::bar {

/// A live timer text inside a group: the clock counted from `anchor`.
struct TimerPiece {
  std::optional<platform::foundation::Date> anchor;
  friend bool operator==(const TimerPiece&, const TimerPiece&) = default;
};

/// A text, a symbol read as its glyph, or a live timer.
using Piece = std::variant<std::string, TimerPiece>;

/// Texts that sit together (one row, or one line of a column), or one Link.
struct BarItem {
  std::vector<Piece> pieces;
  /// The URL a Link opens; empty for a text group.
  std::string link;
  friend bool operator==(const BarItem&, const BarItem&) = default;
};

/// Everything a bar shows of one tree, in reading order.
struct BarReading {
  std::vector<BarItem> items;
  friend bool operator==(const BarReading&, const BarReading&) = default;

  /// Whether a timer text ticks, so the text changes each second.
  bool ticks() const;
  /// Whether any Link is shown.
  bool hasLinks() const;
};

/// A symbol name and the glyph a bar shows for it. Every glyph is one that
/// DejaVu Sans and DejaVu Sans Mono draw, so no bar shows a hex box.
struct SymbolGlyph {
  std::string_view name;
  std::string_view glyph;
};
inline constexpr std::array<SymbolGlyph, 5> kSymbolGlyphs{{
    {"hourglass", "\u25D4"},   // ◔ a timer's dial: no font of a default desktop has ⌛
    {"sun.max", "\u2600"},     // ☀
    {"play.fill", "\u25B6"},   // ▶
    {"pause.fill", "\u2016"},  // ‖
    {"stop.fill", "\u25A0"},   // ■
}};
/// What a bar shows for a symbol it does not know.
inline constexpr std::string_view kUnknownSymbolGlyph = "\u25A1";  // □
/// What stands for each character of a redacted text.
inline constexpr std::string_view kRedactedGlyph = "\u2588";  // █

/// The glyph a bar shows for a symbol name; a box for a name it does not know.
std::string_view symbolGlyph(std::string_view symbolName);

/// What the timer on display is doing, as its controls tell: a ticking readout
/// or a pause control is running, a resume control is paused, no control at
/// all is stopped.
enum class TimerState { running, paused, stopped };
TimerState timerState(const BarReading& reading);

/// Reads `tree`: columns (VStack, ZStack) start a group for each child, a row
/// (HStack) joins its children into one group, each Link is an item of its own;
/// shapes, colours, spacers and backgrounds are not read. `redacted` reads every
/// text as blocks, as a placeholder shows them.
BarReading readTree(const platform::ui::View& tree, bool redacted = false);

/// One item's text at `instant`: its pieces joined by single spaces.
std::string itemText(const BarItem& item, platform::foundation::Date instant);

}  // namespace velto::host::bar
