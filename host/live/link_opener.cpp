#include "host/live/link_opener.hpp"

#include <algorithm>

#include <gio/gio.h>

namespace velto::host::live {

std::optional<std::string> launchWithDesktop(const std::string& url) {
  GError* error = nullptr;
  if (g_app_info_launch_default_for_uri(url.c_str(), nullptr, &error)) {
    return std::nullopt;
  }
  std::string reason = error != nullptr ? error->message : "no handler";
  g_clear_error(&error);
  return reason;
}

LinkOpener::LinkOpener(GMainContext* context, Backend& backend, LaunchUri launch,
                       std::chrono::milliseconds statusFor)
    : backend_(backend), launch_(std::move(launch)), statusFor_(statusFor), clearStatus_(context) {}

bool LinkOpener::offers(std::string_view url) const {
  return std::find(offered_.begin(), offered_.end(), url) != offered_.end();
}

bool LinkOpener::open(std::string_view url) {
  if (!offers(url)) {
    showStatus("not on display: " + std::string(url));
    return false;
  }
  if (const auto failure = launch_(std::string(url))) {
    showStatus("cannot open " + std::string(url) + ": " + *failure);
    return false;
  }
  return true;
}

void LinkOpener::showStatus(std::string message) {
  for (char& c : message) {
    c = (c == '\n' || c == '\r') ? ' ' : c;
  }
  backend_.status(message);
  clearStatus_.start(statusFor_, [this] { backend_.status({}); });
}

}  // namespace velto::host::live
