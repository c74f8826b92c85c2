// Reading and writing script variables in the host's table.
#ifndef QV_HOST_VARIABLES_H
#define QV_HOST_VARIABLES_H

#include <cstddef>
#include <span>
#include <string_view>

#include "qvsetup.h"

namespace qv::host {

// A variable's key is '%', the name, '%' and a terminator in at most this
// many bytes, so a name has at most 29 characters.
inline constexpr std::size_t kVariableKeySize = 32;

// Copies the value of variable `name` into `out`, cut to fit and terminated
// (when `out` has room for anything), and returns the text copied. A missing
// variable or a name too long for a key gives "".
std::string_view GetVariable(const HostParamBlock &block, std::string_view name,
                             std::span<char> out);

// Gives variable `name` the value `value`: overwrites the first entry with
// that key, or appends one when the table has room. A value longer than
// ValueWidth - 1 bytes is cut to fit; a key that does not fit NameWidth is
// never appended. Nothing is ever written outside a slot.
void SetVariable(HostParamBlock &block, std::string_view name, std::string_view value);

} // namespace qv::host

#endif
