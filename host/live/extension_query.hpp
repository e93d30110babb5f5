#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "host/client/replies.hpp"
#include "host/scheduler/view_timeline.hpp"
#include "platform/foundation/expected.hpp"
#include "platform/widgets/widget_family.hpp"

namespace velto::host::live {

/// A freshly started extension that answers a few requests one at a time, each
/// on a private main loop that runs only until its reply (or the reply
/// deadline, or the child's end); for commands that draw once. The same
/// framer, request machine and child as the live host, so both speak alike.
class ExtensionQuery {
 public:
  /// Starts `executable` and asks `initialize`; a failure is one line.
  static platform::foundation::Expected<ExtensionQuery, std::string> start(
      const std::filesystem::path& executable);

  ExtensionQuery(ExtensionQuery&&) noexcept;
  ExtensionQuery& operator=(ExtensionQuery&&) noexcept;
  /// Closes the extension's input so it ends, and reaps it.
  ~ExtensionQuery();

  /// The extension's first widget, as `initialize` declared it.
  const WidgetDescription& widget() const;

  /// The widget's placeholder entry for `family`.
  platform::foundation::Expected<ViewEntry, std::string> placeholder(
      platform::widgets::WidgetFamily family);
  /// The widget's timeline for `family`.
  platform::foundation::Expected<ViewTimeline, std::string> timeline(
      platform::widgets::WidgetFamily family);

 private:
  struct Connection;
  explicit ExtensionQuery(std::unique_ptr<Connection> connection);

  std::unique_ptr<Connection> connection_;
};

}  // namespace velto::host::live
