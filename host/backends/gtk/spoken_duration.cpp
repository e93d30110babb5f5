#include "host/backends/gtk/spoken_duration.hpp"

#include <charconv>

namespace velto::host::gtk {
namespace {

/// The number that `text` consists of entirely, all digits; none past 10^12.
std::optional<std::int64_t> wholeNumber(std::string_view text) {
  constexpr std::size_t kMaxDigits = 12;
  if (text.empty() || text.size() > kMaxDigits) {
    return std::nullopt;
  }
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size() || text.front() == '-'
      || text.front() == '+') {
    return std::nullopt;
  }
  return value;
}

void addUnit(std::string& words, std::int64_t count, std::string_view unit) {
  if (!words.empty()) {
    words += ' ';
  }
  words += std::to_string(count);
  words += ' ';
  words += unit;
  if (count != 1) {
    words += 's';
  }
}

}  // namespace

std::optional<std::int64_t> clockSeconds(std::string_view text) {
  const auto second = text.rfind(':');
  const auto first = second == std::string_view::npos || second == 0 ? std::string_view::npos
                                                                     : text.rfind(':', second - 1);
  if (first == std::string_view::npos || second - first != 3 || text.size() - second != 3) {
    return std::nullopt;
  }
  const auto hours = wholeNumber(text.substr(0, first));
  const auto minutes = wholeNumber(text.substr(first + 1, 2));
  const auto seconds = wholeNumber(text.substr(second + 1, 2));
  if (!hours || !minutes || !seconds || *minutes > 59 || *seconds > 59) {
    return std::nullopt;
  }
  return *hours * 3600 + *minutes * 60 + *seconds;
}

std::optional<std::int64_t> compactSeconds(std::string_view text) {
  std::int64_t hours = 0;
  if (const auto h = text.find("h "); h != std::string_view::npos) {
    const auto parsed = wholeNumber(text.substr(0, h));
    if (!parsed) {
      return std::nullopt;
    }
    hours = *parsed;
    text.remove_prefix(h + 2);
  }
  if (!text.ends_with('m')) {
    return std::nullopt;
  }
  const auto minutes = wholeNumber(text.substr(0, text.size() - 1));
  if (!minutes || *minutes > 59) {
    return std::nullopt;
  }
  return hours * 3600 + *minutes * 60;
}

std::string spokenDuration(std::int64_t seconds, SpokenPrecision precision) {
  if (seconds < 0) {
    seconds = 0;
  }
  if (precision == SpokenPrecision::minutes && seconds < 60) {
    return "less than a minute";
  }
  std::string words;
  if (seconds >= 3600) {
    addUnit(words, seconds / 3600, "hour");
  }
  const std::int64_t minutes = seconds % 3600 / 60;
  const std::int64_t rest = seconds % 60;
  if (precision == SpokenPrecision::minutes) {
    if (minutes > 0) {
      addUnit(words, minutes, "minute");
    }
    return words;
  }
  if (minutes > 0) {
    addUnit(words, minutes, "minute");
  }
  if (rest > 0 || words.empty()) {
    addUnit(words, rest, "second");
  }
  return words;
}

}  // namespace velto::host::gtk
