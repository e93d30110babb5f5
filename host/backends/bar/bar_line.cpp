#include "host/backends/bar/bar_line.hpp"

#include <algorithm>

#include <nlohmann/json.hpp>

namespace velto::host::bar {

using Json = nlohmann::json;

namespace {

// The gap between groups in one line of text.
constexpr std::string_view kGroupGap = "  ";

// Waybar hands our text to Pango as markup; a project named "R&D" must stay text.
std::string markupEscaped(std::string_view text) {
  std::string escaped;
  for (const char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

std::string dumped(const Json& value) {
  // A text from the extension that is not UTF-8 must not end the bar.
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string joinedTexts(const BarReading& reading, platform::foundation::Date instant,
                        std::string_view gap) {
  std::string text;
  for (const auto& item : reading.items) {
    if (item.link.empty()) {
      text += (text.empty() ? "" : std::string(gap)) + itemText(item, instant);
    }
  }
  return text;
}

}  // namespace

std::string shortText(const BarReading& reading, platform::foundation::Date instant) {
  // The readout is the group that ticks, else the one that reads as a clock.
  const auto isReadout = [](const BarItem& item, const std::string& text) {
    if (std::ranges::any_of(item.pieces, [](const Piece& piece) {
          return std::holds_alternative<TimerPiece>(piece);
        })) {
      return true;
    }
    return text.find(':') != std::string::npos
           && text.find_first_not_of("0123456789:-") == std::string::npos;
  };
  std::string symbol;
  std::string readout;
  for (const auto& item : reading.items) {
    if (!item.link.empty()) {
      continue;
    }
    const std::string text = itemText(item, instant);
    if (symbol.empty() && !item.pieces.empty()) {
      if (const auto* first = std::get_if<std::string>(&item.pieces.front());
          first != nullptr && first->size() > 1 && static_cast<unsigned char>((*first)[0]) >= 0x80
          && first->find(' ') == std::string::npos) {
        symbol = *first;
      }
    }
    if (readout.empty() && isReadout(item, text)) {
      readout = text;
    }
  }
  if (readout.empty()) {
    return joinedTexts(reading, instant, kGroupGap);
  }
  return symbol.empty() ? readout : symbol + " " + readout;
}

std::string waybarLine(const BarReading& reading, platform::foundation::Date instant,
                       bool shortForm) {
  Json classes = Json::array();
  if (reading.ticks()) {
    classes.push_back("ticking");
  }
  if (reading.hasLinks()) {
    classes.push_back("links");
  }
  if (classes.empty()) {
    classes.push_back("idle");
  }
  const std::string text =
      shortForm ? shortText(reading, instant) : joinedTexts(reading, instant, kGroupGap);
  return dumped({{"text", markupEscaped(text)},
                 {"tooltip", markupEscaped(joinedTexts(reading, instant, "\n"))},
                 {"class", classes}})
         + "\n";
}

std::string i3barHeader() {
  return "{\"version\":1,\"click_events\":true}\n[\n";
}

std::string i3barLine(const BarReading& reading, platform::foundation::Date instant, bool shortForm,
                      bool first) {
  Json blocks = Json::array();
  const auto block = [&](const std::string& text, const std::string& instance) {
    blocks.push_back({{"full_text", text},
                      {"name", kBlockName},
                      {"instance", instance},
                      {"separator", false},
                      {"separator_block_width", 9}});
  };
  if (shortForm) {
    block(shortText(reading, instant), "text-0");
  }
  std::size_t group = 0;
  for (const auto& item : reading.items) {
    if (!item.link.empty()) {
      block(itemText(item, instant), item.link);
    } else if (!shortForm) {
      block(itemText(item, instant), "text-" + std::to_string(group++));
    }
  }
  if (!blocks.empty()) {
    blocks.back()["separator"] = true;
  }
  return (first ? "" : ",") + dumped(blocks) + "\n";
}

ClickLine readClickLine(std::string_view line) {
  // The stream is one endless JSON array: skip its '[' and the ',' between events.
  while (!line.empty()
         && (line.front() == ' ' || line.front() == '\t' || line.front() == '\r'
             || line.front() == '[' || line.front() == ',')) {
    line.remove_prefix(1);
  }
  while (!line.empty() && (line.back() == ' ' || line.back() == '\r' || line.back() == '\t')) {
    line.remove_suffix(1);
  }
  if (line.empty()) {
    return {};
  }
  if (line.find('\0') != std::string_view::npos) {
    return {std::nullopt, "a click event holds a NUL byte"};
  }
  const Json event = Json::parse(line.begin(), line.end(), nullptr, false);
  if (event.is_discarded() || !event.is_object()) {
    return {std::nullopt, "a click event is not a JSON object"};
  }
  const auto name = event.find("name");
  const auto instance = event.find("instance");
  const auto button = event.find("button");
  if (name == event.end() || !name->is_string() || instance == event.end() || !instance->is_string()
      || button == event.end() || !button->is_number_integer()) {
    return {std::nullopt, "a click event lacks a string name and instance or a whole button"};
  }
  if (name->get_ref<const std::string&>() != kBlockName || button->get<std::int64_t>() != 1) {
    return {};
  }
  const auto& url = instance->get_ref<const std::string&>();
  if (url.starts_with("text-")) {
    return {};
  }
  return {Click{url}, {}};
}

}  // namespace velto::host::bar
