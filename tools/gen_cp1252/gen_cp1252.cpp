// Prints how the system's ANSI code page converts every UTF-16 code unit:
// one line "XXXX YY" per unit (hex), through WideCharToMultiByte(CP_ACP, 0)
// with no default character given, as VerQueryValueA converts. Also prints
// the conversion of a few surrogate sequences as "S <units> -> <bytes>".
// Build with MinGW and run under Wine (LC_ALL=C.UTF-8, code page 1252):
//   i686-w64-mingw32-g++-posix -std=c++20 -O2 -static -o gen_cp1252.exe gen_cp1252.cpp
// tools/gen_cp1252/make_table.py turns the output into the C table.
#include <windows.h>

#include <array>
#include <cstdio>
#include <span>

namespace {

void PrintSequence(std::span<const WCHAR> units)
{
    std::array<char, 16> out;
    const int length =
        WideCharToMultiByte(CP_ACP, 0, units.data(), static_cast<int>(units.size()), out.data(),
                            static_cast<int>(out.size()), nullptr, nullptr);
    std::printf("S");
    for (WCHAR unit : units)
        std::printf(" %04X", unit);
    std::printf(" ->");
    for (int i = 0; i < length; i++)
        std::printf(" %02X", static_cast<unsigned char>(out[i]));
    std::printf("\n");
}

} // namespace

int main()
{
    std::printf("ACP %u\n", GetACP());
    for (unsigned unit = 0; unit <= 0xFFFF; unit++) {
        const WCHAR in = static_cast<WCHAR>(unit);
        std::array<char, 4> out = {};
        const int length = WideCharToMultiByte(CP_ACP, 0, &in, 1, out.data(),
                                               static_cast<int>(out.size()), nullptr, nullptr);
        if (length != 1)
            std::printf("%04X len %d\n", unit, length);
        else
            std::printf("%04X %02X\n", unit, static_cast<unsigned char>(out[0]));
    }
    constexpr WCHAR kPair[] = {0xD83D, 0xDE00};
    constexpr WCHAR kHighOnly[] = {0xD83D, 0x0041};
    constexpr WCHAR kLowOnly[] = {0xDE00, 0x0041};
    PrintSequence(kPair);
    PrintSequence(kHighOnly);
    PrintSequence(kLowOnly);
    return 0;
}
