// The module entry. The library keeps no state, so there is nothing to set
// up on load or to release on unload: every notification succeeds. The DLL
// is linked with this function as its entry point and without the C
// runtime's start-up code, which it does not need (no global constructors,
// no thread-local data, no atexit handlers).
#include <windows.h>

extern "C" BOOL WINAPI LibraryEntry(HINSTANCE /*instance*/, DWORD /*reason*/, LPVOID /*reserved*/)
{
    return TRUE;
}
