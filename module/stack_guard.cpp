// The stack protector's guard and its failure path (see stack_guard.h).
#include "stack_guard.h"

#include <cstdint>

namespace {

// The guard until the entry seeds it, and for programs that link the
// library's objects without the module entry (the tests): not zero, so that
// a guard nobody seeded still catches an overrun that writes zero bytes.
constexpr uint64_t kUnseededGuard = 0x2B992DDFA232BB40;

// __fastfail's code for a failed stack check.
constexpr unsigned kFastFailStackCookieCheckFailure = 2;

// The finaliser of SplitMix64: every output bit depends on every input bit,
// so a guard seeded from values that differ in a few low bits (two loads a
// moment apart) still differs in about half of its bits.
constexpr uint64_t Avalanche(uint64_t x)
{
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EB;
    return x ^ (x >> 31);
}

} // namespace

extern "C" {

// Read by every protected function, written once per load by the entry. The
// compiler names it; it is the one global variable the module has.
uintptr_t __stack_chk_guard = static_cast<uintptr_t>(kUnseededGuard);

// Where a protected function goes when its copy of the guard was
// overwritten: its frame, and so its return address, cannot be trusted, and
// nothing may run in this process that an attacker could have steered.
// __fastfail ends the process in the kernel without running any exception
// handler; on systems older than Windows 8 it does not exist, so the process
// is terminated instead.
[[noreturn]] __attribute__((no_stack_protector)) void __stack_chk_fail()
{
    if (IsProcessorFeaturePresent(PF_FASTFAIL_AVAILABLE))
        __asm__ volatile("int $0x29" : : "c"(kFastFailStackCookieCheckFailure) : "memory");
    TerminateProcess(GetCurrentProcess(), STATUS_STACK_BUFFER_OVERRUN);
    __builtin_trap();
}

} // extern "C"

// The sources the system's own cookie uses: the time, the performance
// counter, the tick count, the process and thread ids, and the addresses of
// the module and of this frame (both moved by address-space layout
// randomisation). None is secret alone; together they differ between loads,
// and the mix spreads each over the whole guard.
__attribute__((no_stack_protector)) void SeedStackGuard(HINSTANCE module)
{
    FILETIME time{};
    GetSystemTimeAsFileTime(&time);
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    uint64_t seed = uint64_t{time.dwHighDateTime} << 32 | time.dwLowDateTime;
    seed = Avalanche(seed ^ static_cast<uint64_t>(counter.QuadPart));
    seed = Avalanche(seed ^ (uint64_t{GetCurrentProcessId()} << 32 | GetCurrentThreadId()));
    seed = Avalanche(seed ^ GetTickCount());
    seed = Avalanche(seed ^ reinterpret_cast<uintptr_t>(module));
    seed = Avalanche(seed ^ reinterpret_cast<uintptr_t>(&time));
    // On 32-bit Windows the guard is the two halves folded together.
    auto guard = static_cast<uintptr_t>(sizeof(uintptr_t) == 8 ? seed : seed ^ (seed >> 32));
    __stack_chk_guard = guard != 0 ? guard : static_cast<uintptr_t>(kUnseededGuard);
}
