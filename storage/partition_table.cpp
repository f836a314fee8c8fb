// The geometry record, and the layout record's choice of partition style;
// the tables themselves are decoded in gpt_layout.cpp and mbr_layout.cpp.
#include "storage/partition_table.h"

#include <algorithm>
#include <array>

#include "storage/byte_order.h"
#include "storage/crc32.h"
#include "storage/disk_formats.h"
#include "storage/error_codes.h"
#include "storage/layout_decoders.h"

namespace quillbrane {
namespace {

// Windows' disk driver reports a fixed translation: 255 heads, 63 sectors
// per track, and as many cylinders as fit.
constexpr std::uint32_t ReportedTracksPerCylinder = 255;
constexpr std::uint32_t ReportedSectorsPerTrack = 63;

bool IsUsableSectorSize(std::uint32_t size) {
  return size >= mbr::TableSize && size <= MaxSectorSize && (size & (size - 1)) == 0;
}

// What the disk driver answers before looking at the content: 0 when the
// disk can be read, else the code of the failure.
std::uint32_t CheckDiskFacts(const DiskFacts& facts) {
  if (facts.sizeBytes == 0) return facts.removable ? ErrorNotReady : ErrorDeviceNotConnected;
  if (!IsUsableSectorSize(facts.sectorSize)) return ErrorInvalidFunction;
  return 0;
}

}  // namespace

bool HasBootSignature(std::span<const std::uint8_t> sector0) {
  return sector0.size() >= mbr::TableSize && LoadU16(sector0, mbr::BootSignature) == mbr::BootSignatureValue;
}

bool IsProtectiveMbr(std::span<const std::uint8_t> sector0) {
  if (!HasBootSignature(sector0)) return false;
  if (LoadU8(sector0, mbr::SlotOffset(0) + mbr::SlotType) != mbr::TypeGptProtective) return false;
  for (std::size_t slot = 1; slot < mbr::SlotCount; ++slot) {
    if (LoadU8(sector0, mbr::SlotOffset(slot) + mbr::SlotType) != mbr::TypeEmpty) return false;
  }
  return true;
}

std::uint32_t MbrCheckSum(std::span<const std::uint8_t> sector0) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < mbr::TableSize; i += 4) sum += LoadU32(sector0, i);
  return 0u - sum;
}

bool IsGptHeaderIntact(std::span<const std::uint8_t> header) {
  if (header.size() < gpt::HeaderSizeValue) return false;
  if (LoadU64(header, gpt::Signature) != gpt::SignatureValue) return false;
  if (LoadU32(header, gpt::Revision) != gpt::RevisionValue) return false;
  if (LoadU32(header, gpt::HeaderSize) != gpt::HeaderSizeValue) return false;
  // The header CRC is computed with its own field taken as zero.
  std::array<std::uint8_t, gpt::HeaderSizeValue> copy{};
  LoadBytes(header, 0, copy);
  StoreU32(copy, gpt::HeaderCrc32, 0);
  return Crc32(copy) == LoadU32(header, gpt::HeaderCrc32);
}

std::uint32_t FillGeometryRecord(DiskSource& disk, const DiskFacts& facts,
                                 std::span<std::uint8_t, GeometryBufferSize> record) {
  if (const std::uint32_t code = CheckDiskFacts(facts); code != 0) return code;
  const std::uint64_t sectors = SectorCount(facts);
  std::uint64_t cylinders = sectors / (ReportedTracksPerCylinder * ReportedSectorsPerTrack);
  std::uint32_t tracks = ReportedTracksPerCylinder;
  std::uint32_t sectorsPerTrack = ReportedSectorsPerTrack;
  if (cylinders == 0) {
    // A disk smaller than one cylinder: one sector per track and cylinder.
    cylinders = sectors;
    tracks = 1;
    sectorsPerTrack = 1;
  }
  StoreI64(record, geometry::Cylinders, static_cast<std::int64_t>(cylinders));
  StoreU32(record, geometry::MediaType, facts.removable ? MediaTypeRemovable : MediaTypeFixed);
  StoreU32(record, geometry::TracksPerCylinder, tracks);
  StoreU32(record, geometry::SectorsPerTrack, sectorsPerTrack);
  StoreU32(record, geometry::BytesPerSector, facts.sectorSize);
  StoreI64(record, geometry::DiskSize, static_cast<std::int64_t>(facts.sizeBytes));
  StoreU32(record, geometry::SizeOfPartitionInfo, geometry::PartitionInfoSizeGpt);
  StoreU32(record, geometry::PartitionStyle, PartitionStyleMbr);
  // The detection info stays zero: no BIOS detected this disk.
  if (facts.removable) return 0;

  std::array<std::uint8_t, MaxSectorSize> sector{};
  const auto sector0 = std::span<std::uint8_t>(sector).first(facts.sectorSize);
  if (const std::uint32_t code = disk.ReadAt(0, sector0); code != 0) {
    // Too small to hold a table: nothing to identify.
    return facts.sizeBytes < facts.sectorSize ? 0 : code;
  }
  if (IsProtectiveMbr(sector0)) {
    // The same header the layout query uses, so both report the same style
    // and disk GUID.
    std::array<std::uint8_t, gpt::HeaderSizeValue> header{};
    bool found = false;
    if (FindValidGptHeader(disk, facts, header, found) == 0 && found) {
      StoreU32(record, geometry::PartitionStyle, PartitionStyleGpt);
      StoreBytes(record, geometry::GptDiskId, std::span<const std::uint8_t>(header).subspan(gpt::DiskGuid, GuidSize));
      return 0;
    }
  }
  StoreU32(record, geometry::MbrSignature, LoadU32(sector0, mbr::DiskSignature));
  StoreU32(record, geometry::MbrCheckSum, MbrCheckSum(sector0));
  return 0;
}

std::uint32_t FillLayoutRecord(DiskSource& disk, const DiskFacts& facts,
                               std::span<std::uint8_t, LayoutBufferSize> record) {
  if (const std::uint32_t code = CheckDiskFacts(facts); code != 0) return code;
  // A disk shorter than one sector has no table: its sector 0 reads as zeros.
  std::array<std::uint8_t, MaxSectorSize> sector{};
  const auto sector0 = std::span<std::uint8_t>(sector).first(facts.sectorSize);
  if (SectorCount(facts) > 0) {
    if (const std::uint32_t code = disk.ReadAt(0, sector0); code != 0) return code;
  }

  // Windows' order: a protective MBR means GPT, and then only a valid GPT
  // header will do; a hybrid MBR (other slots in use) is an MBR. Without
  // 0xAA55 a fixed disk has no table, and removable media are taken for one
  // volume from sector 0.
  std::array<std::uint8_t, LayoutBufferSize> staging{};
  std::uint32_t code = 0;
  if (IsProtectiveMbr(sector0)) {
    std::array<std::uint8_t, gpt::HeaderSizeValue> header{};
    bool found = false;
    code = FindValidGptHeader(disk, facts, header, found);
    if (code == 0) code = found ? FillGptLayout(disk, facts, header, staging) : ErrorDiskCorrupt;
  } else if (HasBootSignature(sector0)) {
    code = FillMbrLayout(disk, facts, sector0, staging);
  } else if (facts.removable) {
    FillSuperFloppyLayout(facts, staging);
  } else {
    StoreU32(staging, layout::PartitionStyle, PartitionStyleRaw);
  }
  if (code != 0) return code;
  std::copy(staging.begin(), staging.end(), record.begin());
  return 0;
}

}  // namespace quillbrane
