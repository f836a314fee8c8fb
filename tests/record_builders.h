// Builders for the platform records, through the same named offsets the
// section writers read, so a test states a machine in a few lines.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "storage/records.h"

namespace quillbrane::test {

using Guid = std::array<std::uint8_t, GuidSize>;

// Parses "{C12A7328-F81F-11D2-BA4B-00A0C93EC93B}" (braces optional) into
// the stored byte layout.
Guid ParseGuid(std::string_view text);

struct GeometrySpec {
  std::int64_t cylinders = 0;
  std::uint32_t mediaType = MediaTypeFixed;
  std::uint32_t tracksPerCylinder = 255;
  std::uint32_t sectorsPerTrack = 63;
  std::uint32_t bytesPerSector = 512;
  std::int64_t diskSize = 0;
  std::uint32_t sizeOfPartitionInfo = 24;
  std::uint32_t partitionStyle = PartitionStyleGpt;
  std::uint32_t mbrSignature = 0;
  std::uint32_t mbrCheckSum = 0;
  Guid gptDiskId{};
  std::uint32_t detectionType = 0;
  std::uint32_t maxCylinders = 0;
  std::uint32_t exCylinders = 0;
};

std::array<std::uint8_t, GeometryBufferSize> BuildGeometry(const GeometrySpec& shape);

struct EntrySpec {
  std::uint32_t style = PartitionStyleMbr;
  std::int64_t startingOffset = 0;
  std::int64_t partitionLength = 0;
  std::uint32_t partitionNumber = 0;
  std::uint8_t rewritePartition = 0;
  std::uint8_t isServicePartition = 0;
  // MBR
  std::uint8_t mbrType = 0;
  std::uint8_t bootIndicator = 0;
  std::uint8_t recognized = 0;
  std::uint32_t hiddenSectors = 0;
  Guid mbrPartitionId{};
  // GPT
  Guid gptType{};
  Guid gptId{};
  std::uint64_t attributes = 0;
  std::u16string name{};  // at most 36 units are stored
};

struct LayoutSpec {
  std::uint32_t style = PartitionStyleMbr;
  std::uint32_t partitionCount = 0;  // as stored, may differ from entries.size()
  std::uint32_t mbrSignature = 0;
  std::uint32_t mbrCheckSum = 0;
  Guid diskId{};
  std::int64_t startingUsableOffset = 0;
  std::int64_t usableLength = 0;
  std::uint32_t maxPartitionCount = 0;
  std::vector<EntrySpec> entries{};  // at most LayoutEntryCapacity
};

std::array<std::uint8_t, LayoutBufferSize> BuildLayout(const LayoutSpec& shape);

}  // namespace quillbrane::test
