#pragma once

#include <ostream>
#include <string>

#include "platform/ui/view.hpp"

namespace platform::ui {

/// The tree as indented text, one element or modifier a line, in the platform's
/// spelling (`HStack(alignment: .center, spacing: nil)` then `  .frame(…)`), so
/// that a failing comparison shows where two trees differ.
std::string describe(const View& view);

std::ostream& operator<<(std::ostream& out, const View& view);

}  // namespace platform::ui
