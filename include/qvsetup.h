/*
 * QVSETUP: helper functions for installation scripts.
 *
 * A setup host loads QVSETUP.dll and calls one export at a time, passing a
 * pointer to its HostParamBlock. The exports read the parameter text and the
 * host's script-variable table, and write their result back into that table
 * (IsQarvellClientRunning answers through its return value instead).
 *
 * Script variables are stored under their key: the name between two percent
 * signs ("%VersionDelta%"), matched byte for byte, case included.
 *
 * Layout of HostParamBlock
 * ------------------------
 * 32-bit Windows (the layout setup hosts use; checked at compile time below,
 * as is the 64-bit Windows layout):
 *
 *   offset  field              type
 *        0  HostWord0          uint32  (host's own, never touched)
 *        4  HostWord1          uint32  (host's own, never touched)
 *        8  VariableCapacity   uint32
 *       12  NameWidth          uint32
 *       16  ValueWidth         uint32
 *       20  VariableCount      uint32
 *       24  NameSlots          pointer
 *       28  ValueSlots         pointer
 *       32  HostWord8          uint32  (host's own, never touched)
 *       36  HostWord9          uint32  (host's own, never touched)
 *       40  ParameterText      pointer (may be null)
 *
 * Other builds (64-bit Windows, the portable Linux build) keep the same fields
 * in the same order with natural alignment: host words and counters stay 32
 * bits, pointers take their native size. On LP64/LLP64 that gives offsets
 * 0, 4, 8, 12, 16, 20, 24 (NameSlots), 32 (ValueSlots), 40, 44,
 * 48 (ParameterText), size 56.
 */
#ifndef QVSETUP_H
#define QVSETUP_H

#include <stddef.h>
#include <stdint.h>

/* This header's release; the DLL's version resource carries the same numbers
 * (as MAJOR.MINOR.PATCH.0). */
#define QVSETUP_VERSION_MAJOR 1
#define QVSETUP_VERSION_MINOR 4
#define QVSETUP_VERSION_PATCH 0
#define QVSETUP_VERSION_STRING "1.4.0"

/*
 * Linkage
 * -------
 * QVSETUP_CALL  the exports' calling convention: __stdcall on Windows (the
 *               called function removes its argument from the stack), the
 *               platform's own elsewhere.
 * QVSETUP_API   how a declaration reaches the export. On Windows a host that
 *               uses QVSETUP.dll gets __declspec(dllimport); the DLL's own
 *               build defines QVSETUP_BUILDING (module/qvsetup.def names the
 *               exports and their ordinals) and a program that links the
 *               library's objects directly defines QVSETUP_STATIC, and both
 *               get nothing. On the portable build the exports have default
 *               visibility while everything else in the library is hidden.
 *
 * The header is valid C99 and C++; the exports have C linkage either way.
 */
#if defined(_WIN32)
#define QVSETUP_CALL __stdcall
#if defined(QVSETUP_BUILDING) || defined(QVSETUP_STATIC)
#define QVSETUP_API
#else
#define QVSETUP_API __declspec(dllimport)
#endif
#else
#define QVSETUP_CALL
#define QVSETUP_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct HostParamBlock {
    uint32_t HostWord0;
    uint32_t HostWord1;
    uint32_t VariableCapacity; /* most entries the table can hold */
    uint32_t NameWidth;        /* bytes from one name slot to the next */
    uint32_t ValueWidth;       /* bytes from one value slot to the next */
    uint32_t VariableCount;    /* entries 0 .. VariableCount-1 are in use */
    char *NameSlots;           /* base of the name slot array */
    char *ValueSlots;          /* base of the value slot array */
    uint32_t HostWord8;
    uint32_t HostWord9;
    const char *ParameterText; /* this call's parameter string, or null */
} HostParamBlock;

/* Every export takes one HostParamBlock pointer; this is its type. */
typedef int32_t(QVSETUP_CALL *QvSetupExport)(HostParamBlock *block);

/* Ordinal 1. Parameters "path[, field]"; writes "FileVersion". Returns 0. */
QVSETUP_API int32_t QVSETUP_CALL GetFileVersion(HostParamBlock *block);
/* Ordinal 2. Rewrites "FILEVERSION" a.b.c as a.b.0.c. Returns 0. */
QVSETUP_API int32_t QVSETUP_CALL NormalizeMSIEVersion(HostParamBlock *block);
/* Ordinal 3. Parameters "first, second"; writes "VersionDelta". Returns 0. */
QVSETUP_API int32_t QVSETUP_CALL CompareVersions(HostParamBlock *block);
/* Ordinal 4. 1 when the client's window exists, else 0; block may be null. */
QVSETUP_API int32_t QVSETUP_CALL IsQarvellClientRunning(HostParamBlock *block);
/* Ordinal 5. Parameters "path[, field]"; writes "FileVersion" from the file's
 * own string tables (its translation list first). Returns 0. */
QVSETUP_API int32_t QVSETUP_CALL GetFileVersionEx(HostParamBlock *block);

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
#define QVSETUP_ASSERT_OFFSET(field, off)                                                          \
    static_assert(offsetof(HostParamBlock, field) == (off), #field " offset")
#define QVSETUP_ASSERT_SIZE(size)                                                                  \
    static_assert(sizeof(HostParamBlock) == (size), "HostParamBlock size")
#else
/* C99 has no static assertion: an array of negative size stops the build. */
#define QVSETUP_ASSERT_OFFSET(field, off)                                                          \
    typedef char QvSetupOffsetOf##field[offsetof(HostParamBlock, field) == (off) ? 1 : -1]
#define QVSETUP_ASSERT_SIZE(size)                                                                  \
    typedef char QvSetupSizeOfHostParamBlock[sizeof(HostParamBlock) == (size) ? 1 : -1]
#endif
/* The layout above, checked on every build: the table for 32-bit pointers,
 * the same fields with natural alignment for 64-bit ones. */
#define QVSETUP_POINTER sizeof(void *)
QVSETUP_ASSERT_OFFSET(HostWord0, 0);
QVSETUP_ASSERT_OFFSET(HostWord1, 4);
QVSETUP_ASSERT_OFFSET(VariableCapacity, 8);
QVSETUP_ASSERT_OFFSET(NameWidth, 12);
QVSETUP_ASSERT_OFFSET(ValueWidth, 16);
QVSETUP_ASSERT_OFFSET(VariableCount, 20);
QVSETUP_ASSERT_OFFSET(NameSlots, 24);
QVSETUP_ASSERT_OFFSET(ValueSlots, 24 + QVSETUP_POINTER);
QVSETUP_ASSERT_OFFSET(HostWord8, 24 + 2 * QVSETUP_POINTER);
QVSETUP_ASSERT_OFFSET(HostWord9, 28 + 2 * QVSETUP_POINTER);
QVSETUP_ASSERT_OFFSET(ParameterText, 32 + 2 * QVSETUP_POINTER);
QVSETUP_ASSERT_SIZE(32 + 3 * QVSETUP_POINTER);
#undef QVSETUP_POINTER
#undef QVSETUP_ASSERT_OFFSET
#undef QVSETUP_ASSERT_SIZE

#endif /* QVSETUP_H */
