#pragma once

#include <cstdio>
#include <functional>
#include <span>
#include <utility>
#include <vector>

#include "platform/widgets/runtime/widget_configuration.hpp"

namespace platform::widgets {

/// Any widget value, so that one bundle can list widgets of different types.
class AnyWidget {
 public:
  template <Widget W>
  AnyWidget(W widget)  // NOLINT: bundles list widgets by value
      : body_([widget = std::move(widget)] { return WidgetConfiguration(widget.body()); }) {}

  WidgetConfiguration body() const { return body_(); }

 private:
  std::function<WidgetConfiguration()> body_;
};

/// Builds a bundle's widget list.
struct WidgetBundleBuilder {
  template <Widget... Ws>
  static std::vector<AnyWidget> buildBlock(Ws... widgets) {
    std::vector<AnyWidget> list;
    list.reserve(sizeof...(Ws));
    (list.emplace_back(std::move(widgets)), ...);
    return list;
  }
};

/// Serves the host with `configurations` over the runner's connection, stdin
/// and stdout, until the host closes it or is gone.
void serveWidgets(std::span<const WidgetConfiguration> configurations);

/// Serves requests read from `in` with replies written to `out`, one line each,
/// until `in` ends or `out` fails.
void serveWidgets(std::span<const WidgetConfiguration> configurations, std::FILE* in,
                  std::FILE* out);

/// The widget bundle role: `Bundle` has a no-argument constructor and a
/// `body()` listing its widgets. `main()` makes the bundle, reads its body and
/// every widget's configuration, then serves the host until it is done.
template <class Bundle>
struct WidgetBundle {
  static void main() {
    const Bundle bundle;
    const std::vector<AnyWidget> widgets = bundle.body();
    std::vector<WidgetConfiguration> configurations;
    configurations.reserve(widgets.size());
    for (const AnyWidget& widget : widgets) {
      configurations.push_back(widget.body());
    }
    serveWidgets(configurations);
  }
};

}  // namespace platform::widgets
