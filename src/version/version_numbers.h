// Reading dotted version strings number by number, and comparing them.
#ifndef QV_VERSION_VERSION_NUMBERS_H
#define QV_VERSION_VERSION_NUMBERS_H

#include <cstdint>
#include <string_view>

namespace qv::version {

// Reads the component at the front of `cursor` and advances the cursor past
// it and one separator character. An empty cursor gives 0 and stays put.
int32_t NextVersionNumber(std::string_view &cursor);

// 0 when equal, +k / -k when the first string is greater / smaller at the
// 1-based component k.
int32_t CompareVersionStrings(std::string_view first, std::string_view second);

} // namespace qv::version

#endif
