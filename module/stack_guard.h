// The stack protector's guard for the Windows builds. The library's code is
// compiled with -fstack-protector-strong: each function with a local array
// or a local whose address escapes puts the guard between its locals and its
// return address and checks it before returning. MinGW's own support for
// this lives in libssp, a DLL or a static library whose guard is set by a
// C runtime constructor the DLL never runs, so the module supplies both
// symbols itself (stack_guard.cpp).
#pragma once

#include <windows.h>

// Gives the guard a fresh value for this load. Called by the module entry on
// DLL_PROCESS_ATTACH, before any protected function runs; neither it nor its
// caller may be protected, since the guard changes under them.
void SeedStackGuard(HINSTANCE module);
