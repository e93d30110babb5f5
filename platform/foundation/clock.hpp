#pragma once

#include <atomic>

#include "platform/foundation/date.hpp"

namespace platform::foundation {

/// The one source of "now". Code that needs the current time takes a Clock,
/// so that tests can run on a clock they set.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual Date now() const = 0;
};

/// The system's real-time clock.
class SystemClock final : public Clock {
 public:
  Date now() const override;

  /// The process's one system clock; it has no state, so sharing it is free.
  static const SystemClock& shared();
};

/// A clock that shows what the test sets. Each reading may advance it by a fixed
/// step, so a test can tell a first reading from a second one.
class TestClock final : public Clock {
 public:
  explicit TestClock(Date start = Date(), double stepPerReading = 0.0)
      : seconds_(start.timeIntervalSinceReferenceDate()), step_(stepPerReading) {}

  Date now() const override;
  void set(Date date) { seconds_.store(date.timeIntervalSinceReferenceDate()); }
  void advance(double seconds);
  int readings() const { return readings_.load(); }

 private:
  mutable std::atomic<double> seconds_;
  double step_;
  mutable std::atomic<int> readings_{0};
};

}  // namespace platform::foundation
