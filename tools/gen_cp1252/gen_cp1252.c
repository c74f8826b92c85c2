/* Prints how the system's ANSI code page converts every UTF-16 code unit:
 * one line "XXXX YY" per unit (hex), through WideCharToMultiByte(CP_ACP, 0)
 * with no default character given, as VerQueryValueA converts. Also prints
 * the conversion of a few surrogate sequences as "S <units> -> <bytes>".
 * Build with MinGW and run under Wine (LC_ALL=C.UTF-8, code page 1252);
 * tools/gen_cp1252/make_table.sh turns the output into the C table. */
#include <stdio.h>
#include <windows.h>

static void PrintSequence(const WCHAR *units, int count)
{
    char out[16];
    int length = WideCharToMultiByte(CP_ACP, 0, units, count, out, sizeof out, NULL, NULL);
    printf("S");
    for (int i = 0; i < count; i++)
        printf(" %04X", units[i]);
    printf(" ->");
    for (int i = 0; i < length; i++)
        printf(" %02X", (unsigned char)out[i]);
    printf("\n");
}

int main(void)
{
    printf("ACP %u\n", GetACP());
    for (unsigned unit = 0; unit <= 0xFFFF; unit++) {
        WCHAR in = (WCHAR)unit;
        char out[4] = {0};
        int length = WideCharToMultiByte(CP_ACP, 0, &in, 1, out, sizeof out, NULL, NULL);
        if (length != 1)
            printf("%04X len %d\n", unit, length);
        else
            printf("%04X %02X\n", unit, (unsigned char)out[0]);
    }
    const WCHAR pair[] = {0xD83D, 0xDE00};
    const WCHAR high_only[] = {0xD83D, 0x0041};
    const WCHAR low_only[] = {0xDE00, 0x0041};
    PrintSequence(pair, 2);
    PrintSequence(high_only, 2);
    PrintSequence(low_only, 2);
    return 0;
}
