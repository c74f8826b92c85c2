// Field offsets and values of the executable headers the reader looks at:
// the DOS stub header, the PE (NT) headers, the section table and the
// resource directory, and the 16-bit NE header with its resource table.
// Offsets are in bytes from the start of the structure named.
#ifndef QV_READER_PE_FORMAT_H
#define QV_READER_PE_FORMAT_H

#include <cstdint>

namespace qv::reader::pe {

// The DOS header, "MZ", with the offset of the NT or NE header at 60.
inline constexpr uint32_t kDosHeaderSize = 64;
inline constexpr uint32_t kDosMagicOffset = 0;
inline constexpr uint32_t kDosNewHeaderOffset = 60; // e_lfanew
inline constexpr uint16_t kDosMagic = 0x5a4d;       // "MZ"

// What the new header starts with.
inline constexpr uint32_t kPeSignature = 0x00004550; // "PE\0\0"
inline constexpr uint16_t kPeSignatureLow = 0x4550;  // "PE"
inline constexpr uint16_t kNeSignature = 0x454e;     // "NE"

// The file header, after the 4-byte signature.
inline constexpr uint32_t kFileHeaderOffset = 4;
inline constexpr uint32_t kMachineOffset = kFileHeaderOffset + 0;
inline constexpr uint32_t kSectionCountOffset = kFileHeaderOffset + 2;
inline constexpr uint32_t kOptionalHeaderSizeOffset = kFileHeaderOffset + 16;
inline constexpr uint32_t kFileHeaderSize = 20;
inline constexpr uint16_t kMachineI386 = 0x014c;
inline constexpr uint16_t kMachineAmd64 = 0x8664;

// The optional header, after the file header. Its data directories start at
// 96 (PE32) or 112 (PE32+), the count of them just before.
inline constexpr uint32_t kOptionalHeaderOffset = kFileHeaderOffset + kFileHeaderSize;
inline constexpr uint32_t kOptionalMagicOffset = kOptionalHeaderOffset + 0;
inline constexpr uint32_t kSectionAlignmentOffset = kOptionalHeaderOffset + 32;
inline constexpr uint32_t kFileAlignmentOffset = kOptionalHeaderOffset + 36;
inline constexpr uint32_t kSizeOfImageOffset = kOptionalHeaderOffset + 56;
inline constexpr uint32_t kSizeOfHeadersOffset = kOptionalHeaderOffset + 60;
inline constexpr uint16_t kOptionalHeaderMagic32 = 0x10b;
inline constexpr uint16_t kOptionalHeaderMagic64 = 0x20b;
inline constexpr uint32_t kRvaCount32Offset = kOptionalHeaderOffset + 92;
inline constexpr uint32_t kRvaCount64Offset = kOptionalHeaderOffset + 108;
inline constexpr uint32_t kDataDirectories32 = 96;
inline constexpr uint32_t kDataDirectories64 = 112;
inline constexpr uint32_t kDataDirectorySize = 8; // VirtualAddress, Size
inline constexpr uint32_t kDataDirectoryAddressOffset = 0;
inline constexpr uint32_t kDataDirectorySizeOffset = 4;
inline constexpr uint32_t kResourceDirectoryIndex = 2;
inline constexpr uint32_t kDataDirectoryCount = 16;

// The NT headers in full: what Wine's 32-bit loader requires in the
// headers, and the larger, 64-bit layout.
inline constexpr uint32_t kNtHeaders32Size =
    kOptionalHeaderOffset + kDataDirectories32 + kDataDirectoryCount * kDataDirectorySize;
inline constexpr uint32_t kNtHeaders64Size =
    kOptionalHeaderOffset + kDataDirectories64 + kDataDirectoryCount * kDataDirectorySize;

// One entry of the section table, which follows the optional header.
inline constexpr uint32_t kSectionHeaderSize = 40;
inline constexpr uint32_t kSectionVirtualSizeOffset = 8;
inline constexpr uint32_t kSectionAddressOffset = 12;
inline constexpr uint32_t kSectionRawSizeOffset = 16;
inline constexpr uint32_t kSectionRawPointerOffset = 20;
inline constexpr uint32_t kSectionFlagsOffset = 36;
// Execute, read or write: readable on x86.
inline constexpr uint32_t kSectionReadable = 0xE0000000u;
// Both together: one copy of the section shared by every process.
inline constexpr uint32_t kSectionShared = 0x10000000u;
inline constexpr uint32_t kSectionWritable = 0x80000000u;

// A resource directory: its header, then 8-byte entries, named ones first.
inline constexpr uint32_t kResourceDirectorySize = 16;
inline constexpr uint32_t kResourceNamedCountOffset = 12;
inline constexpr uint32_t kResourceIdCountOffset = 14;
inline constexpr uint32_t kResourceDirectoryEntrySize = 8;
inline constexpr uint32_t kResourceEntryNameOffset = 0;
inline constexpr uint32_t kResourceEntryDataOffset = 4;
inline constexpr uint32_t kResourceSubdirectoryFlag = 0x80000000u;
// A resource data entry: the data's address and size.
inline constexpr uint32_t kResourceDataAddressOffset = 0;
inline constexpr uint32_t kResourceDataSizeOffset = 4;
// RT_VERSION, and the one name a version resource has.
inline constexpr uint16_t kVersionType = 16;
inline constexpr uint16_t kVersionName = 1;

} // namespace qv::reader::pe

namespace qv::reader::ne {

// The NE header: offsets of its resource table and of the resident-name
// table that follows it, both from the header's start.
inline constexpr uint32_t kHeaderSize = 64;
inline constexpr uint32_t kResourceTableOffset = 36;
inline constexpr uint32_t kResidentNameTableOffset = 38;

// The resource table: the alignment shift, then one type record per type
// (ended by type 0), each followed by its name records.
inline constexpr uint32_t kAlignmentShiftOffset = 0;
inline constexpr uint32_t kFirstTypeOffset = 2;
inline constexpr uint32_t kTypeIdOffset = 0;
inline constexpr uint32_t kTypeCountOffset = 2;
inline constexpr uint32_t kTypeRecordSize = 8;
inline constexpr uint32_t kNameStartOffset = 0;  // in units of the alignment
inline constexpr uint32_t kNameLengthOffset = 2; // in units of the alignment
inline constexpr uint32_t kNameIdOffset = 6;
inline constexpr uint32_t kNameRecordSize = 12;
inline constexpr uint16_t kVersionType = 0x8010;
inline constexpr uint16_t kVersionName = 0x8001;

} // namespace qv::reader::ne

#endif
