// The executable's headers as both lookups read them: the DOS header's
// pointer to the new header, the NT headers' fields, and the section table.
#ifndef QV_READER_PE_HEADERS_H
#define QV_READER_PE_HEADERS_H

#include <cstdint>
#include <optional>

#include "reader/byte_view.h"
#include "reader/file_reads.h"

namespace qv::reader {

// e_lfanew of a DOS header, when it starts with "MZ" and e_lfanew is below
// 2 GiB. A negative e_lfanew makes Wine's seek fail and read from wherever
// the file position was; such files are simply refused here.
std::optional<uint32_t> NewHeaderOffset(ByteView dos);

// NewHeaderOffset of the DOS header at the start of the file.
std::optional<uint32_t> ReadNewHeaderOffset(FileImage &image);

// The fields of the NT headers either lookup uses.
struct NtHeaders {
    uint32_t signature;
    uint16_t machine;
    uint16_t section_count;
    uint16_t optional_size;
    uint16_t magic;
    uint32_t section_alignment;
    uint32_t file_alignment;
    uint32_t image_size;
    uint32_t header_size;
    uint32_t rva_count;
    uint32_t resource_rva;
    uint32_t resource_size;
};

bool HasKnownMagic(const NtHeaders &h);

// Offset of the resource directory's entry from the signature; the PE32
// layout for an unknown magic.
uint32_t ResourceDirectoryOffset(uint16_t magic);

// The headers from the bytes at the signature; fields past the end of `nt`
// read as 0.
NtHeaders ParseNtHeaders(ByteView nt);

// The NT headers at `nt` read from the file, zeros past its end; none when
// fewer than the signature and file header are there.
std::optional<NtHeaders> ReadNtHeaders(FileImage &image, uint64_t nt);

uint64_t SectionTableOffset(uint64_t nt, const NtHeaders &h);

// One entry of the section table, read from the file.
struct Section {
    uint32_t virtual_size;
    uint32_t virtual_address;
    uint32_t raw_size;
    uint32_t raw_pointer;
    uint32_t flags;
};

std::optional<Section> ReadSection(FileImage &image, uint64_t table, unsigned index);

} // namespace qv::reader

#endif
