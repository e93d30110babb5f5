#include "host/placements/internal/key_file_lines.hpp"

namespace velto::host::placements::internal {

namespace {

// g_ascii_isspace, which GKeyFile trims with.
constexpr std::string_view kAsciiSpace = " \t\n\r\f\v";

std::string_view chug(std::string_view text) {
  const auto start = text.find_first_not_of(kAsciiSpace);
  return start == std::string_view::npos ? std::string_view() : text.substr(start);
}

std::string_view chomp(std::string_view text) {
  const auto end = text.find_last_not_of(kAsciiSpace);
  return end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1);
}

KeyFileLine classify(std::string_view line, int number) {
  // A group header is `[`, a name without `]`, `]` and nothing after but spaces and tabs.
  if (line.front() == '[') {
    const auto close = line.find(']');
    if (close != std::string_view::npos
        && line.find_first_not_of(" \t", close + 1) == std::string_view::npos) {
      return {KeyFileLine::Kind::group, number, line.substr(1, close - 1), line};
    }
  }
  const auto equals = line.find('=');
  if (equals != std::string_view::npos && equals > 0) {
    return {KeyFileLine::Kind::key, number, chomp(line.substr(0, equals)), line};
  }
  return {KeyFileLine::Kind::unreadable, number, {}, line};
}

}  // namespace

std::vector<KeyFileLine> keyFileLines(std::string_view text) {
  std::vector<KeyFileLine> lines;
  int number = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    const auto newline = text.find('\n', start);
    auto end = newline == std::string_view::npos ? text.size() : newline;
    // GKeyFile drops the carriage return of a CR LF line break, and only that.
    if (newline != std::string_view::npos && end > start && text[end - 1] == '\r') {
      --end;
    }
    ++number;
    const std::string_view line = chug(text.substr(start, end - start));
    start = newline == std::string_view::npos ? text.size() : newline + 1;
    if (!line.empty() && line.front() != '#') {
      lines.push_back(classify(line, number));
    }
  }
  return lines;
}

}  // namespace velto::host::placements::internal
