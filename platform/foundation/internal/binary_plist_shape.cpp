#include "platform/foundation/internal/binary_plist_shape.hpp"

#include <algorithm>
#include <vector>

namespace platform::foundation::internal {

namespace {

constexpr std::size_t kHeaderSize = 8;
constexpr std::size_t kTrailerSize = 32;

using Failure = Unexpected<std::string>;

std::uint64_t readBigEndian(std::span<const std::uint8_t> bytes, std::size_t at,
                            std::size_t width) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < width; ++i) {
    value = (value << 8) | bytes[at + i];
  }
  return value;
}

// Where the trailer says the parts of the file are.
struct Layout {
  std::span<const std::uint8_t> bytes;
  std::size_t offsetSize = 0;
  std::size_t referenceSize = 0;
  std::uint64_t objectCount = 0;
  std::uint64_t topObject = 0;
  std::size_t tableAt = 0;  // the offset table; objects lie between the header and it
};

// One object as far as the tree's size is concerned.
struct Object {
  std::uint64_t size = 0;        // encoded bytes
  std::size_t referencesAt = 0;  // where the references to its children start
  std::uint64_t childCount = 0;  // a dictionary counts its keys and its values
};

Expected<Layout, std::string> readLayout(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kHeaderSize + 1 + kTrailerSize) {
    return Failure("binary property list too short");
  }
  const std::size_t trailerAt = bytes.size() - kTrailerSize;
  Layout layout;
  layout.bytes = bytes;
  layout.offsetSize = bytes[trailerAt + 6];
  layout.referenceSize = bytes[trailerAt + 7];
  layout.objectCount = readBigEndian(bytes, trailerAt + 8, 8);
  layout.topObject = readBigEndian(bytes, trailerAt + 16, 8);
  const std::uint64_t tableAt = readBigEndian(bytes, trailerAt + 24, 8);
  if (layout.offsetSize < 1 || layout.offsetSize > 8 || layout.referenceSize < 1
      || layout.referenceSize > 8) {
    return Failure("binary property list has an invalid integer size in its trailer");
  }
  if (tableAt < kHeaderSize + 1 || tableAt > trailerAt) {
    return Failure("binary property list has its offset table out of range");
  }
  layout.tableAt = static_cast<std::size_t>(tableAt);
  if (layout.objectCount == 0 || layout.topObject >= layout.objectCount
      || layout.objectCount > (trailerAt - layout.tableAt) / layout.offsetSize) {
    return Failure("binary property list has an invalid object count or top object");
  }
  return layout;
}

// Reads the object that the offset table lists at `index` (< objectCount).
Expected<Object, std::string> readObject(const Layout& layout, std::uint64_t index) {
  const std::span<const std::uint8_t> bytes = layout.bytes;
  const std::uint64_t offset =
      readBigEndian(bytes, layout.tableAt + static_cast<std::size_t>(index) * layout.offsetSize,
                    layout.offsetSize);
  if (offset < kHeaderSize || offset >= layout.tableAt) {
    return Failure("binary property list has an object offset out of range");
  }
  const auto at = static_cast<std::size_t>(offset);
  const std::size_t room = layout.tableAt - at;
  const unsigned marker = bytes[at];
  const unsigned type = marker >> 4;
  const unsigned info = marker & 0x0Fu;

  // A variable-size object keeps its count in the marker, or in an integer object right after it.
  const bool counted = type == 0x4 || type == 0x5 || type == 0x6 || type >= 0xA;
  std::size_t headerSize = 1;
  std::uint64_t count = counted ? info : 0;
  if (counted && info == 0x0Fu) {
    if (room < 2 || (bytes[at + 1] >> 4) != 0x1u || (bytes[at + 1] & 0x0Fu) > 3) {
      return Failure("binary property list has an invalid object length");
    }
    const std::size_t width = std::size_t{1} << (bytes[at + 1] & 0x0Fu);
    headerSize = 2 + width;
    if (headerSize > room) {
      return Failure("binary property list has an object that runs past its end");
    }
    count = readBigEndian(bytes, at + 2, width);
  }
  // Each counted element takes at least one byte, which also keeps the products below from
  // overflowing.
  if (count > room) {
    return Failure("binary property list has an object that runs past its end");
  }

  Object object;
  object.referencesAt = at + headerSize;
  switch (type) {
    case 0x0:  // null, false, true, fill
      if (info != 0x0 && info != 0x8 && info != 0x9 && info != 0xF) {
        return Failure("binary property list has an unknown object marker");
      }
      object.size = 1;
      break;
    case 0x1:  // integer of 2^info bytes
      if (info > 4) {
        return Failure("binary property list has an invalid integer");
      }
      object.size = 1 + (std::uint64_t{1} << info);
      break;
    case 0x2:  // real of 2^info bytes
      if (info < 2 || info > 3) {
        return Failure("binary property list has an invalid real");
      }
      object.size = 1 + (std::uint64_t{1} << info);
      break;
    case 0x3:  // date
      if (info != 3) {
        return Failure("binary property list has an invalid date");
      }
      object.size = 9;
      break;
    case 0x4:  // data
    case 0x5:  // ASCII string
      object.size = headerSize + count;
      break;
    case 0x6:  // UTF-16 string
      object.size = headerSize + 2 * count;
      break;
    case 0x8:  // UID of info + 1 bytes
      object.size = 2 + std::uint64_t{info};
      break;
    case 0xA:  // array
    case 0xC:  // set
      object.childCount = count;
      object.size = headerSize + count * layout.referenceSize;
      break;
    case 0xD:  // dictionary: keys, then values
      object.childCount = 2 * count;
      object.size = headerSize + 2 * count * layout.referenceSize;
      break;
    default:
      return Failure("binary property list has an unknown object marker");
  }
  if (object.size > room) {
    return Failure("binary property list has an object that runs past its end");
  }
  return object;
}

