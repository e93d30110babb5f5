#pragma once

// The old home of the descriptor owner, kept only until its last user moves to
// platform/foundation/unique_fd.hpp; it adds no second owner.

#include "platform/foundation/unique_fd.hpp"

namespace platform::foundation::internal {

using UniqueFd = platform::foundation::UniqueFd;

}  // namespace platform::foundation::internal
