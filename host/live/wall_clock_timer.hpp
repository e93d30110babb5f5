#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <glib.h>

#include "host/live/glib_source.hpp"
#include "platform/foundation/date.hpp"
#include "platform/foundation/expected.hpp"
#include "platform/foundation/unique_fd.hpp"

namespace velto::host::live {

/// Why a WallClockTimer called back.
enum class WallClockEvent {
  /// The instant it was armed for has passed on the wall clock.
  due,
  /// The wall clock was set or jumped (a resume from suspend, a clock change):
  /// every wall-clock deadline needs computing anew.
  clockChanged,
};

/// A timer for instants that people see (a reload date, the next second of a
/// readout). It follows the real-time clock, so a suspend or a clock change
/// neither delays nor skips what is due, and it tells of such changes at once.
/// Silent while disarmed: it costs no wake-up.
class WallClockTimer {
 public:
  using Callback = std::function<void(WallClockEvent)>;

  /// A disarmed timer on `context`; fails when the kernel refuses a timerfd.
  static platform::foundation::Expected<std::unique_ptr<WallClockTimer>, std::string> create(
      GMainContext* context, Callback callback);

  WallClockTimer(const WallClockTimer&) = delete;
  WallClockTimer& operator=(const WallClockTimer&) = delete;
  ~WallClockTimer() = default;

  /// Calls back once `instant` has passed (at once when it already has);
  /// replaces any earlier instant. A non-finite instant disarms.
  void arm(platform::foundation::Date instant);
  void disarm();
  std::optional<platform::foundation::Date> armedFor() const { return armedFor_; }

 private:
  WallClockTimer(platform::foundation::UniqueFd fd, Callback callback)
      : fd_(std::move(fd)), callback_(std::move(callback)) {}
  static gboolean dispatch(gint fd, GIOCondition condition, gpointer self);

  platform::foundation::UniqueFd fd_;
  Callback callback_;
  AttachedSource source_;
  std::optional<platform::foundation::Date> armedFor_;
};

}  // namespace velto::host::live
