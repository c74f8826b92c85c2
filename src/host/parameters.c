#include "parameters.h"

#include <stdlib.h>
#include <string.h>

int IsBlank(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

/* Cuts trailing blanks from the `length` bytes at `s`, never below `s`. */
static void CutTrailingBlanks(char *s, size_t length)
{
    while (length > 0 && IsBlank(s[length - 1]))
        length--;
    s[length] = '\0';
}

char *TrimBlanks(char *s)
{
    char *start = s;
    while (IsBlank(*start))
        start++;
    size_t length = strlen(start);
    if (start != s)
        memmove(s, start, length + 1);
    CutTrailingBlanks(s, length);
    return s;
}

ParameterList *SplitParameter(const HostParamBlock *block, uint32_t *count)
{
    *count = 0;
    if (block == NULL || block->ParameterText == NULL)
        return NULL;
    size_t length = strlen(block->ParameterText);
    if (length > SIZE_MAX - sizeof(ParameterList) - 1)
        return NULL;
    /* One allocation: the slot array, then the private copy of the text. */
    ParameterList *list = malloc(sizeof(ParameterList) + length + 1);
    if (list == NULL)
        return NULL;
    char *text = (char *)(list + 1);
    memcpy(text, block->ParameterText, length + 1);
    memset(list->item, 0, sizeof list->item);

    /* Each item is the text between two commas, without blanks at either
     * end. Items start past their leading blanks instead of being moved down;
     * what they hold is the same. */
    uint32_t next = 1;
    char *piece = text;
    for (;;) {
        while (IsBlank(*piece))
            piece++;
        char *comma = strchr(piece, ',');
        size_t piece_length = comma ? (size_t)(comma - piece) : strlen(piece);
        CutTrailingBlanks(piece, piece_length);
        list->item[next++] = piece;
        if (comma == NULL || next == PARAMETER_SLOTS)
            break;
        piece = comma + 1;
    }
    *count = next;
    return list;
}

void FreeParameterList(ParameterList *list)
{
    free(list);
}
