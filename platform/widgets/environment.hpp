#pragma once

#include "platform/widgets/widget_family.hpp"

namespace platform::widgets {

/// The values a host sets around a view while it builds it.
struct EnvironmentValues {
  WidgetFamily widgetFamily = WidgetFamily::systemSmall;
};

/// Puts `values` in force on this thread for as long as the scope lives; scopes
/// nest, the innermost wins. The runtime opens one around every view it builds.
class EnvironmentScope {
 public:
  explicit EnvironmentScope(const EnvironmentValues& values);
  ~EnvironmentScope();
  EnvironmentScope(const EnvironmentScope&) = delete;
  EnvironmentScope& operator=(const EnvironmentScope&) = delete;

  /// The values in force on this thread; the defaults outside any scope.
  static const EnvironmentValues& current();

 private:
  const EnvironmentValues* previous_;
};

/// A view's binding to one environment value: it holds no value of its own and
/// reads the one in force each time it is asked.
template <auto Member>
class Environment {
 public:
  auto wrappedValue() const { return EnvironmentScope::current().*Member; }
};

}  // namespace platform::widgets
