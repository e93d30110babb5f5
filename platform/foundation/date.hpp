#pragma once

#include <compare>

namespace platform::foundation {

/// Seconds between the Unix epoch and the reference instant 2001-01-01 00:00:00 UTC.
inline constexpr double kUnixSecondsAtReferenceDate = 978307200.0;

/// An absolute instant: seconds relative to 2001-01-01 00:00:00 UTC, negative before it.
/// Holds any double, non-finite values included; arithmetic follows IEEE-754.
class Date {
 public:
  constexpr Date() = default;
  constexpr explicit Date(double timeIntervalSinceReferenceDate)
      : seconds_(timeIntervalSinceReferenceDate) {}

  static constexpr Date fromUnixSeconds(double unixSeconds) {
    return Date(unixSeconds - kUnixSecondsAtReferenceDate);
  }

  constexpr double timeIntervalSinceReferenceDate() const { return seconds_; }
  constexpr double timeIntervalSince1970() const { return seconds_ + kUnixSecondsAtReferenceDate; }

  /// Seconds from `other` to this instant; negative when `other` is later.
  constexpr double timeIntervalSince(Date other) const { return seconds_ - other.seconds_; }
  constexpr Date addingTimeInterval(double seconds) const { return Date(seconds_ + seconds); }

  /// Exact comparison: equal only when both hold the same number of seconds.
  friend constexpr bool operator==(Date, Date) = default;
  friend constexpr std::partial_ordering operator<=>(Date a, Date b) {
    return a.seconds_ <=> b.seconds_;
  }

 private:
  double seconds_ = 0.0;
};

}  // namespace platform::foundation
