// A host that guards its call into the DLL as structured exception handling
// would: CompareVersions gets a variable table in reserved, never committed
// memory, and a vectored handler walks the fault with the system's unwinder
// from the faulting instruction, through the DLL's frames, back to
// CallExport. A function without unwind data is a leaf to the unwinder (its
// return address at [rsp]); only the faulting one can be, so any later frame
// without data stops the walk.
//   unwind_walk DLL    status 0 when the walk reaches CallExport, else 1
#include <windows.h>

#include <cstdio>

#include "qvsetup.h"

namespace {

// Keeps the result, so that the call is no tail call: its return address
// lies inside this function.
__attribute__((noinline)) int32_t CallExport(QvSetupExport function, HostParamBlock *block)
{
    volatile int32_t result = function(block);
    return result;
}

LONG CALLBACK WalkFromFault(EXCEPTION_POINTERS *info)
{
    DWORD64 base = 0;
    const auto *caller =
        RtlLookupFunctionEntry(reinterpret_cast<DWORD64>(&CallExport), &base, nullptr);
    const DWORD64 begin = base + caller->BeginAddress, end = base + caller->EndAddress;
    CONTEXT context = *info->ContextRecord;
    bool reached = false;
    int frame = 0;
    for (; frame < 32 && !reached; frame++) {
        PRUNTIME_FUNCTION entry = RtlLookupFunctionEntry(context.Rip, &base, nullptr);
        if (entry == nullptr && frame > 0)
            break;
        if (entry == nullptr) {
            context.Rip = *reinterpret_cast<DWORD64 *>(context.Rsp);
            context.Rsp += 8;
        } else {
            void *handler_data = nullptr;
            DWORD64 establisher = 0;
            RtlVirtualUnwind(UNW_FLAG_NHANDLER, base, context.Rip, entry, &context, &handler_data,
                             &establisher, nullptr);
        }
        reached = context.Rip > begin && context.Rip < end;
    }
    std::printf("%s at frame %d (rip %#llx)\n", reached ? "reached CallExport" : "walk stopped",
                frame, context.Rip);
    std::fflush(stdout);
    ExitProcess(reached ? 0 : 1);
}

} // namespace

int main(int argc, char **argv)
{
    auto function = reinterpret_cast<QvSetupExport>(reinterpret_cast<void *>(
        GetProcAddress(LoadLibraryA(argc == 2 ? argv[1] : ""), "CompareVersions")));
    if (function == nullptr)
        return std::printf("usage: unwind_walk DLL (one with CompareVersions)\n"), 2;
    auto *slots = static_cast<char *>(VirtualAlloc(nullptr, 1 << 16, MEM_RESERVE, PAGE_NOACCESS));
    HostParamBlock block{};
    block.VariableCapacity = block.VariableCount = 4;
    block.NameWidth = block.ValueWidth = 64;
    block.NameSlots = slots;
    block.ValueSlots = slots + 4 * 64;
    block.ParameterText = "1.0, 2.0";
    AddVectoredExceptionHandler(1, WalkFromFault);
    CallExport(function, &block);
    std::printf("no fault: the export never read the slots\n");
    return 1;
}
