#include "host/live/timeout.hpp"

#include <algorithm>
#include <limits>
#include <utility>

namespace velto::host::live {

void Timeout::start(std::chrono::milliseconds delay, std::function<void()> fire) {
  cancel();
  fire_ = std::move(fire);
  const auto milliseconds = static_cast<guint>(std::clamp<std::chrono::milliseconds::rep>(
      delay.count(), 0, std::numeric_limits<guint>::max()));
  GSource* source = g_timeout_source_new(milliseconds);
  g_source_set_callback(source, &Timeout::dispatch, this, nullptr);
  source_ = AttachedSource(source, context_);
}

void Timeout::cancel() {
  source_.reset();
  fire_ = nullptr;
}

gboolean Timeout::dispatch(gpointer self) {
  auto& timeout = *static_cast<Timeout*>(self);
  auto fire = std::move(timeout.fire_);
  timeout.source_.reset();
  if (fire) {
    fire();
  }
  return G_SOURCE_REMOVE;
}

}  // namespace velto::host::live
