/* Reading and writing script variables in the host's table. */
#ifndef QV_HOST_VARIABLES_H
#define QV_HOST_VARIABLES_H

#include <stddef.h>

#include "qvsetup.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Key buffer: '%', the name (at most 29 characters), '%', terminator. */
#define VARIABLE_KEY_SIZE 32

/* Copies the value of variable `name` into `out` (`out_size` bytes, cut to
 * fit and always terminated when out_size > 0). A missing variable, a null
 * block or a name too long for a key gives "". */
void GetVariable(const HostParamBlock *block, const char *name, char *out, size_t out_size);

/* Gives variable `name` the value `value`: overwrites the first entry with
 * that key, or appends one when the table has room. A value longer than
 * ValueWidth - 1 bytes is cut to fit; a key that does not fit NameWidth is
 * never appended. Nothing is ever written outside a slot. */
void SetVariable(HostParamBlock *block, const char *name, const char *value);

#ifdef __cplusplus
}
#endif

#endif
