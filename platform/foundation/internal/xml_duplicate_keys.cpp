#include "platform/foundation/internal/xml_duplicate_keys.hpp"

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace platform::foundation::internal {

namespace {

void appendUtf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

// The text of one element's content: entities and character references
// decoded, CDATA sections taken as they stand.
std::string decodeText(std::string_view raw) {
  std::string out;
  std::size_t i = 0;
  while (i < raw.size()) {
    if (raw.substr(i).starts_with("<![CDATA[")) {
      const std::size_t end = raw.find("]]>", i + 9);
      const std::size_t stop = end == std::string_view::npos ? raw.size() : end;
      out.append(raw.substr(i + 9, stop - (i + 9)));
      i = end == std::string_view::npos ? raw.size() : end + 3;
    } else if (raw[i] == '&') {
      const std::size_t end = raw.find(';', i);
      const std::string_view name =
          raw.substr(i + 1, end == std::string_view::npos ? 0 : end - i - 1);
      std::optional<std::uint32_t> code;
      if (name == "amp") {
        code = '&';
      } else if (name == "lt") {
        code = '<';
      } else if (name == "gt") {
        code = '>';
      } else if (name == "quot") {
        code = '"';
      } else if (name == "apos") {
        code = '\'';
      } else if (name.size() > 1 && name[0] == '#') {
        const bool hex = name[1] == 'x' || name[1] == 'X';
        std::uint32_t value = 0;
        bool valid = name.size() > (hex ? 2u : 1u);
        for (const char c : name.substr(hex ? 2 : 1)) {
          const int digit = c >= '0' && c <= '9'          ? c - '0'
                            : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                            : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                          : -1;
          if (digit < 0 || value > 0x10FFFF) {
            valid = false;
            break;
          }
          value = value * (hex ? 16u : 10u) + static_cast<std::uint32_t>(digit);
        }
        if (valid && value <= 0x10FFFF) {
          code = value;
        }
      }
      if (code) {
        appendUtf8(out, *code);
        i = end + 1;
      } else {
        out.push_back('&');
        ++i;
      }
    } else {
      out.push_back(raw[i]);
      ++i;
    }
  }
  return out;
}

}  // namespace

bool xmlPlistHasDuplicateKey(std::string_view xml) {
  // One set of keys per open <dict>; an open <array> stands as an empty slot so
  // that a <key> inside it, which no valid list holds, counts for no dictionary.
  std::vector<std::optional<std::set<std::string>>> open;
  std::size_t i = 0;
  while ((i = xml.find('<', i)) != std::string_view::npos) {
    const std::string_view rest = xml.substr(i);
    const auto skipPast = [&](std::string_view end) {
      const std::size_t at = xml.find(end, i);
      i = at == std::string_view::npos ? xml.size() : at + end.size();
    };
    if (rest.starts_with("<!--")) {
      skipPast("-->");
      continue;
    }
    if (rest.starts_with("<![CDATA[")) {
      skipPast("]]>");
      continue;
    }
    const std::size_t close = xml.find('>', i);
    if (close == std::string_view::npos) {
      return false;
    }
    std::string_view tag = xml.substr(i + 1, close - i - 1);
    i = close + 1;
    const bool selfClosing = tag.ends_with('/');
    const bool closing = tag.starts_with('/');
    if (closing) {
      tag.remove_prefix(1);
    }
    const std::size_t nameEnd = tag.find_first_of(" \t\r\n/");
    const std::string_view name = tag.substr(0, nameEnd);
    if (name == "dict" || name == "array") {
      if (closing) {
        if (!open.empty()) {
          open.pop_back();
        }
      } else if (!selfClosing) {
        open.emplace_back(name == "dict" ? std::optional<std::set<std::string>>(std::in_place)
                                         : std::nullopt);
      }
    } else if (name == "key" && !closing && !selfClosing) {
      // The content runs to the first </key> that is not inside a CDATA section.
      std::size_t end = i;
      for (;;) {
        const std::size_t tagAt = xml.find("</key", end);
        const std::size_t cdataAt = xml.find("<![CDATA[", end);
        if (tagAt == std::string_view::npos) {
          return false;
        }
        if (cdataAt != std::string_view::npos && cdataAt < tagAt) {
          const std::size_t cdataEnd = xml.find("]]>", cdataAt);
          if (cdataEnd == std::string_view::npos) {
            return false;
          }
          end = cdataEnd + 3;
          continue;
        }
        end = tagAt;
        break;
      }
      const std::string key = decodeText(xml.substr(i, end - i));
      i = end;
      if (!open.empty() && open.back() && !open.back()->insert(key).second) {
        return true;
      }
    }
  }
  return false;
}

}  // namespace platform::foundation::internal
