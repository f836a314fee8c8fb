// Reading the partition tables on a disk: the MBR (with its EBR chain) and
// the GPT, as Windows' partition manager interprets them. Platform-free:
// everything works on a DiskSource and fills the platform records.
#pragma once

#include <cstdint>
#include <span>

#include "storage/disk_source.h"
#include "storage/records.h"

namespace quillbrane {

inline constexpr std::size_t MaxSectorSize = 4096;

// True when the first 512 bytes of sector 0 end in the 0xAA55 signature.
bool HasBootSignature(std::span<const std::uint8_t> sector0);

// A protective MBR: boot signature, slot 0 of type 0xEE, slots 1 to 3 empty.
bool IsProtectiveMbr(std::span<const std::uint8_t> sector0);

// The MBR checksum Windows reports: the two's complement negation of the
// sum of the 128 little-endian 32-bit words of the first 512 bytes.
std::uint32_t MbrCheckSum(std::span<const std::uint8_t> sector0);

// A GPT header whose signature, revision, header size and header CRC-32 are
// right. `header` is the sector that holds it.
bool IsGptHeaderIntact(std::span<const std::uint8_t> header);

// Fills `record` (zeroed by the caller) with the DISK_GEOMETRY_EX Windows'
// disk driver would report for the disk. Returns 0 or a Windows error code.
std::uint32_t FillGeometryRecord(DiskSource& disk, const DiskFacts& facts,
                                 std::span<std::uint8_t, GeometryBufferSize> record);

// Fills `record` (zeroed by the caller) with the DRIVE_LAYOUT_INFORMATION_EX
// Windows' partition manager would report for the disk. Returns 0, or a
// Windows error code with `record` left as it was: 122 when the layout has
// more entries than the record holds, 1393 when a GPT disk has no valid
// header, the mapped code of a read error.
std::uint32_t FillLayoutRecord(DiskSource& disk, const DiskFacts& facts,
                               std::span<std::uint8_t, LayoutBufferSize> record);

}  // namespace quillbrane
