#include "host/backends/terminal/plain_line.hpp"

#include "host/backends/terminal/text_cells.hpp"

namespace velto::host::terminal {

namespace {

/// `text` with every run of spaces one space and none at its ends.
std::string squeezed(std::string_view text) {
  std::string out;
  bool blank = false;
  for (const char c : text) {
    if (c == ' ') {
      blank = !out.empty();
      continue;
    }
    if (blank) {
      out += ' ';
      blank = false;
    }
    out += c;
  }
  return out;
}

void appendPart(std::string& line, std::string_view separator, const std::string& part) {
  if (part.empty()) {
    return;
  }
  if (!line.empty()) {
    line += separator;
  }
  line += part;
}

}  // namespace

std::string plainLine(const CellGrid& widget, std::string_view status) {
  std::string line;
  for (int row = 0; row < widget.size().rows; ++row) {
    std::string text;
    for (int column = 0; column < widget.size().columns; ++column) {
      text += widget.at(column, row).glyph;
    }
    appendPart(line, " | ", squeezed(text));
  }
  std::string cleanStatus;
  forEachGlyph(status, [&cleanStatus](std::string_view glyph, int) { cleanStatus += glyph; });
  appendPart(line, " - ", squeezed(cleanStatus));
  return line;
}

}  // namespace velto::host::terminal
