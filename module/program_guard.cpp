// The stack guard of a program that links stack_guard.cpp (qvhost.exe),
// seeded by a constructor: the C runtime runs it from main's call to
// __main, and GCC stores a protected function's copy of the guard only
// after that call, so main is protected by the seeded guard too.
#include "stack_guard.h"

namespace {

__attribute__((constructor, no_stack_protector)) void SeedProgramStackGuard()
{
    SeedStackGuard(GetModuleHandleW(nullptr));
}

} // namespace
