#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "platform/foundation/expected.hpp"

namespace platform::foundation::internal {

/// The size of the tree that libplist builds from a binary property list. Its
/// parser copies an object once for every reference to it, so a small file whose
/// objects share children can stand for an exponentially large tree.
struct BinaryPlistShape {
  std::size_t depth = 0;    // objects on the longest path from the top object, itself included
  std::uint64_t nodes = 0;  // objects in the tree, each shared object counted once per reference
  std::uint64_t bytes = 0;  // encoded bytes of those objects, counted the same way
};

/// Bounds beyond which measureBinaryPlist stops and fails.
struct BinaryPlistLimits {
  std::size_t depth;
  std::uint64_t nodes;
  std::uint64_t bytes;
};

/// Measures the tree of the binary property list `bytes` (header "bplist00",
/// objects, offset table, 32-byte trailer) in time linear in its size, without
/// recursion. Fails with a reason when the structure is inconsistent (trailer,
/// offsets or references out of range, unknown markers, a cycle) or when the tree
/// passes one of `limits`.
Expected<BinaryPlistShape, std::string> measureBinaryPlist(std::span<const std::uint8_t> bytes,
                                                           const BinaryPlistLimits& limits);

}  // namespace platform::foundation::internal
