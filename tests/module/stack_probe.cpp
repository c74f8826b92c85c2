// The module's entry and stack guard in a DLL of their own, with two
// exports for check_stack_guard.sh: one tells the guard the entry chose,
// one copies its parameter text into a 16-byte buffer without a bound, as a
// faulty export would.
#include <cstddef>
#include <cstdint>

#include "qvsetup.h"

extern "C" uintptr_t __stack_chk_guard;

extern "C" {

// The guard, its halves folded together on 64-bit Windows: the return value
// has 32 bits.
int32_t QVSETUP_CALL StackGuard(HostParamBlock * /*block*/)
{
    uint64_t guard = __stack_chk_guard;
    return static_cast<int32_t>(guard ^ guard >> 32);
}

// Returns the text's length when it fits; a longer one overwrites the copy
// of the guard in this frame, and the check before the return ends the
// process.
int32_t QVSETUP_CALL OverrunBuffer(HostParamBlock *block)
{
    volatile char buffer[16] = {};
    const char *text = block->ParameterText != nullptr ? block->ParameterText : "";
    size_t length = 0;
    for (; text[length] != '\0'; ++length)
        buffer[length] = text[length];
    return buffer[0] != '\0' ? static_cast<int32_t>(length) : 0;
}

} // extern "C"
