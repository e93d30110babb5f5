#include "host/scene/scene.hpp"

#include <type_traits>
#include <utility>
#include <variant>

namespace velto::host::live {

namespace {

using platform::ui::View;

void collect(const View& view, std::vector<std::string>& into);

void collectChildren(const std::vector<View>& children, std::vector<std::string>& into) {
  for (const View& child : children) {
    collect(child, into);
  }
}

void collect(const View& view, std::vector<std::string>& into) {
  std::visit(
      [&into](const auto& element) {
        using E = std::decay_t<decltype(element)>;
        if constexpr (std::is_same_v<E, platform::ui::Link>) {
          into.push_back(element.destination.absoluteString());
          collect(*element.label, into);
        } else if constexpr (requires { element.children; }) {
          collectChildren(element.children, into);
        }
      },
      view.element);
  // Backgrounds are trees too; a link there is as visible as any other.
  for (const auto& modifier : view.modifiers) {
    if (const auto* background = std::get_if<platform::ui::BackgroundModifier>(&modifier)) {
      collect(*background->content, into);
    } else if (const auto* container =
                   std::get_if<platform::ui::ContainerBackgroundModifier>(&modifier)) {
      collect(*container->content, into);
    }
  }
}

}  // namespace

std::vector<std::string> linkDestinations(const View& view) {
  std::vector<std::string> links;
  collect(view, links);
  return links;
}

Scene::Scene(platform::widgets::WidgetFamily shownIn, View tree, bool placeholder)
    : family(shownIn), view(std::move(tree)), redacted(placeholder) {
  if (!redacted) {
    links = linkDestinations(view);
  }
}

}  // namespace velto::host::live
