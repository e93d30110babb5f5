#pragma once

#include <string_view>

#include "platform/foundation/expected.hpp"

namespace platform::foundation {

/// Writes every byte to `fd`, going on after short writes and EINTR. Fails with
/// the errno of the first other error; EAGAIN on a non-blocking descriptor is such
/// an error, left for the caller to wait on. Bytes written before a failure stay.
Expected<void, int> writeAll(int fd, std::string_view bytes);

}  // namespace platform::foundation
