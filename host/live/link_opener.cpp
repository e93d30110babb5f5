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

LinkOpener::LinkOpener(GMainContext* context, LaunchUri launch, std::chrono::milliseconds statusFor)
    : launch_(std::move(launch)), statusFor_(statusFor), clearStatus_(context) {}

bool LinkOpener::offers(std::string_view url) const {
  return std::find(offered_.begin(), offered_.end(), url) != offered_.end();
}

bool LinkOpener::open(std::string_view url, Backend& from) {
  if (!offers(url)) {
    showStatus(from, "not on display: " + std::string(url));
    return false;
  }
  if (const auto failure = launch_(std::string(url))) {
    showStatus(from, "cannot open " + std::string(url) + ": " + *failure);
    return false;
  }
  return true;
}

void LinkOpener::showStatus(Backend& backend, std::string message) {
  for (char& c : message) {
    c = (c == '\n' || c == '\r') ? ' ' : c;
  }
  if (statusOn_ != nullptr && statusOn_ != &backend) {
    statusOn_->status({});
  }
  statusOn_ = &backend;
  backend.status(message);
  clearStatus_.start(statusFor_, [this] {
    if (statusOn_ != nullptr) {
      statusOn_->status({});
      statusOn_ = nullptr;
    }
  });
}

void LinkOpener::forget(const Backend& backend) {
  if (statusOn_ == &backend) {
    statusOn_ = nullptr;
    clearStatus_.cancel();
  }
}

}  // namespace velto::host::live
