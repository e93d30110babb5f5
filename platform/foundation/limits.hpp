#pragma once

#include <cstddef>

namespace platform::foundation {

/// Largest domain file that is read or written at all, and so the largest value a
/// tool accepts as input for one. libplist 2.2 overflows its stack on deeply
/// nested binary lists near 900 KB and spends time quadratic in their depth; the
/// cap bounds the worst case.
inline constexpr std::size_t kMaxDomainFileSize = 64 * 1024;

}  // namespace platform::foundation
