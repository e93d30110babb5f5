#include "platform/foundation/json_text.hpp"

#include <nlohmann/json.hpp>

#include "platform/foundation/utf8.hpp"

namespace platform::foundation {

std::string jsonQuoted(std::string_view text) {
  return nlohmann::json(validUtf8(text)).dump();
}

}  // namespace platform::foundation
