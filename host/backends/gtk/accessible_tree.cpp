#include "host/backends/gtk/accessible_tree.hpp"

#include <algorithm>
#include <cctype>
#include <variant>

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

}  // namespace

std::vector<AccessibleNode> accessibleTree(const layout::DrawList& list) {
  std::vector<AccessibleNode> nodes;
  std::vector<std::size_t> buttons;
  for (const auto& command : list.commands) {
    if (const auto* link = std::get_if<layout::LinkRegion>(&command)) {
      buttons.push_back(nodes.size());
      nodes.push_back({AccessibleNode::Role::button, "", link->url, link->rect});
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
  for (const auto& command : list.commands) {
    if (const auto* symbol = std::get_if<layout::DrawSymbol>(&command)) {
      if (auto* button = owningButton(symbol->box)) {
        addToName(*button, symbolName(symbol->name));
      }
    } else if (const auto* text = std::get_if<layout::DrawText>(&command)) {
      if (auto* button = owningButton(text->box)) {
        addToName(*button, text->text);
      } else {
        nodes.push_back({AccessibleNode::Role::text, text->text, "", text->box});
      }
    }
  }
  for (const std::size_t index : buttons) {
    if (nodes[index].name.empty()) {
      nodes[index].name = nodes[index].url;
    }
  }
  sortForReading(nodes);
  return nodes;
}

}  // namespace velto::host::gtk
