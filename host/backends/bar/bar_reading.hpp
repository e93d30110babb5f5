#pragma once

// A widget's tree on display read as a status bar reads it: its texts in reading
// order, grouped as they sit together, and its links apart.

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

/// The glyph a bar shows for a symbol name; a box for a name it does not know.
std::string_view symbolGlyph(std::string_view symbolName);

/// Reads `tree`: columns (VStack, ZStack) start a group for each child, a row
/// (HStack) joins its children into one group, each Link is an item of its own;
/// shapes, colours, spacers and backgrounds are not read. `redacted` reads every
/// text as blocks, as a placeholder shows them.
BarReading readTree(const platform::ui::View& tree, bool redacted = false);

/// One item's text at `instant`: its pieces joined by single spaces.
std::string itemText(const BarItem& item, platform::foundation::Date instant);

}  // namespace velto::host::bar
