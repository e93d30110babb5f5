#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <glib.h>

#include "host/live/timeout.hpp"
#include "host/scene/backend.hpp"

namespace velto::host::live {

/// Hands a URL to the desktop's handler for its scheme; a failure comes back as
/// a one-line reason.
using LaunchUri = std::function<std::optional<std::string>(const std::string& url)>;

/// Opens the URL with GIO's default handler for its scheme, never a shell.
std::optional<std::string> launchWithDesktop(const std::string& url);

/// Opens deep links on behalf of a person, but only those that a tree on
/// display offers. A refusal or a failure shows for a few seconds on the status
/// line of the backend clicked on.
class LinkOpener {
 public:
  explicit LinkOpener(GMainContext* context, LaunchUri launch = launchWithDesktop,
                      std::chrono::milliseconds statusFor = std::chrono::seconds(4));

  /// The links of every scene now on display.
  void offer(std::vector<std::string> links) { offered_ = std::move(links); }
  /// Whether the tree on display carries `url`.
  bool offers(std::string_view url) const;
  /// Opens `url` when offered; true when the handler took it. `from` shows a failure.
  bool open(std::string_view url, Backend& from);
  /// `backend` goes away: its status line is not touched again.
  void forget(const Backend& backend);

 private:
  /// Shows `message` on `backend`'s status line for a few seconds.
  void showStatus(Backend& backend, std::string message);

  Backend* statusOn_ = nullptr;
  LaunchUri launch_;
  std::chrono::milliseconds statusFor_;
  std::vector<std::string> offered_;
  Timeout clearStatus_;
};

}  // namespace velto::host::live
