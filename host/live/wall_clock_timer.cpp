#include "host/live/wall_clock_timer.hpp"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>

#include <glib-unix.h>
#include <sys/timerfd.h>
#include <unistd.h>

namespace velto::host::live {

using platform::foundation::Date;
using platform::foundation::Expected;
using platform::foundation::Unexpected;
using platform::foundation::UniqueFd;

namespace {

// The latest instant a timespec of 64-bit seconds holds with room to spare.
constexpr double kLatestUnixSeconds = 1e15;

timespec timespecOf(Date instant) {
  const double unixSeconds = std::clamp(instant.timeIntervalSince1970(), 0.0, kLatestUnixSeconds);
  const double whole = std::floor(unixSeconds);
  auto nanoseconds = static_cast<long>((unixSeconds - whole) * 1e9);
  nanoseconds = std::clamp(nanoseconds, 0L, 999'999'999L);
  // The epoch itself means "disarmed" to the kernel; one nanosecond later does not.
  if (whole == 0.0 && nanoseconds == 0) {
    nanoseconds = 1;
  }
  return timespec{static_cast<time_t>(whole), nanoseconds};
}

}  // namespace

Expected<std::unique_ptr<WallClockTimer>, std::string> WallClockTimer::create(GMainContext* context,
                                                                              Callback callback) {
  UniqueFd fd(::timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC));
  if (!fd) {
    return Unexpected(std::string("cannot make a wall-clock timer: ") + std::strerror(errno));
  }
  std::unique_ptr<WallClockTimer> timer(new WallClockTimer(std::move(fd), std::move(callback)));
  GSource* source = g_unix_fd_source_new(timer->fd_.get(), G_IO_IN);
  g_source_set_callback(source, G_SOURCE_FUNC(&WallClockTimer::dispatch), timer.get(), nullptr);
  timer->source_ = AttachedSource(source, context);
  return timer;
}

void WallClockTimer::arm(Date instant) {
  if (!std::isfinite(instant.timeIntervalSinceReferenceDate())) {
    disarm();
    return;
  }
  itimerspec setting{};
  setting.it_value = timespecOf(instant);
  ::timerfd_settime(fd_.get(), TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &setting, nullptr);
  armedFor_ = instant;
}

void WallClockTimer::disarm() {
  const itimerspec none{};
  ::timerfd_settime(fd_.get(), 0, &none, nullptr);
  armedFor_.reset();
}

gboolean WallClockTimer::dispatch(gint fd, GIOCondition /*condition*/, gpointer self) {
  auto& timer = *static_cast<WallClockTimer*>(self);
  std::uint64_t expirations = 0;
  const ssize_t got = ::read(fd, &expirations, sizeof expirations);
  if (got < 0 && errno == ECANCELED) {
    timer.armedFor_.reset();
    timer.callback_(WallClockEvent::clockChanged);
  } else if (got == static_cast<ssize_t>(sizeof expirations)) {
    timer.armedFor_.reset();
    timer.callback_(WallClockEvent::due);
  }
  // Anything else (EAGAIN after a re-arm raced the wake-up) waits for the next one.
  return G_SOURCE_CONTINUE;
}

}  // namespace velto::host::live
