// Three-part versions in four-part form: a.b.c -> a.b.0.c.
#ifndef QV_VERSION_NORMALIZE_H
#define QV_VERSION_NORMALIZE_H

#include <array>
#include <cstddef>
#include <string_view>

#include "text/text.h"

namespace qv::version {

// "a.b.0.c": three numbers of at most 11 characters and four more.
struct NormalizedVersion {
    std::array<char, 4 * text::kDecimalSize> buffer;
    std::size_t length = 0;

    std::string_view text() const { return {buffer.data(), length}; }
};

// Reads three numbers from `value` and, when nothing follows the third and
// its separator, writes them as "a.b.0.c" into `out` and returns true. A
// fourth component (or any other text left) means the value is already in
// four-part form or not one to rewrite: false.
bool NormalizeVersion(std::string_view value, NormalizedVersion &out);

} // namespace qv::version

#endif
