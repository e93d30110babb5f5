#include "host/backends/bar/bar_reading.hpp"

#include <algorithm>
#include <array>
#include <utility>

#include "host/layout/timer_text.hpp"
#include "platform/foundation/overloaded.hpp"
#include "platform/foundation/utf8.hpp"

namespace velto::host::bar {

namespace ui = platform::ui;

namespace {

// A redacted text keeps its length, so a placeholder is as wide as what replaces it.
std::string redactedText(std::string_view text) {
  std::string blocks;
  for (std::size_t pos = 0; pos < text.size();) {
    blocks += platform::foundation::nextCodePoint(text, pos) == U' ' ? std::string_view(" ")
                                                                     : kRedactedGlyph;
  }
  return blocks;
}

class Reader {
 public:
  explicit Reader(bool redacted) : redacted_(redacted) {}

  BarReading finish() && {
    closeGroup();
    return std::move(reading_);
  }

  void read(const ui::View& view, bool inRow) {
    std::visit(platform::foundation::overloaded{
                   [&](const ui::VStack& stack) { readColumn(stack.children, inRow); },
                   [&](const ui::ZStack& stack) { readColumn(stack.children, inRow); },
                   [&](const ui::HStack& stack) {
                     for (const auto& child : stack.children) {
                       read(child, true);
                     }
                     if (!inRow) {
                       closeGroup();
                     }
                   },
                   [&](const ui::Text& text) { addText(text); },
                   [&](const ui::Label& label) {
                     add(std::string(symbolGlyph(label.systemImage)));
                     addText(label.title);
                   },
                   [&](const ui::Image& image) { add(std::string(symbolGlyph(image.name))); },
                   [&](const ui::Link& link) { readLink(link); },
                   [](const ui::Spacer&) {},
                   [](const ui::Circle&) {},
                   [](const ui::Color&) {},
                   [](const ui::RadialGradient&) {},
               },
               view.element);
  }

 private:
  void readColumn(const std::vector<ui::View>& children, bool inRow) {
    // A column inside a row reads as part of that row's group.
    for (const auto& child : children) {
      read(child, inRow);
      if (!inRow) {
        closeGroup();
      }
    }
  }

  void readLink(const ui::Link& link) {
    closeGroup();
    Reader label(redacted_);
    label.read(*link.label, true);
    BarItem item;
    for (auto& inner : std::move(label).finish().items) {
      std::move(inner.pieces.begin(), inner.pieces.end(), std::back_inserter(item.pieces));
    }
    item.link = link.destination.absoluteString();
    reading_.items.push_back(std::move(item));
  }

  void addText(const ui::Text& text) {
    std::visit(platform::foundation::overloaded{
                   [&](const ui::Text::Verbatim& verbatim) { add(verbatim.string); },
                   [&](const ui::LocalizedStringKey& key) { add(key.key); },
                   [&](const ui::Text::Timer& timer) {
                     if (redacted_) {
                       add(std::string("00:00:00"));
                     } else {
                       group_.push_back(TimerPiece{timer.anchor});
                     }
                   },
               },
               text.content);
  }

  void add(std::string text) {
    if (text.empty()) {
      return;
    }
    group_.emplace_back(redacted_ ? redactedText(text) : std::move(text));
  }

  void closeGroup() {
    if (!group_.empty()) {
      reading_.items.push_back(BarItem{std::exchange(group_, {}), {}});
    }
  }

  bool redacted_;
  std::vector<Piece> group_;
  BarReading reading_;
};

}  // namespace

bool BarReading::ticks() const {
  return std::ranges::any_of(items, [](const BarItem& item) {
    return std::ranges::any_of(
        item.pieces, [](const Piece& piece) { return std::holds_alternative<TimerPiece>(piece); });
  });
}

bool BarReading::hasLinks() const {
  return std::ranges::any_of(items, [](const BarItem& item) { return !item.link.empty(); });
}

std::string_view symbolGlyph(std::string_view symbolName) {
  for (const auto& [name, glyph] : kSymbolGlyphs) {
    if (name == symbolName) {
      return glyph;
    }
  }
  return kUnknownSymbolGlyph;
}

TimerState timerState(const BarReading& reading) {
  if (reading.ticks()) {
    return TimerState::running;
  }
  const auto control = [&](std::string_view symbol) {
    const std::string glyph(symbolGlyph(symbol));
    return std::ranges::any_of(reading.items, [&](const BarItem& item) {
      return !item.link.empty()
             && std::ranges::find(item.pieces, Piece(glyph)) != item.pieces.end();
    });
  };
  if (control("pause.fill")) {
    return TimerState::running;
  }
  return control("play.fill") ? TimerState::paused : TimerState::stopped;
}

BarReading readTree(const ui::View& tree, bool redacted) {
  Reader reader(redacted);
  reader.read(tree, false);
  return std::move(reader).finish();
}

std::string itemText(const BarItem& item, platform::foundation::Date instant) {
  std::string text;
  for (const auto& piece : item.pieces) {
    text += text.empty() ? "" : " ";
    text += std::visit(
        platform::foundation::overloaded{
            [](const std::string& plain) { return plain; },
            [&](const TimerPiece& timer) { return layout::timerClockText(timer.anchor, instant); },
        },
        piece);
  }
  return text;
}

}  // namespace velto::host::bar
