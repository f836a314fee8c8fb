#include "disk_image.h"

#include <algorithm>
#include <cstring>

#include "storage/byte_order.h"
#include "storage/crc32.h"
#include "storage/disk_formats.h"
#include "storage/error_codes.h"

namespace quillbrane::test {

DiskImage::DiskImage(std::uint64_t sectors, std::uint32_t sectorSize)
    : sectorSize_(sectorSize), bytes_(static_cast<std::size_t>(sectors * sectorSize)) {}

std::span<std::uint8_t> DiskImage::Sector(std::uint64_t lba) {
  return std::span(bytes_).subspan(static_cast<std::size_t>(lba * sectorSize_), sectorSize_);
}

DiskFacts DiskImage::Facts(bool removable) const { return DiskFacts{bytes_.size(), sectorSize_, removable}; }

void DiskImage::SetBootSignature(std::uint64_t lba) {
  StoreU16(Sector(lba), mbr::BootSignature, mbr::BootSignatureValue);
}

void DiskImage::SetDiskSignature(std::uint32_t signature) { StoreU32(Sector(0), mbr::DiskSignature, signature); }

void DiskImage::SetSlot(std::uint64_t lba, std::size_t slot, const MbrSlot& value) {
  const auto table = Sector(lba);
  const std::size_t at = mbr::SlotOffset(slot);
  StoreU8(table, at + mbr::SlotBootIndicator, value.active ? mbr::BootIndicatorActive : 0);
  StoreU8(table, at + mbr::SlotType, value.type);
  StoreU32(table, at + mbr::SlotStartLba, value.start);
  StoreU32(table, at + mbr::SlotSectorCount, value.count);
}

void DiskImage::WriteGptHeader(std::uint64_t lba, const Guid& diskGuid) {
  const auto header = Sector(lba);
  StoreU64(header, gpt::Signature, gpt::SignatureValue);
  StoreU32(header, gpt::Revision, gpt::RevisionValue);
  StoreU32(header, gpt::HeaderSize, gpt::HeaderSizeValue);
  StoreU64(header, gpt::MyLba, lba);
  StoreBytes(header, gpt::DiskGuid, diskGuid);
  SealGptHeader(lba);
}

void DiskImage::SealGptHeader(std::uint64_t lba) {
  const auto header = Sector(lba);
  StoreU32(header, gpt::HeaderCrc32, 0);
  StoreU32(header, gpt::HeaderCrc32, Crc32(header.first(gpt::HeaderSizeValue)));
}

std::uint64_t DiskImage::GptArrayOffset(std::uint64_t lba) {
  return LoadU64(Sector(lba), gpt::PartitionEntryLba) * sectorSize_;
}

void DiskImage::SealGptArray(std::uint64_t lba) {
  const auto header = Sector(lba);
  const std::uint64_t bytes = std::uint64_t{LoadU32(header, gpt::NumberOfPartitionEntries)} * gpt::EntrySizeValue;
  const auto array = std::span(bytes_).subspan(static_cast<std::size_t>(GptArrayOffset(lba)),
                                               static_cast<std::size_t>(bytes));
  StoreU32(header, gpt::PartitionEntryArrayCrc32, Crc32(array));
  SealGptHeader(lba);
}

void DiskImage::WriteGpt(const GptSpec& shape) {
  const std::uint64_t arrayBytes = std::uint64_t{shape.entryCount} * gpt::EntrySizeValue;
  const std::uint64_t arraySectors = (arrayBytes + sectorSize_ - 1) / sectorSize_;
  const std::uint64_t last = LastLba();

  SetSlot(0, mbr::TypeGptProtective, 1, static_cast<std::uint32_t>(std::min<std::uint64_t>(last, 0xFFFFFFFF)));
  SetBootSignature();

  const struct {
    std::uint64_t headerLba;
    std::uint64_t alternateLba;
    std::uint64_t arrayLba;
  } copies[] = {{1, last, 2}, {last, 1, last - arraySectors}};
  for (const auto& copy : copies) {
    const auto header = Sector(copy.headerLba);
    StoreU64(header, gpt::Signature, gpt::SignatureValue);
    StoreU32(header, gpt::Revision, gpt::RevisionValue);
    StoreU32(header, gpt::HeaderSize, gpt::HeaderSizeValue);
    StoreU64(header, gpt::MyLba, copy.headerLba);
    StoreU64(header, gpt::AlternateLba, copy.alternateLba);
    StoreU64(header, gpt::FirstUsableLba, 2 + arraySectors);
    StoreU64(header, gpt::LastUsableLba, last - arraySectors - 1);
    StoreBytes(header, gpt::DiskGuid, shape.diskGuid);
    StoreU64(header, gpt::PartitionEntryLba, copy.arrayLba);
    StoreU32(header, gpt::NumberOfPartitionEntries, shape.entryCount);
    StoreU32(header, gpt::SizeOfPartitionEntry, gpt::EntrySizeValue);
    for (std::size_t i = 0; i < shape.entries.size(); ++i) {
      const GptPartition& p = shape.entries[i];
      const auto e = std::span(bytes_).subspan(
          static_cast<std::size_t>(copy.arrayLba * sectorSize_ + i * gpt::EntrySizeValue), gpt::EntrySizeValue);
      StoreBytes(e, gpt::EntryTypeGuid, p.type);
      StoreBytes(e, gpt::EntryUniqueGuid, p.id);
      StoreU64(e, gpt::EntryStartingLba, p.firstLba);
      StoreU64(e, gpt::EntryEndingLba, p.lastLba);
      StoreU64(e, gpt::EntryAttributes, p.attributes);
      for (std::size_t u = 0; u < p.name.size() && u < gpt::EntryNameUnits; ++u) {
        StoreU16(e, gpt::EntryName + 2 * u, static_cast<std::uint16_t>(p.name[u]));
      }
    }
    SealGptArray(copy.headerLba);
  }
}

std::uint32_t ProbeDisk::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) {
  ++reads;
  bytesRead += out.size();
  if (size != 0 && (offset > size || size - offset < out.size())) ++readsOutside;
  if (budget != 0 && bytesRead > budget) return ErrorIoDevice;
  if (failCode != 0 && offset < failTo && offset + out.size() > failFrom) return failCode;
  return inner_.ReadAt(offset, out);
}

std::uint32_t SparseDisk::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) {
  if (offset > size_ || size_ - offset < out.size()) return ErrorIoDevice;
  for (std::size_t i = 0; i < out.size(); ++i) {
    out[i] = offset + i < head_.size() ? head_[static_cast<std::size_t>(offset + i)] : 0;
  }
  return 0;
}

}  // namespace quillbrane::test
