#include "version_numbers.h"

#include "../host/parameters.h"

static int IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

/* The decimal value of the text at `s`: leading blanks, one optional sign,
 * then digits up to the first non-digit, accumulated modulo 2^32 and read
 * as a signed 32-bit number. Text without digits there is worth 0. */
static int32_t DecimalValue(const char *s)
{
    while (IsBlank(*s))
        s++;
    int negative = *s == '-';
    if (*s == '-' || *s == '+')
        s++;
    uint32_t value = 0;
    while (IsDigit(*s))
        value = value * 10u + (uint32_t)(*s++ - '0');
    if (negative)
        value = 0u - value;
    return (int32_t)value;
}

/* Position just past the component that starts at `token`: past any
 * non-digits, then the digits, then one separator character. */
static const char *SkipComponent(const char *token, const char **separator)
{
    const char *p = token;
    while (*p != '\0' && !IsDigit(*p))
        p++;
    while (IsDigit(*p))
        p++;
    *separator = p;
    return *p != '\0' ? p + 1 : p;
}

/* The value read from the token start stops at the separator without help:
 * the separator is the first non-digit after the token's first digits, so
 * writing a terminator there changes no value. */
int32_t ScanVersionNumber(const char **cursor)
{
    const char *token = *cursor;
    if (*token == '\0')
        return 0;
    const char *separator;
    *cursor = SkipComponent(token, &separator);
    return DecimalValue(token);
}

int32_t NextVersionNumber(char **cursor)
{
    char *token = *cursor;
    if (*token == '\0')
        return 0;
    const char *separator;
    *cursor = (char *)SkipComponent(token, &separator);
    if (*separator != '\0')
        token[separator - token] = '\0';
    return DecimalValue(token);
}

/* ScanVersionNumber with a short road for the usual component, digits
 * right at the cursor. */
static int32_t ScanComponent(const char **cursor)
{
    const char *p = *cursor;
    if (!IsDigit(*p))
        return ScanVersionNumber(cursor);
    uint32_t value = 0;
    do
        value = value * 10u + (uint32_t)(*p++ - '0');
    while (IsDigit(*p));
    if (*p != '\0')
        p++;
    *cursor = p;
    return (int32_t)value;
}

/* Where the components of two strings can first differ. Within a common
 * prefix both strings split alike: a component ends after the first
 * non-digit that follows its digits, so every digit followed by a non-digit
 * marks the start of the next component. Components that end inside the
 * prefix are equal; comparing starts with the one the prefix ends in. */
static size_t SkipEqualComponents(const char *first, const char *second, int32_t *position)
{
    size_t start = 0;
    for (size_t i = 0; first[i] == second[i] && first[i] != '\0'; i++) {
        if (i > 0 && !IsDigit(first[i]) && IsDigit(first[i - 1])) {
            start = i + 1;
            ++*position;
        }
    }
    return start;
}

int32_t CompareVersionStrings(const char *first, const char *second)
{
    int32_t position = 1;
    size_t start = SkipEqualComponents(first, second, &position);
    first += start;
    second += start;
    while (*first != '\0' || *second != '\0') {
        int32_t x = ScanComponent(&first);
        int32_t y = ScanComponent(&second);
        if (x != y) {
            int32_t difference = (int32_t)((uint32_t)x - (uint32_t)y);
            return difference < 0 ? -position : position;
        }
        position++;
    }
    return 0;
}

int FormatDecimal(int32_t value, char *out)
{
    char digits[10];
    int count = 0;
    uint32_t magnitude = value < 0 ? 0u - (uint32_t)value : (uint32_t)value;
    do {
        digits[count++] = (char)('0' + magnitude % 10u);
        magnitude /= 10u;
    } while (magnitude != 0);
    int length = 0;
    if (value < 0)
        out[length++] = '-';
    while (count > 0)
        out[length++] = digits[--count];
    out[length] = '\0';
    return length;
}
