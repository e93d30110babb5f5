#include "platform/ui/archive.hpp"

#include <string>
#include <utility>

#include "platform/foundation/json_parse.hpp"
#include "platform/ui/internal/archive_reader.hpp"
#include "platform/ui/internal/archive_writer.hpp"

namespace platform::ui {

using foundation::Expected;
using foundation::Unexpected;
using nlohmann::json;
using Code = ArchiveError::Code;

std::string_view name(ArchiveError::Code code) {
  switch (code) {
    case Code::syntax:
      return "syntax";
    case Code::duplicateKey:
      return "duplicateKey";
    case Code::tooDeep:
      return "tooDeep";
    case Code::unsupportedVersion:
      return "unsupportedVersion";
    case Code::wrongType:
      return "wrongType";
    case Code::missingField:
      return "missingField";
    case Code::unknownField:
      return "unknownField";
    case Code::unknownType:
      return "unknownType";
    case Code::invalidValue:
      return "invalidValue";
    case Code::outOfRange:
      return "outOfRange";
  }
  return "?";
}

std::ostream& operator<<(std::ostream& out, const ArchiveError& error) {
  return out << name(error.code) << " at \"" << error.path << "\": " << error.message;
}

json archive(const View& view) {
  return {{"version", kArchiveVersion}, {"root", internal::writeView(view)}};
}

std::string archiveText(const View& view) {
  return archive(view).dump();
}

Expected<View, ArchiveError> unarchive(const json& archive) {
  return internal::readDocument(archive);
}

Expected<View, ArchiveError> parseArchive(std::string_view text) {
  const auto document = foundation::parseJson(text, {kMaxArchiveText, kMaxJsonDepth});
  if (!document) {
    using ParseCode = foundation::JsonParseError::Code;
    const Code code = [&] {
      switch (document.error().code) {
        case ParseCode::tooDeep:
          return Code::tooDeep;
        case ParseCode::duplicateKey:
          return Code::duplicateKey;
        case ParseCode::tooLarge:
        case ParseCode::nulByte:
        case ParseCode::syntax:
          return Code::syntax;
      }
      return Code::syntax;
    }();
    return Unexpected(ArchiveError{code, "", document.error().message});
  }
  return unarchive(*document);
}

}  // namespace platform::ui
