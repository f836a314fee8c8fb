// The MBR half of the layout decoder: the MBR, the EBR chain of its extended
// partition and the super-floppy layout, as Windows' partition manager
// reports them. Every table contributes its four slots, empty ones
// included, so the record mirrors the disk slot for slot.
#include <algorithm>
#include <array>

#include "storage/byte_order.h"
#include "storage/error_codes.h"
#include "storage/layout_decoders.h"
#include "storage/partition_table.h"

namespace quillbrane {
namespace {

// The tables that fit in the record: the MBR and three EBRs.
constexpr std::size_t MaxTables = LayoutEntryCapacity / mbr::SlotCount;
static_assert(MaxTables * mbr::SlotCount == LayoutEntryCapacity);

// The signature Windows reports for a super-floppy layout.
constexpr std::uint32_t SuperFloppySignature = 1;

// Only these two link to the next EBR; 0x85 (Linux extended) is an ordinary
// partition to Windows.
bool IsContainer(std::uint8_t type) { return type == mbr::TypeExtendedChs || type == mbr::TypeExtendedLba; }

std::uint8_t SlotType(std::span<const std::uint8_t> table, std::size_t slot) {
  return LoadU8(table, mbr::SlotOffset(slot) + mbr::SlotType);
}

// Windows' sanity checks on the MBR: no entry may start past the last
// sector or end past twice the sector count, and at most one entry may be
// an extended partition. Empty slots are not checked.
bool IsSaneMbr(std::span<const std::uint8_t> sector0, std::uint64_t sectors) {
  std::size_t containers = 0;
  for (std::size_t slot = 0; slot < mbr::SlotCount; ++slot) {
    const std::uint8_t type = SlotType(sector0, slot);
    if (type == mbr::TypeEmpty) continue;
    const std::uint64_t start = LoadU32(sector0, mbr::SlotOffset(slot) + mbr::SlotStartLba);
    const std::uint64_t count = LoadU32(sector0, mbr::SlotOffset(slot) + mbr::SlotSectorCount);
    if (start > sectors || start + count > 2 * sectors) return false;
    if (IsContainer(type)) ++containers;
  }
  return containers <= 1;
}

bool IsEmptyTable(std::span<const std::uint8_t> table) {
  for (std::size_t slot = 0; slot < mbr::SlotCount; ++slot) {
    if (SlotType(table, slot) != mbr::TypeEmpty) return false;
  }
  return true;
}

// The identifier Windows 10 gives the volume on an MBR partition: Data1 is
// the disk signature, Data2 and Data3 are zero, and Data4 holds the
// partition's starting byte offset as eight little-endian bytes.
void StoreMbrPartitionId(std::span<std::uint8_t> entryBytes, std::uint32_t signature, std::uint64_t offset) {
  const auto id = entryBytes.subspan(entry::MbrPartitionId, GuidSize);
  StoreU32(id, guid::Data1, signature);
  StoreU64(id, guid::Data4, offset);
}

// Decodes one table (the MBR when tableLba is 0, else an EBR) into the
// record's slots first..first+3. `extendedStart` is the LBA of the primary
// extended partition (0 while decoding the MBR). Numbers used partitions
// from `number` on. Returns the LBA of the table the first container entry
// links to, or 0 when it has none.
std::uint64_t DecodeTable(std::span<const std::uint8_t> table, std::uint64_t tableLba, std::uint64_t extendedStart,
                          std::size_t first, std::uint32_t sectorSize, std::uint32_t signature,
                          std::uint32_t& number, std::span<std::uint8_t, LayoutBufferSize> staging) {
  std::uint64_t next = 0;
  for (std::size_t slot = 0; slot < mbr::SlotCount; ++slot) {
    const std::size_t at = mbr::SlotOffset(slot);
    const std::uint8_t type = LoadU8(table, at + mbr::SlotType);
    if (type == mbr::TypeEmpty) continue;  // an unused slot stays all zero
    const std::uint32_t relative = LoadU32(table, at + mbr::SlotStartLba);
    const std::uint64_t count = LoadU32(table, at + mbr::SlotSectorCount);
    const auto out = std::span<std::uint8_t>(staging).subspan(layout::EntryOffset(first + slot), PartitionEntrySize);
    StoreU32(out, entry::PartitionStyle, PartitionStyleMbr);
    StoreI64(out, entry::PartitionLength, static_cast<std::int64_t>(count * sectorSize));
    StoreU8(out, entry::MbrPartitionType, type);
    StoreU8(out, entry::MbrBootIndicator, (LoadU8(table, at + mbr::SlotBootIndicator) & mbr::BootIndicatorActive) ? 1 : 0);
    StoreU32(out, entry::MbrHiddenSectors, relative);
    if (IsContainer(type)) {
      // A link entry: relative to the extended partition, not to its EBR.
      const std::uint64_t linked = extendedStart + relative;
      StoreI64(out, entry::StartingOffset, static_cast<std::int64_t>(linked * sectorSize));
      if (next == 0) next = linked;
    } else {
      // A partition: relative to the table that describes it (for the MBR,
      // that is the disk's start).
      const std::uint64_t offset = (tableLba + relative) * sectorSize;
      StoreI64(out, entry::StartingOffset, static_cast<std::int64_t>(offset));
      StoreU32(out, entry::PartitionNumber, ++number);
      StoreU8(out, entry::MbrRecognizedPartition, 1);
      StoreMbrPartitionId(out, signature, offset);
    }
  }
  return next;
}

}  // namespace

void FillSuperFloppyLayout(const DiskFacts& facts, std::span<std::uint8_t, LayoutBufferSize> staging) {
  StoreU32(staging, layout::PartitionStyle, PartitionStyleMbr);
  StoreU32(staging, layout::PartitionCount, 1);
  StoreU32(staging, layout::MbrSignature, SuperFloppySignature);
  const auto out = std::span<std::uint8_t>(staging).subspan(layout::EntryOffset(0), PartitionEntrySize);
  StoreU32(out, entry::PartitionStyle, PartitionStyleMbr);
  StoreI64(out, entry::StartingOffset, 0);
  StoreI64(out, entry::PartitionLength, static_cast<std::int64_t>(SectorCount(facts) * facts.sectorSize));
  StoreU32(out, entry::PartitionNumber, 1);
  StoreU8(out, entry::MbrPartitionType, mbr::TypeFat16Small);
  StoreU8(out, entry::MbrRecognizedPartition, 1);
  StoreMbrPartitionId(out, SuperFloppySignature, 0);
}

std::uint32_t FillMbrLayout(DiskSource& disk, const DiskFacts& facts, std::span<const std::uint8_t> sector0,
                            std::span<std::uint8_t, LayoutBufferSize> staging) {
  const std::uint64_t sectors = SectorCount(facts);
  // A FAT boot sector also ends in 0xAA55; Windows takes an insane table, or
  // an empty one behind a jump instruction on removable media, for a volume
  // that starts at sector 0.
  const std::uint8_t firstByte = LoadU8(sector0, mbr::BootCode);
  if (!IsSaneMbr(sector0, sectors) ||
      (facts.removable && IsEmptyTable(sector0) && (firstByte == mbr::JumpShort || firstByte == mbr::JumpNear))) {
    FillSuperFloppyLayout(facts, staging);
    return 0;
  }

  const std::uint32_t signature = LoadU32(sector0, mbr::DiskSignature);
  StoreU32(staging, layout::PartitionStyle, PartitionStyleMbr);
  StoreU32(staging, layout::MbrSignature, signature);
  StoreU32(staging, layout::MbrCheckSum, MbrCheckSum(sector0));

  std::uint32_t number = 0;
  std::uint64_t next = DecodeTable(sector0, 0, 0, 0, facts.sectorSize, signature, number, staging);
  // The sane MBR has at most one container: it is the extended partition.
  const std::uint64_t extendedStart = next;
  std::array<std::uint64_t, MaxTables> visited{};  // LBA 0, the MBR, is the first
  std::size_t tables = 1;
  std::array<std::uint8_t, MaxSectorSize> sector{};
  const auto ebr = std::span<std::uint8_t>(sector).first(facts.sectorSize);
  // A hostile chain can loop back or point off the disk; it ends there, so
  // the walk reads at most MaxTables sectors after the MBR whatever the disk says.
  while (next != 0 && next < sectors &&
         std::find(visited.begin(), visited.begin() + tables, next) == visited.begin() + tables) {
    if (const std::uint32_t code = disk.ReadAt(next * facts.sectorSize, ebr); code != 0) return code;
    // An EBR without the boot signature holds no table (the Linux kernel
    // and libblkid end the chain there too).
    if (!HasBootSignature(ebr)) break;
    if (tables == MaxTables) return ErrorInsufficientBuffer;
    visited[tables] = next;
    next = DecodeTable(ebr, next, extendedStart, tables * mbr::SlotCount, facts.sectorSize, signature, number,
                       staging);
    ++tables;
  }
  StoreU32(staging, layout::PartitionCount, static_cast<std::uint32_t>(tables * mbr::SlotCount));
  return 0;
}

}  // namespace quillbrane
