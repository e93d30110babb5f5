#include "host/backends/gtk/accessible_tree.hpp"

#include <algorithm>
#include <cctype>
#include <variant>

#include "host/backends/gtk/spoken_duration.hpp"

namespace velto::host::gtk {

std::string symbolName(std::string_view symbol) {
  const std::string_view word = symbol.substr(0, symbol.find('.'));
  std::string name(word);
  if (!name.empty()) {
    name.front() = static_cast<char>(std::toupper(static_cast<unsigned char>(name.front())));
  }
  return name;
}

namespace {

std::string lowercase(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return lower;
}

}  // namespace

std::string symbolAction(std::string_view symbol) {
  const std::string word = lowercase(symbolName(symbol));
  if (word == "pause") {
    return "Pause the timer";
  }
  if (word == "play") {
    return "Resume the timer";
  }
  if (word == "stop") {
    return "Stop the timer";
  }
  return "";
}

namespace {

bool inside(const layout::Rect& inner, const layout::Rect& outer) {
  const auto centre = inner.center();
  return centre.x >= outer.x && centre.x <= outer.maxX() && centre.y >= outer.y
         && centre.y <= outer.maxY();
}

/// Reading order: rows top to bottom, each left to right. A node joins the
/// row begun by an earlier node when its vertical middle lies within that
/// node's extent.
void sortForReading(std::vector<AccessibleNode>& nodes) {
  std::stable_sort(nodes.begin(), nodes.end(), [](const auto& a, const auto& b) {
    return a.box.center().y < b.box.center().y;
  });
  auto rowStart = nodes.begin();
  while (rowStart != nodes.end()) {
    const auto& first = rowStart->box;
    auto rowEnd = std::find_if(rowStart, nodes.end(), [&](const auto& node) {
      return node.box.center().y > first.maxY();
    });
    if (rowEnd == rowStart) {
      ++rowEnd;
    }
    std::stable_sort(rowStart, rowEnd,
                     [](const auto& a, const auto& b) { return a.box.x < b.box.x; });
    rowStart = rowEnd;
  }
}

/// Whether `symbol` sits just left of `text` on its line, as a label's icon does.
bool labels(const layout::Rect& symbol, const layout::Rect& text) {
  const double middle = symbol.center().y;
  const double gap = text.x - symbol.maxX();
  return middle >= text.y && middle <= text.maxY() && gap >= -1.0 && gap <= symbol.width;
}

/// Names a text in words and says what it stands for: a clock readout is the
/// time elapsed, a duration labelled by the sun is the day's total.
void giveMeaning(AccessibleNode& node, const std::vector<layout::Rect>& suns) {
  const bool today = std::any_of(suns.begin(), suns.end(),
                                 [&](const layout::Rect& sun) { return labels(sun, node.box); });
  if (today) {
    if (const auto seconds = compactSeconds(node.name)) {
      node.meaning = AccessibleNode::Meaning::today;
      node.seconds = *seconds;
      node.name = spokenDuration(*seconds, SpokenPrecision::minutes);
    }
    node.name = "Today " + node.name;
  } else if (const auto seconds = clockSeconds(node.name)) {
    node.meaning = AccessibleNode::Meaning::elapsed;
    node.seconds = *seconds;
    node.name = spokenDuration(*seconds, SpokenPrecision::seconds);
  }
}

}  // namespace

std::vector<AccessibleNode> accessibleTree(const layout::DrawList& list) {
  std::vector<AccessibleNode> nodes;
  std::vector<std::size_t> buttons;
  for (const auto& command : list.commands) {
    if (const auto* link = std::get_if<layout::LinkRegion>(&command)) {
      buttons.push_back(nodes.size());
      nodes.push_back({AccessibleNode::Role::button, "", link->url, link->rect, "",
                       AccessibleNode::Meaning::plain, 0});
    }
  }
  const auto owningButton = [&](const layout::Rect& box) -> AccessibleNode* {
    for (auto it = buttons.rbegin(); it != buttons.rend(); ++it) {
      if (inside(box, nodes[*it].box)) {
        return &nodes[*it];
      }
    }
    return nullptr;
  };
  const auto addToName = [](AccessibleNode& button, std::string_view part) {
    if (part.empty()) {
      return;
    }
    if (!button.name.empty()) {
      button.name += ' ';
    }
    button.name += part;
  };
  std::vector<layout::Rect> suns;
  for (const auto& command : list.commands) {
    if (const auto* symbol = std::get_if<layout::DrawSymbol>(&command)) {
      if (auto* button = owningButton(symbol->box)) {
        addToName(*button, symbolName(symbol->name));
        if (button->description.empty()) {
          button->description = symbolAction(symbol->name);
        }
      } else if (lowercase(symbolName(symbol->name)) == "sun") {
        suns.push_back(symbol->box);
      }
    } else if (const auto* text = std::get_if<layout::DrawText>(&command)) {
      if (auto* button = owningButton(text->box)) {
        addToName(*button, text->text);
      } else {
        nodes.push_back({AccessibleNode::Role::text, text->text, "", text->box, "",
                         AccessibleNode::Meaning::plain, 0});
      }
    }
  }
  for (const std::size_t index : buttons) {
    if (nodes[index].name.empty()) {
      nodes[index].name = nodes[index].url;
    }
  }
  for (auto& node : nodes) {
    if (node.role == AccessibleNode::Role::text) {
      giveMeaning(node, suns);
    }
  }
  sortForReading(nodes);
  return nodes;
}

std::string widgetSummary(const std::vector<AccessibleNode>& nodes, std::string_view widgetName) {
  if (nodes.empty()) {
    return "";
  }
  const std::string name = lowercase(widgetName);
  const std::string firstWord = name.substr(0, name.find(' '));
  std::string summary;
  const auto add = [&](std::string_view part) {
    if (!summary.empty()) {
      summary += ", ";
    }
    summary += part;
  };
  const AccessibleNode* elapsed = nullptr;
  const AccessibleNode* today = nullptr;
  std::string_view state = "stopped";
  for (const auto& node : nodes) {
    if (node.role == AccessibleNode::Role::button) {
      state = node.name == "Pause" ? "running" : node.name == "Play" ? "paused" : state;
      continue;
    }
    switch (node.meaning) {
      case AccessibleNode::Meaning::elapsed:
        elapsed = elapsed != nullptr ? elapsed : &node;
        break;
      case AccessibleNode::Meaning::today:
        today = today != nullptr ? today : &node;
        break;
      case AccessibleNode::Meaning::plain:
        if (const std::string text = lowercase(node.name); text != name && text != firstWord) {
          add(node.name);
        }
        break;
    }
  }
  add(state);
  if (elapsed != nullptr && (state != "stopped" || elapsed->seconds > 0)) {
    add(spokenDuration(elapsed->seconds, SpokenPrecision::minutes));
  }
  if (today != nullptr) {
    summary += "; today " + spokenDuration(today->seconds, SpokenPrecision::minutes);
  }
  return summary;
}

}  // namespace velto::host::gtk
