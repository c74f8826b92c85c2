/* CompareVersionStrings on arbitrary pairs: it never modifies its inputs,
 * finds every string equal to itself, and gives for (b, a) the negation of
 * its result for (a, b), except where the first differing components are
 * exactly 2^31 apart (the sign of their difference is then the same both
 * ways). The input is split at its first zero byte. */
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "version/version_numbers.h"

/* 1 when the first differing components of a and b are 2^31 apart. */
static int DifferByHalfRange(const char *a, const char *b)
{
    while (*a != '\0' || *b != '\0') {
        int32_t x = ScanVersionNumber(&a);
        int32_t y = ScanVersionNumber(&b);
        if (x != y)
            return (uint32_t)x - (uint32_t)y == 0x80000000u;
    }
    return 0;
}

int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    char *a = malloc(size + 1);
    char *b = malloc(size + 1);
    const uint8_t *zero = memchr(data, 0, size);
    size_t first = zero ? (size_t)(zero - data) : size / 2;
    size_t second_start = zero ? first + 1 : first;
    memcpy(a, data, first);
    a[first] = '\0';
    memcpy(b, data + second_start, size - second_start);
    b[size - second_start] = '\0';
    /* A zero byte inside the second part ends it, as it would in C. */
    char *a_copy = strdup(a);
    char *b_copy = strdup(b);

    int32_t ab = CompareVersionStrings(a, b);
    int32_t ba = CompareVersionStrings(b, a);
    if (strcmp(a, a_copy) != 0 || strcmp(b, b_copy) != 0)
        abort(); /* an input was modified */
    if (CompareVersionStrings(a, a) != 0 || CompareVersionStrings(b, b) != 0)
        abort(); /* a string differs from itself */
    if (ab != -ba && !DifferByHalfRange(a, b))
        abort(); /* not antisymmetric */
    free(a);
    free(b);
    free(a_copy);
    free(b_copy);
    return 0;
}
