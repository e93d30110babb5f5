#include "host/backends/bar/bar_line.hpp"

#include <algorithm>
#include <vector>

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

/// Which item is the readout: the group that ticks, else the first that reads
/// as a clock.
std::optional<std::size_t> readoutIndex(const BarReading& reading,
                                        platform::foundation::Date instant) {
  for (std::size_t index = 0; index < reading.items.size(); ++index) {
    const BarItem& item = reading.items[index];
    if (item.link.empty() && std::ranges::any_of(item.pieces, [](const Piece& piece) {
          return std::holds_alternative<TimerPiece>(piece);
        })) {
      return index;
    }
  }
  for (std::size_t index = 0; index < reading.items.size(); ++index) {
    const BarItem& item = reading.items[index];
    const std::string text = itemText(item, instant);
    if (item.link.empty() && text.find(':') != std::string::npos
        && text.find_first_not_of("0123456789:-") == std::string::npos) {
      return index;
    }
  }
  return std::nullopt;
}

/// The readout with the state's glyph before it, so running, paused and
/// stopped read apart even where the texts are the same.
std::string markedReadout(const std::string& readout, TimerState state) {
  return std::string(stateGlyph(state)) + " " + readout;
}

/// Each text group's text, in reading order, links left out.
std::vector<std::string> groupTexts(const BarReading& reading, platform::foundation::Date instant) {
  const auto readout = readoutIndex(reading, instant);
  const TimerState state = timerState(reading);
  std::vector<std::string> texts;
  for (std::size_t index = 0; index < reading.items.size(); ++index) {
    if (reading.items[index].link.empty()) {
      const std::string text = itemText(reading.items[index], instant);
      texts.push_back(index == readout ? markedReadout(text, state) : text);
    }
  }
  return texts;
}

std::string joined(const std::vector<std::string>& texts, std::string_view gap) {
  std::string text;
  for (const auto& part : texts) {
    text += (text.empty() ? "" : std::string(gap)) + part;
  }
  return text;
}

}  // namespace

std::string_view stateName(TimerState state) {
  return kWaybarClasses[static_cast<std::size_t>(state)];
}

std::string_view stateGlyph(TimerState state) {
  switch (state) {
    case TimerState::running:
      return symbolGlyph("play.fill");
    case TimerState::paused:
      return symbolGlyph("pause.fill");
    case TimerState::stopped:
      return symbolGlyph("stop.fill");
  }
  return kUnknownSymbolGlyph;
}

std::string shortText(const BarReading& reading, platform::foundation::Date instant) {
  const auto readout = readoutIndex(reading, instant);
  if (!readout) {
    return joined(groupTexts(reading, instant), kGroupGap);
  }
  return markedReadout(itemText(reading.items[*readout], instant), timerState(reading));
}

std::string waybarLine(const BarReading& reading, platform::foundation::Date instant,
                       bool shortForm) {
  const TimerState state = timerState(reading);
  Json classes = Json::array({stateName(state)});
  if (reading.ticks()) {
    classes.push_back(kWaybarClasses[kTickingClass]);
  }
  if (reading.hasLinks()) {
    classes.push_back(kWaybarClasses[kLinksClass]);
  }
  const std::vector<std::string> texts = groupTexts(reading, instant);
  const std::string text = shortForm ? shortText(reading, instant) : joined(texts, kGroupGap);
  std::string tooltip = joined(texts, "\n");
  std::string name(stateName(state));
  name[0] = static_cast<char>(name[0] - 'a' + 'A');
  tooltip += (tooltip.empty() ? "" : "\n") + name;
  return dumped({{"text", markupEscaped(text)},
                 {"alt", stateName(state)},
                 {"tooltip", markupEscaped(tooltip)},
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
  const auto readout = readoutIndex(reading, instant);
  const TimerState state = timerState(reading);
  std::size_t group = 0;
  for (std::size_t index = 0; index < reading.items.size(); ++index) {
    const BarItem& item = reading.items[index];
    if (!item.link.empty()) {
      block(itemText(item, instant), item.link);
    } else if (!shortForm) {
      const std::string text = itemText(item, instant);
      block(index == readout ? markedReadout(text, state) : text,
            "text-" + std::to_string(group++));
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
