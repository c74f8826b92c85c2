// A planted "version.dll", as an attacker would drop it beside a setup
// program. Loading it leaves a marker file in the current folder, and its
// functions answer every query with "PLANTED".
#include <windows.h>

extern "C" {

BOOL WINAPI PlantedEntry(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        HANDLE marker = CreateFileA("planted-version-dll-was-loaded", GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (marker != INVALID_HANDLE_VALUE)
            CloseHandle(marker);
    }
    return TRUE;
}

DWORD WINAPI GetFileVersionInfoSizeA(LPCSTR, LPDWORD handle)
{
    if (handle != nullptr)
        *handle = 0;
    return 64;
}

BOOL WINAPI GetFileVersionInfoA(LPCSTR, DWORD, DWORD, LPVOID)
{
    return TRUE;
}

BOOL WINAPI VerQueryValueA(LPCVOID, LPCSTR, LPVOID *buffer, PUINT length)
{
    static char planted[] = "PLANTED";
    *buffer = planted;
    *length = sizeof planted - 1;
    return TRUE;
}

} // extern "C"
