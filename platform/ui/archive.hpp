#pragma once

// The JSON form of a view tree, in which the host receives it. docs/protocol.md
// ("View archive") describes the format field by field.

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "platform/foundation/expected.hpp"
#include "platform/ui/view.hpp"

namespace platform::ui {

/// The format version that archive() writes and unarchive() accepts.
inline constexpr int kArchiveVersion = 1;

/// The deepest tree an archive may hold. The root is at level 1; a stack's
/// children, a link's label and a background's content are one level below
/// the view that holds them.
inline constexpr int kMaxViewDepth = 64;

/// The deepest nesting of JSON arrays and objects that parseArchive() reads.
/// A tree of kMaxViewDepth levels needs at most 194.
inline constexpr int kMaxJsonDepth = 256;

/// The longest archive text that parseArchive() reads: one message line's worth.
inline constexpr std::size_t kMaxArchiveText = 1024 * 1024;

/// No length, coordinate, spacing or tracking in an archive is larger than this in magnitude.
inline constexpr double kMaxMagnitude = 1'000'000.0;

/// Why an archive could not be read.
struct ArchiveError {
  enum class Code : std::uint8_t {
    syntax,        // not JSON text, or text holding a NUL byte
    duplicateKey,  // an object names one key twice
    tooDeep,       // deeper than kMaxJsonDepth or kMaxViewDepth, or longer than kMaxArchiveText
    unsupportedVersion,  // a version other than kArchiveVersion
    wrongType,           // a value of the wrong JSON type
    missingField,        // a required field is absent
    unknownField,        // a field this version does not define
    unknownType,         // an element, modifier or text kind this version does not define
    invalidValue,        // a name outside its set, a malformed URL, a string that is not UTF-8
    outOfRange,          // a number outside its field's range
  };

  Code code;
  /// JSON pointer (RFC 6901) to the offending value, or to where a missing field
  /// belongs; empty for the whole text or document.
  std::string path;
  /// One line, for a person.
  std::string message;

  friend bool operator==(const ArchiveError&, const ArchiveError&) = default;
};

/// The code's name as spelled in the enumeration ("tooDeep", …).
std::string_view name(ArchiveError::Code code);
std::ostream& operator<<(std::ostream& out, const ArchiveError& error);

/// The archive of `view`: `{"version": 1, "root": …}`. It never fails and never
/// holds a number that is not finite or a string that is not UTF-8: numbers
/// are clamped into their field's range (NaN becomes 0, or null where the field
/// is optional; an optional length that is not finite becomes null), a line
/// limit below 1 becomes 1, and each invalid UTF-8 byte becomes U+FFFD. Every
/// tree within kMaxViewDepth therefore reads back; one whose numbers were all in
/// range reads back equal.
nlohmann::json archive(const View& view);

/// archive() as compact JSON text (no spaces, keys in sorted order).
std::string archiveText(const View& view);

/// The tree of an archive document. Never throws.
foundation::Expected<View, ArchiveError> unarchive(const nlohmann::json& archive);

/// The tree of an archive's JSON text, refusing text that nests deeper than
/// kMaxJsonDepth before building anything that deep. Never throws.
foundation::Expected<View, ArchiveError> parseArchive(std::string_view text);

}  // namespace platform::ui
