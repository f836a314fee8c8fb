// Byte positions of the platform records that cross the storage seam.
//
// These are the Windows records DISK_GEOMETRY_EX (IOCTL_DISK_GET_DRIVE_GEOMETRY_EX)
// and DRIVE_LAYOUT_INFORMATION_EX with its PARTITION_INFORMATION_EX entries
// (IOCTL_DISK_GET_DRIVE_LAYOUT_EX), as laid out by the x64 and x86 Windows
// ABIs. The section writers read them through these names; the Linux
// implementation and the tests fill them through the same names.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillbrane {

// Sizes of the buffers handed to the geometry and layout queries.
inline constexpr std::size_t GeometryBufferSize = 104;
inline constexpr std::size_t LayoutHeaderSize = 48;
inline constexpr std::size_t PartitionEntrySize = 144;
inline constexpr std::size_t LayoutEntryCapacity = 16;
inline constexpr std::size_t LayoutBufferSize = 2352;
static_assert(LayoutHeaderSize + LayoutEntryCapacity * PartitionEntrySize == LayoutBufferSize);

// PARTITION_STYLE values.
inline constexpr std::uint32_t PartitionStyleMbr = 0;
inline constexpr std::uint32_t PartitionStyleGpt = 1;
inline constexpr std::uint32_t PartitionStyleRaw = 2;

// MEDIA_TYPE values the Linux implementation reports.
inline constexpr std::uint32_t MediaTypeRemovable = 11;  // RemovableMedia
inline constexpr std::uint32_t MediaTypeFixed = 12;      // FixedMedia

// DISK_GEOMETRY_EX.
namespace geometry {
inline constexpr std::size_t Cylinders = 0;          // signed 64-bit
inline constexpr std::size_t MediaType = 8;          // 32-bit enumeration
inline constexpr std::size_t TracksPerCylinder = 12; // unsigned 32-bit
inline constexpr std::size_t SectorsPerTrack = 16;   // unsigned 32-bit
inline constexpr std::size_t BytesPerSector = 20;    // unsigned 32-bit
inline constexpr std::size_t DiskSize = 24;          // signed 64-bit
// DISK_PARTITION_INFO, at the start of the Data area.
inline constexpr std::size_t PartitionInfo = 32;
inline constexpr std::size_t SizeOfPartitionInfo = 32;  // unsigned 32-bit
inline constexpr std::size_t PartitionStyle = 36;       // 32-bit enumeration
inline constexpr std::size_t MbrSignature = 40;         // unsigned 32-bit
inline constexpr std::size_t MbrCheckSum = 44;          // unsigned 32-bit
inline constexpr std::size_t GptDiskId = 40;            // 16-byte GUID
// The two partition-info lengths Windows uses: MBR (16) and GPT (24).
inline constexpr std::uint32_t PartitionInfoSizeMbr = 16;
inline constexpr std::uint32_t PartitionInfoSizeGpt = 24;
// DISK_DETECTION_INFO follows the partition info; offsets relative to it.
inline constexpr std::size_t DetectionType = 4;          // 32-bit enumeration
inline constexpr std::size_t Int13MaxCylinders = 12;     // unsigned 32-bit
inline constexpr std::size_t ExInt13ExCylinders = 28;    // unsigned 32-bit
}  // namespace geometry

// DRIVE_LAYOUT_INFORMATION_EX header.
namespace layout {
inline constexpr std::size_t PartitionStyle = 0;          // 32-bit enumeration
inline constexpr std::size_t PartitionCount = 4;          // unsigned 32-bit
inline constexpr std::size_t MbrSignature = 8;            // unsigned 32-bit
inline constexpr std::size_t MbrCheckSum = 12;            // unsigned 32-bit
inline constexpr std::size_t GptDiskId = 8;               // 16-byte GUID
inline constexpr std::size_t GptStartingUsableOffset = 24;  // signed 64-bit
inline constexpr std::size_t GptUsableLength = 32;        // signed 64-bit
inline constexpr std::size_t GptMaxPartitionCount = 40;   // unsigned 32-bit
inline constexpr std::size_t PartitionEntries = LayoutHeaderSize;

inline constexpr std::size_t EntryOffset(std::size_t index) {
  return PartitionEntries + index * PartitionEntrySize;
}
}  // namespace layout

// PARTITION_INFORMATION_EX, offsets from the entry's start.
namespace entry {
inline constexpr std::size_t PartitionStyle = 0;       // 32-bit enumeration
inline constexpr std::size_t StartingOffset = 8;       // signed 64-bit
inline constexpr std::size_t PartitionLength = 16;     // signed 64-bit
inline constexpr std::size_t PartitionNumber = 24;     // unsigned 32-bit
inline constexpr std::size_t RewritePartition = 28;    // BOOLEAN
inline constexpr std::size_t IsServicePartition = 29;  // BOOLEAN
inline constexpr std::size_t MbrPartitionType = 32;    // byte
inline constexpr std::size_t MbrBootIndicator = 33;    // BOOLEAN
inline constexpr std::size_t MbrRecognizedPartition = 34;  // BOOLEAN
inline constexpr std::size_t MbrHiddenSectors = 36;    // unsigned 32-bit
inline constexpr std::size_t MbrPartitionId = 40;      // 16-byte GUID
inline constexpr std::size_t GptPartitionType = 32;    // 16-byte GUID
inline constexpr std::size_t GptPartitionId = 48;      // 16-byte GUID
inline constexpr std::size_t GptAttributes = 64;       // unsigned 64-bit
inline constexpr std::size_t GptName = 72;             // 36 UTF-16 units
inline constexpr std::size_t GptNameUnits = 36;
static_assert(GptName + GptNameUnits * 2 == PartitionEntrySize);
}  // namespace entry

inline constexpr std::size_t GuidSize = 16;

// A GUID as Windows stores it: Data1 (32-bit), Data2 and Data3 (16-bit),
// little-endian, then the eight bytes of Data4 in order.
namespace guid {
inline constexpr std::size_t Data1 = 0;  // unsigned 32-bit
inline constexpr std::size_t Data2 = 4;  // unsigned 16-bit
inline constexpr std::size_t Data3 = 6;  // unsigned 16-bit
inline constexpr std::size_t Data4 = 8;  // 8 bytes
static_assert(Data4 + 8 == GuidSize);
}  // namespace guid

}  // namespace quillbrane
