/* Conversion between UTF-16 and code page 1252 as Wine 8 converts for
 * CP_ACP in a U.S. English setup. */
#ifndef QV_FILEINFO_CP1252_TABLE_H
#define QV_FILEINFO_CP1252_TABLE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct Cp1252Entry {
    uint16_t unit;
    uint8_t byte;
} Cp1252Entry;

/* The generated exceptions, sorted by unit (cp1252_table.c). */
extern const Cp1252Entry kCp1252BestFit[];
extern const unsigned kCp1252BestFitCount;

/* The byte WideCharToMultiByte(CP_ACP, 0) gives for one code unit: the
 * best-fit byte, or '?' when there is none. */
uint8_t Cp1252FromUtf16(uint16_t unit);

/* The code unit MultiByteToWideChar(CP_ACP, 0) gives for one byte. */
uint16_t Utf16FromCp1252(uint8_t byte);

#ifdef __cplusplus
}
#endif

#endif
