/* Splitting the parameter text into comma-separated, trimmed items. */
#ifndef QV_HOST_PARAMETERS_H
#define QV_HOST_PARAMETERS_H

#include <stdint.h>

#include "qvsetup.h"

#ifdef __cplusplus
extern "C" {
#endif

#define PARAMETER_SLOTS 64

/* item[0] is always null; items stand in item[1] .. item[63], in the order
 * of the text. They point into a private copy of the text that lives in the
 * same allocation. */
typedef struct ParameterList {
    char *item[PARAMETER_SLOTS];
} ParameterList;

/* Splits block->ParameterText at every comma and trims each item. Returns the
 * list and sets *count to the number of items plus one (the first free slot):
 * 2 for one item, 3 for two. A null block, a null text or a failed allocation
 * give no list and count 0. Text after the 63rd item is dropped. The caller's
 * text is never modified. */
ParameterList *SplitParameter(const HostParamBlock *block, uint32_t *count);

/* Releases a list from SplitParameter; null is ignored. */
void FreeParameterList(ParameterList *list);

/* Removes leading and trailing ASCII white space from `s` in place and
 * returns `s`. */
char *TrimBlanks(char *s);

/* Space, tab, line feed, vertical tab, form feed, carriage return. */
int IsBlank(char c);

#ifdef __cplusplus
}
#endif

#endif
