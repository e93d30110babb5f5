// Decoding arbitrary bytes must never crash, and whatever decodes must survive
// encode → decode unchanged.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "extension/model/snapshot_json.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velto::model;
  const auto decoded = decodeSnapshot(std::span<const std::uint8_t>(data, size));
  if (!decoded) {
    return 0;
  }
  // JSON cannot spell a non-finite number and the parser refuses overflow, so
  // every decoded snapshot must encode.
  const auto encoded = encodeSnapshot(*decoded);
  if (!encoded) {
    __builtin_trap();
  }
  const auto again = decodeSnapshot(std::string_view(*encoded));
  if (!again || !(*again == *decoded)) {
    __builtin_trap();
  }
  return 0;
}
