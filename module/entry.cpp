// The module entry. The library keeps no state, so apart from the stack
// protector's guard there is nothing to set up on load or to release on
// unload: every notification succeeds. The DLL is linked with this function
// as its entry point and without the C runtime's start-up code, which it
// does not need (no global constructors, no thread-local data, no atexit
// handlers).
#include <windows.h>

#include "stack_guard.h"

// Not protected itself: the guard it seeds would no longer match the copy
// in its own frame.
extern "C" __attribute__((no_stack_protector)) BOOL WINAPI LibraryEntry(HINSTANCE instance,
                                                                        DWORD reason,
                                                                        LPVOID /*reserved*/)
{
    if (reason == DLL_PROCESS_ATTACH)
        SeedStackGuard(instance);
    return TRUE;
}