std::uint64_t childReference(const Layout& layout, const Object& object, std::uint64_t child) {
  return readBigEndian(layout.bytes,
                       object.referencesAt + static_cast<std::size_t>(child) * layout.referenceSize,
                       layout.referenceSize);
}

Failure tooDeep(const BinaryPlistLimits& limits) {
  return Failure("binary property list nested more than " + std::to_string(limits.depth)
                 + " levels deep");
}

struct Totals {
  std::uint64_t nodes = 0;
  std::uint64_t bytes = 0;
  std::size_t depth = 0;
};

}  // namespace

// Depth-first walk over the object graph with an explicit stack:
// 1. read the layout from the trailer and start at the top object;
// 2. descend into each unseen child, refusing an object already on the path (a cycle);
// 3. when an object's children are done, its totals are its own plus theirs, kept so
//    that a shared object is measured once and then counted once per reference;
// 4. stop as soon as any total passes its limit.
Expected<BinaryPlistShape, std::string> measureBinaryPlist(std::span<const std::uint8_t> bytes,
                                                           const BinaryPlistLimits& limits) {
  const auto layout = readLayout(bytes);
  if (!layout) {
    return Failure(layout.error());
  }
  enum class Mark : std::uint8_t { unseen, onPath, measured };
  std::vector<Mark> marks(static_cast<std::size_t>(layout->objectCount), Mark::unseen);
  std::vector<Totals> measured(marks.size());

  struct Frame {
    std::uint64_t index;
    Object object;
    std::uint64_t nextChild;
    Totals sum;  // depth holds the deepest child's depth
  };
  std::vector<Frame> path;

  auto enter = [&](std::uint64_t index) -> Expected<void, std::string> {
    if (path.size() >= limits.depth) {
      return tooDeep(limits);
    }
    const auto object = readObject(*layout, index);
    if (!object) {
      return Failure(object.error());
    }
    marks[static_cast<std::size_t>(index)] = Mark::onPath;
    path.push_back(Frame{index, *object, 0, Totals{1, object->size, 0}});
    return {};
  };
  auto add = [&](Totals& sum, const Totals& child) -> Expected<void, std::string> {
    sum.nodes += child.nodes;
    sum.bytes += child.bytes;
    sum.depth = std::max(sum.depth, child.depth);
    if (sum.nodes > limits.nodes) {
      return Failure("binary property list expands to more than " + std::to_string(limits.nodes)
                     + " objects");
    }
    if (sum.bytes > limits.bytes) {
      return Failure("binary property list expands to more than " + std::to_string(limits.bytes)
                     + " bytes");
    }
    return {};
  };

  if (auto entered = enter(layout->topObject); !entered) {
    return Failure(entered.error());
  }
  while (true) {
    Frame& frame = path.back();
    if (frame.nextChild < frame.object.childCount) {
      const std::uint64_t child = childReference(*layout, frame.object, frame.nextChild++);
      if (child >= layout->objectCount) {
        return Failure("binary property list has a reference out of range");
      }
      const auto slot = static_cast<std::size_t>(child);
      if (marks[slot] == Mark::onPath) {
        return Failure("binary property list contains itself");
      }
      const auto step = marks[slot] == Mark::unseen ? enter(child) : add(frame.sum, measured[slot]);
      if (!step) {
        return Failure(step.error());
      }
      continue;
    }
    Totals totals = frame.sum;
    totals.depth += 1;
    if (totals.depth > limits.depth) {
      return tooDeep(limits);
    }
    const auto slot = static_cast<std::size_t>(frame.index);
    path.pop_back();
    marks[slot] = Mark::measured;
    measured[slot] = totals;
    if (path.empty()) {
      return BinaryPlistShape{totals.depth, totals.nodes, totals.bytes};
    }
    if (auto added = add(path.back().sum, totals); !added) {
      return Failure(added.error());
    }
  }
}

}  // namespace platform::foundation::internal
