// Conversion between UTF-16 and code page 1252 as Wine 8 converts for
// CP_ACP in a U.S. English setup.
#ifndef QV_READER_CP1252_H
#define QV_READER_CP1252_H

#include <cstdint>

namespace qv::reader {

// The byte WideCharToMultiByte(CP_ACP, 0) gives for one code unit: the
// best-fit byte, or '?' when there is none.
uint8_t Cp1252FromUtf16(uint16_t unit);

// The code unit MultiByteToWideChar(CP_ACP, 0) gives for one byte.
uint16_t Utf16FromCp1252(uint8_t byte);

} // namespace qv::reader

#endif
