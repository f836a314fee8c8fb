#include "record_builders.h"

#include <span>

#include "storage/byte_order.h"

namespace quillbrane::test {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

Guid ParseGuid(std::string_view text) {
  std::array<std::uint8_t, 16> canonical{};  // in printed order
  std::size_t n = 0;
  int high = -1;
  for (char c : text) {
    const int v = HexValue(c);
    if (v < 0) continue;
    if (high < 0) {
      high = v;
    } else if (n < canonical.size()) {
      canonical[n++] = static_cast<std::uint8_t>(high << 4 | v);
      high = -1;
    }
  }
  static constexpr int Order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  Guid stored{};
  for (int i = 0; i < 16; ++i) stored[static_cast<std::size_t>(Order[i])] = canonical[static_cast<std::size_t>(i)];
  return stored;
}

std::array<std::uint8_t, GeometryBufferSize> BuildGeometry(const GeometrySpec& shape) {
  std::array<std::uint8_t, GeometryBufferSize> record{};
  std::span<std::uint8_t> r(record);
  StoreI64(r, geometry::Cylinders, shape.cylinders);
  StoreU32(r, geometry::MediaType, shape.mediaType);
  StoreU32(r, geometry::TracksPerCylinder, shape.tracksPerCylinder);
  StoreU32(r, geometry::SectorsPerTrack, shape.sectorsPerTrack);
  StoreU32(r, geometry::BytesPerSector, shape.bytesPerSector);
  StoreI64(r, geometry::DiskSize, shape.diskSize);
  StoreU32(r, geometry::SizeOfPartitionInfo, shape.sizeOfPartitionInfo);
  StoreU32(r, geometry::PartitionStyle, shape.partitionStyle);
  if (shape.sizeOfPartitionInfo == geometry::PartitionInfoSizeMbr) {
    StoreU32(r, geometry::MbrSignature, shape.mbrSignature);
    StoreU32(r, geometry::MbrCheckSum, shape.mbrCheckSum);
  } else {
    StoreBytes(r, geometry::GptDiskId, shape.gptDiskId);
  }
  const std::size_t d = geometry::PartitionInfo + shape.sizeOfPartitionInfo;
  StoreU32(r, d + geometry::DetectionType, shape.detectionType);
  StoreU32(r, d + geometry::Int13MaxCylinders, shape.maxCylinders);
  StoreU32(r, d + geometry::ExInt13ExCylinders, shape.exCylinders);
  return record;
}

std::array<std::uint8_t, LayoutBufferSize> BuildLayout(const LayoutSpec& shape) {
  std::array<std::uint8_t, LayoutBufferSize> record{};
  std::span<std::uint8_t> r(record);
  StoreU32(r, layout::PartitionStyle, shape.style);
  StoreU32(r, layout::PartitionCount, shape.partitionCount);
  if (shape.style == PartitionStyleGpt) {
    StoreBytes(r, layout::GptDiskId, shape.diskId);
    StoreI64(r, layout::GptStartingUsableOffset, shape.startingUsableOffset);
    StoreI64(r, layout::GptUsableLength, shape.usableLength);
    StoreU32(r, layout::GptMaxPartitionCount, shape.maxPartitionCount);
  } else {
    StoreU32(r, layout::MbrSignature, shape.mbrSignature);
    StoreU32(r, layout::MbrCheckSum, shape.mbrCheckSum);
  }
  for (std::size_t i = 0; i < shape.entries.size() && i < LayoutEntryCapacity; ++i) {
    const EntrySpec& e = shape.entries[i];
    auto entryBytes = r.subspan(layout::EntryOffset(i), PartitionEntrySize);
    StoreU32(entryBytes, entry::PartitionStyle, e.style);
    StoreI64(entryBytes, entry::StartingOffset, e.startingOffset);
    StoreI64(entryBytes, entry::PartitionLength, e.partitionLength);
    StoreU32(entryBytes, entry::PartitionNumber, e.partitionNumber);
    StoreU8(entryBytes, entry::RewritePartition, e.rewritePartition);
    StoreU8(entryBytes, entry::IsServicePartition, e.isServicePartition);
    if (e.style == PartitionStyleGpt) {
      StoreBytes(entryBytes, entry::GptPartitionType, e.gptType);
      StoreBytes(entryBytes, entry::GptPartitionId, e.gptId);
      StoreU64(entryBytes, entry::GptAttributes, e.attributes);
      for (std::size_t k = 0; k < e.name.size() && k < entry::GptNameUnits; ++k) {
        StoreU16(entryBytes, entry::GptName + 2 * k, static_cast<std::uint16_t>(e.name[k]));
      }
    } else if (e.style == PartitionStyleMbr) {
      StoreU8(entryBytes, entry::MbrPartitionType, e.mbrType);
      StoreU8(entryBytes, entry::MbrBootIndicator, e.bootIndicator);
      StoreU8(entryBytes, entry::MbrRecognizedPartition, e.recognized);
      StoreU32(entryBytes, entry::MbrHiddenSectors, e.hiddenSectors);
      StoreBytes(entryBytes, entry::MbrPartitionId, e.mbrPartitionId);
    }
  }
  return record;
}

}  // namespace quillbrane::test
