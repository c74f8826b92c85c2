// Windows' x64 calling convention has a called function give back xmm6 to
// xmm15 as it found them. Wine's version functions do not always: on a
// file whose image its loader faults on (the generated
// section_at_address_zero_unreadable.dll), they return with them changed,
// and a FILE name qvhost kept in one was lost (a crash, or an empty name).
// A function that declares them clobbered saves them on entry and restores
// them on return, whatever it calls: qvhost's calls that reach the
// system's version functions, or an export that calls them, go through
// such a function, never inlined.
#ifndef QV_TOOLS_QVHOST_KEEP_REGISTERS_H
#define QV_TOOLS_QVHOST_KEEP_REGISTERS_H

#if defined(_WIN32) && defined(__x86_64__)
#define QVHOST_KEEP_VECTOR_REGISTERS()                                                             \
    __asm__ volatile("" ::                                                                         \
                         : "xmm6", "xmm7", "xmm8", "xmm9", "xmm10", "xmm11", "xmm12", "xmm13",     \
                           "xmm14", "xmm15")
#else
#define QVHOST_KEEP_VECTOR_REGISTERS()
#endif

#endif
