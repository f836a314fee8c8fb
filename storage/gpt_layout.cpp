// The GPT half of the layout decoder: header validation (UEFI specification,
// "GPT Header" and "Partition Entry Array") and the layout record built from
// the entry array.
#include <algorithm>
#include <array>

#include "storage/byte_order.h"
#include "storage/crc32.h"
#include "storage/error_codes.h"
#include "storage/layout_decoders.h"
#include "storage/partition_table.h"

namespace quillbrane {
namespace {

// NumberOfPartitionEntries comes from the disk and may be anything up to
// 0xFFFFFFFF (512 GiB of entries). Arrays larger than this are refused, as
// the Linux kernel refuses arrays larger than its largest allocation
// (4 MiB on x86-64); real disks use 16 KiB (128 entries).
constexpr std::uint64_t MaxEntryArrayBytes = 4 * 1024 * 1024;

static_assert(entry::GptNameUnits == gpt::EntryNameUnits);

std::uint64_t EntryArrayBytes(std::span<const std::uint8_t> header) {
  return std::uint64_t{LoadU32(header, gpt::NumberOfPartitionEntries)} * gpt::EntrySizeValue;
}

// The entry array is read in pieces of this size: a real array (16 KiB) in
// one read, the largest accepted (4 MiB) in 64 reads rather than 8192
// sector-sized ones. A multiple of every sector size and of 128.
constexpr std::size_t EntryArrayChunkBytes = 64 * 1024;
static_assert(EntryArrayChunkBytes % MaxSectorSize == 0 && EntryArrayChunkBytes % gpt::EntrySizeValue == 0);

// Reads the entry array of a header whose geometry was checked by
// IsHeaderSane, one chunk at a time, so memory stays one chunk whatever
// the header says. Computes the array's CRC-32 into `crc` and hands each
// 128-byte entry to `visit` in order. Returns 0 or the code of a read error.
template <typename Visit>
std::uint32_t StreamEntryArray(DiskSource& disk, const DiskFacts& facts, std::span<const std::uint8_t> header,
                               std::uint32_t& crc, Visit&& visit) {
  // Not zeroed: each read fills the part that is used, and zeroing 64 KiB
  // three times a disk costs more than the rest of the decoding.
  std::array<std::uint8_t, EntryArrayChunkBytes> chunk;
  std::uint64_t offset = LoadU64(header, gpt::PartitionEntryLba) * facts.sectorSize;
  std::uint64_t remaining = EntryArrayBytes(header);
  crc = 0;
  while (remaining > 0) {
    // Chunks hold whole entries; the array's bytes lie inside the disk
    // (IsHeaderSane), so no read runs past it.
    const auto part = std::span<std::uint8_t>(chunk).first(
        static_cast<std::size_t>(std::min<std::uint64_t>(remaining, chunk.size())));
    if (const std::uint32_t code = disk.ReadAt(offset, part); code != 0) return code;
    crc = Crc32(part, crc);
    for (std::size_t at = 0; at + gpt::EntrySizeValue <= part.size(); at += gpt::EntrySizeValue) {
      visit(std::span<const std::uint8_t>(part).subspan(at, gpt::EntrySizeValue));
    }
    offset += part.size();
    remaining -= part.size();
  }
  return 0;
}

// The checks on the header alone: the intact header of IsGptHeaderIntact,
// at the LBA it claims, with 128-byte entries in an array that lies inside
// the disk and within MaxEntryArrayBytes.
bool IsHeaderSane(std::span<const std::uint8_t> header, std::uint64_t lba, const DiskFacts& facts) {
  if (!IsGptHeaderIntact(header)) return false;
  if (LoadU64(header, gpt::MyLba) != lba) return false;
  if (LoadU32(header, gpt::SizeOfPartitionEntry) != gpt::EntrySizeValue) return false;
  const std::uint64_t sectors = SectorCount(facts);
  const std::uint64_t arrayLba = LoadU64(header, gpt::PartitionEntryLba);
  const std::uint64_t arrayBytes = EntryArrayBytes(header);
  if (arrayBytes > MaxEntryArrayBytes || arrayLba > sectors) return false;
  return (sectors - arrayLba) * facts.sectorSize >= arrayBytes;
}

// Reads the header at `lba` and checks it with its entry array. Returns 0
// with `valid` set and the header in `header`, or the code of a read error.
std::uint32_t CheckHeaderAt(DiskSource& disk, const DiskFacts& facts, std::uint64_t lba,
                            std::span<std::uint8_t, gpt::HeaderSizeValue> header, bool& valid) {
  valid = false;
  std::array<std::uint8_t, MaxSectorSize> sector{};
  const auto bytes = std::span<std::uint8_t>(sector).first(facts.sectorSize);
  if (const std::uint32_t code = disk.ReadAt(lba * facts.sectorSize, bytes); code != 0) return code;
  if (!IsHeaderSane(bytes, lba, facts)) return 0;
  std::uint32_t crc = 0;
  if (const std::uint32_t code = StreamEntryArray(disk, facts, bytes, crc, [](auto) {}); code != 0) return code;
  if (crc != LoadU32(bytes, gpt::PartitionEntryArrayCrc32)) return 0;
  LoadBytes(bytes, 0, header);
  valid = true;
  return 0;
}

bool IsUnusedEntry(std::span<const std::uint8_t> entryBytes) {
  const auto type = entryBytes.subspan(gpt::EntryTypeGuid, GuidSize);
  return std::all_of(type.begin(), type.end(), [](std::uint8_t b) { return b == 0; });
}

}  // namespace

std::uint32_t FindValidGptHeader(DiskSource& disk, const DiskFacts& facts,
                                 std::span<std::uint8_t, gpt::HeaderSizeValue> header, bool& found) {
  found = false;
  const std::uint64_t sectors = SectorCount(facts);
  if (sectors < 2) return 0;
  if (const std::uint32_t code = CheckHeaderAt(disk, facts, 1, header, found); code != 0 || found) return code;
  const std::uint64_t lastLba = sectors - 1;
  if (lastLba == 1) return 0;  // the backup would be the primary itself
  return CheckHeaderAt(disk, facts, lastLba, header, found);
}

std::uint32_t FillGptLayout(DiskSource& disk, const DiskFacts& facts,
                            std::span<const std::uint8_t, gpt::HeaderSizeValue> header,
                            std::span<std::uint8_t, LayoutBufferSize> staging) {
  const std::uint64_t sector = facts.sectorSize;
  const std::uint64_t firstUsable = LoadU64(header, gpt::FirstUsableLba);
  const std::uint64_t lastUsable = LoadU64(header, gpt::LastUsableLba);
  StoreU32(staging, layout::PartitionStyle, PartitionStyleGpt);
  StoreBytes(staging, layout::GptDiskId, header.subspan(gpt::DiskGuid, GuidSize));
  // Unsigned arithmetic: hostile LBAs wrap instead of overflowing, and the
  // record shows what the header says.
  StoreI64(staging, layout::GptStartingUsableOffset, static_cast<std::int64_t>(firstUsable * sector));
  StoreI64(staging, layout::GptUsableLength, static_cast<std::int64_t>((lastUsable - firstUsable + 1) * sector));
  StoreU32(staging, layout::GptMaxPartitionCount, LoadU32(header, gpt::NumberOfPartitionEntries));

  std::uint64_t used = 0;
  std::uint32_t crc = 0;
  const std::uint32_t code = StreamEntryArray(disk, facts, header, crc, [&](std::span<const std::uint8_t> in) {
    if (IsUnusedEntry(in)) return;
    if (used < LayoutEntryCapacity) {
      const auto out = std::span<std::uint8_t>(staging).subspan(layout::EntryOffset(used), PartitionEntrySize);
      const std::uint64_t start = LoadU64(in, gpt::EntryStartingLba);
      const std::uint64_t end = LoadU64(in, gpt::EntryEndingLba);
      StoreU32(out, entry::PartitionStyle, PartitionStyleGpt);
      StoreI64(out, entry::StartingOffset, static_cast<std::int64_t>(start * sector));
      StoreI64(out, entry::PartitionLength, static_cast<std::int64_t>((end - start + 1) * sector));
      StoreU32(out, entry::PartitionNumber, static_cast<std::uint32_t>(used + 1));
      StoreBytes(out, entry::GptPartitionType, in.subspan(gpt::EntryTypeGuid, GuidSize));
      StoreBytes(out, entry::GptPartitionId, in.subspan(gpt::EntryUniqueGuid, GuidSize));
      StoreU64(out, entry::GptAttributes, LoadU64(in, gpt::EntryAttributes));
      StoreBytes(out, entry::GptName, in.subspan(gpt::EntryName, gpt::EntryNameUnits * 2));
    }
    ++used;
  });
  if (code != 0) return code;
  // The array was checked a moment ago; a different CRC now means the disk
  // changed under us, and what was read is not the table that was checked.
  if (crc != LoadU32(header, gpt::PartitionEntryArrayCrc32)) return ErrorDiskCorrupt;
  if (used > LayoutEntryCapacity) return ErrorInsufficientBuffer;
  StoreU32(staging, layout::PartitionCount, static_cast<std::uint32_t>(used));
  return 0;
}

}  // namespace quillbrane
