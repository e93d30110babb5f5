#include "extension/format/duration_text.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>

namespace velto::format {

namespace {

// 2^63 as a double: the first whole value that no int64 holds.
constexpr double kInt64End = 9223372036854775808.0;

enum class Whole { positive, zeroOrLess, unrepresentable };

// Sorts an already whole-valued double into what the texts distinguish; every
// value at or below zero, −∞ and values below −2^63 included, reads as zero.
Whole classify(double whole) {
  if (std::isnan(whole) || whole >= kInt64End) {
    return Whole::unrepresentable;
  }
  return whole > 0.0 ? Whole::positive : Whole::zeroOrLess;
}

void appendDecimal(std::string& text, std::int64_t value, int minimumDigits = 1) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  for (auto length = result.ptr - digits; length < minimumDigits; ++length) {
    text.push_back('0');
  }
  text.append(digits, result.ptr);
}

}  // namespace

std::string veltoClockText(double seconds) {
  const double whole = std::floor(seconds);
  std::int64_t total = 0;
  switch (classify(whole)) {
    case Whole::unrepresentable:
      return "--:--:--";
    case Whole::zeroOrLess:
      break;
    case Whole::positive:
      total = static_cast<std::int64_t>(whole);
      break;
  }
  const std::int64_t hours = total / 3600;
  const std::int64_t minutes = (total - hours * 3600) / 60;
  std::string text;
  text.reserve(12);
  appendDecimal(text, hours, 2);
  text.push_back(':');
  appendDecimal(text, minutes, 2);
  text.push_back(':');
  appendDecimal(text, total % 60, 2);
  return text;
}

std::string veltoCompactText(double seconds) {
  const double whole = std::trunc(seconds);
  std::int64_t n = 0;
  switch (classify(whole)) {
    case Whole::unrepresentable:
      return "--";
    case Whole::zeroOrLess:
      break;
    case Whole::positive:
      n = static_cast<std::int64_t>(whole);
      break;
  }
  const std::int64_t wholeMinutes = n / 60;
  std::string text;
  text.reserve(12);
  if (n >= 3600) {
    appendDecimal(text, wholeMinutes / 60);
    text.append("h ");
  }
  appendDecimal(text, wholeMinutes % 60);
  text.push_back('m');
  return text;
}

}  // namespace velto::format
