#pragma once

// The lines of a key file as GKeyFile reads them, with their numbers: GKeyFile
// keeps no line numbers and merges repeated groups and keys, so the checks that
// need either look here.

#include <string_view>
#include <vector>

namespace velto::host::placements::internal {

struct KeyFileLine {
  enum class Kind {
    /// `[NAME]`; `name` is NAME.
    group,
    /// `KEY = VALUE`; `name` is KEY without the spaces around it.
    key,
    /// Neither a group, a key nor a comment: GKeyFile refuses the file.
    unreadable,
  };
  Kind kind;
  /// 1-based.
  int number;
  std::string_view name;
  /// The line from its first non-space character, without the line break.
  std::string_view text;
};

/// Every line of `text` but blank lines and comments, in order; the views point
/// into `text`.
std::vector<KeyFileLine> keyFileLines(std::string_view text);

}  // namespace velto::host::placements::internal
