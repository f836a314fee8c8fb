// The GPT and MBR halves of the layout decoder, used by partition_table.cpp.
// Platform-free. Each Fill function writes a whole DRIVE_LAYOUT_INFORMATION_EX
// into `staging`, a zeroed scratch record that the caller copies out only on
// success, so a failure never leaves a half-written record behind.
#pragma once

#include <cstdint>
#include <span>

#include "storage/disk_formats.h"
#include "storage/disk_source.h"
#include "storage/records.h"

namespace quillbrane {

// The number of whole logical sectors of the disk.
inline std::uint64_t SectorCount(const DiskFacts& facts) { return facts.sizeBytes / facts.sectorSize; }

// The GPT header Windows would trust: the primary at LBA 1 when it passes
// every check, else the backup at the disk's last LBA with the same checks
// (signature, revision, header size and CRC-32, MyLBA, entry size, entry
// array inside the disk and its CRC-32). Returns 0 with `found` set and the
// header's 92 bytes in `header`; 0 with `found` false when neither header is
// valid; or the Windows code of a read error.
std::uint32_t FindValidGptHeader(DiskSource& disk, const DiskFacts& facts,
                                 std::span<std::uint8_t, gpt::HeaderSizeValue> header, bool& found);

// Fills `staging` from a header found by FindValidGptHeader. Returns 0, 122
// when more than LayoutEntryCapacity entries are in use, 1393 when the entry
// array no longer matches its CRC, or the code of a read error.
std::uint32_t FillGptLayout(DiskSource& disk, const DiskFacts& facts,
                            std::span<const std::uint8_t, gpt::HeaderSizeValue> header,
                            std::span<std::uint8_t, LayoutBufferSize> staging);

// Fills `staging` for a disk whose sector 0 ends in 0xAA55 and is not a
// protective MBR: the MBR and its EBR chain, or the super-floppy layout when
// the table fails Windows' sanity checks. Returns 0, 122 when the tables
// have more entries than the record holds, or the code of a read error.
std::uint32_t FillMbrLayout(DiskSource& disk, const DiskFacts& facts, std::span<const std::uint8_t> sector0,
                            std::span<std::uint8_t, LayoutBufferSize> staging);

// Fills `staging` with the layout Windows reports for a disk that is one
// partition from its first byte (a formatted floppy or memory card).
void FillSuperFloppyLayout(const DiskFacts& facts, std::span<std::uint8_t, LayoutBufferSize> staging);

}  // namespace quillbrane
