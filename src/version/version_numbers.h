/* Reading dotted version strings number by number, and comparing them. */
#ifndef QV_VERSION_NUMBERS_H
#define QV_VERSION_NUMBERS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Reads the component at *cursor and advances past it and one separator.
 * The separator is overwritten with a terminator, so the text must be a
 * modifiable working copy. At the terminator it returns 0 and stays put. */
int32_t NextVersionNumber(char **cursor);

/* Same reading without writing: advances a read-only cursor. */
int32_t ScanVersionNumber(const char **cursor);

/* 0 when equal, +k / -k when the first string is greater / smaller at the
 * 1-based component k. Neither string is modified. */
int32_t CompareVersionStrings(const char *first, const char *second);

/* Writes `value` as signed decimal text ("%d") into `out`, which must hold
 * at least 12 bytes; returns the number of characters written. */
int FormatDecimal(int32_t value, char *out);

#ifdef __cplusplus
}
#endif

#endif
