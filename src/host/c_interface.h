/* The host layer and decimal formatting as the library's C files call them:
 * the parameter items as terminated copies, and plain C strings. */
#ifndef QV_HOST_C_INTERFACE_H
#define QV_HOST_C_INTERFACE_H

#include <stdint.h>

#include "qvsetup.h"

#ifdef __cplusplus
extern "C" {
#endif

#define PARAMETER_SLOTS 64

/* item[0] is always null; the trimmed items stand in item[1] .. item[63], in
 * the order of the text, each terminated, in the same allocation. */
typedef struct ParameterCopy {
    char *item[PARAMETER_SLOTS];
} ParameterCopy;

/* The items of block->ParameterText; *count is the number of items plus one,
 * as in the C++ list. A null block, a null text or a failed allocation give
 * no copy and count 0. Pair with FreeParameterCopy (null is ignored). */
ParameterCopy *CopyParameters(const HostParamBlock *block, uint32_t *count);
void FreeParameterCopy(ParameterCopy *copy);

/* SetVariable with a terminated name and value. */
void SetVariableText(HostParamBlock *block, const char *name, const char *value);

/* Writes `value` as "%d" does, terminated, into `out`, which must hold the
 * text and its terminator (12 bytes hold any value); returns the number of
 * characters written. */
int FormatDecimalText(int32_t value, char *out);

#ifdef __cplusplus
}
#endif

#endif
