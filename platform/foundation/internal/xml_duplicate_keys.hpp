#pragma once

#include <string_view>

namespace platform::foundation::internal {

/// Whether some <dict> of an XML property list names one key twice. libplist
/// keeps only the last of two equal keys, other readers the first, so such a file
/// has no one meaning. Keys are compared after entity and CDATA decoding. Meant for
/// text that libplist has already parsed; on text it could not parse the answer is
/// of no use.
bool xmlPlistHasDuplicateKey(std::string_view xml);

}  // namespace platform::foundation::internal
