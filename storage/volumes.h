// Volumes on partitions: naming a volume by its partition's identifier,
// finding the partition, telling which block devices and mounts are views
// of it, and the path list the volume queries return. Platform-free: the
// platform layer reads the layout records, the block devices and the mount
// table, and hands them to these functions.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "storage/records.h"

namespace quillbrane {

// A GUID in its stored 16-byte layout: Data1, Data2 and Data3
// little-endian, Data4 in stored order, as the layout record holds it.
using Guid = std::array<std::uint8_t, GuidSize>;

// Parses a volume path of exactly the form "\\?\Volume{GUID}\": the prefix
// as written, the braced 36-character GUID text with hexadecimal digits in
// either case, and the one trailing backslash. Fills `id` with the GUID's
// stored layout and returns true; returns false for anything else.
bool ParseVolumeGuidPath(std::string_view path, Guid& id);

// A partition that can carry a volume: its identifier and where it lies on
// its disk, in bytes.
struct VolumeExtent {
  Guid id{};
  std::uint64_t offset = 0;
  std::uint64_t length = 0;
};

// The partitions of a layout record that carry volumes, in entry order:
// every GPT entry (identifier Gpt.PartitionId) and every MBR entry with
// RecognizedPartition set (identifier Mbr.PartitionId). At most
// LayoutEntryCapacity entries are read, whatever PartitionCount says.
std::vector<VolumeExtent> ListLayoutVolumes(std::span<const std::uint8_t, LayoutBufferSize> layout);

// A volume of the machine: its partition and the drive (by drive number)
// that holds it.
struct IndexedVolume {
  VolumeExtent extent{};
  std::size_t drive = 0;
};

// The first volume of `index` whose identifier is `id`, so that of two
// cloned disks the one with the lower drive number answers; null when none.
const IndexedVolume* FindVolumeByPartitionId(std::span<const IndexedVolume> index, const Guid& id);

// What the platform says a block device is.
struct BlockDeviceView {
  std::string name{};                  // the kernel's name: "sda1", "loop5"
  std::string parentDisk{};            // a partition device: its disk's name
  std::uint64_t startSectors = 0;    // a partition device: its start
  std::uint64_t sizeSectors = 0;     // the device's size
  std::string backingFile{};           // a loop device: the file it shows
  std::uint64_t loopOffset = 0;      // a loop device: bytes into the file
  std::uint64_t loopSizeLimit = 0;   // a loop device: bytes, 0 = to the end
};

// Sectors in the sizes and starts that block devices report.
inline constexpr std::uint64_t KernelSectorSize = 512;

// Where a partition of a disk lies.
struct PartitionPlace {
  std::string diskName{};         // the disk's kernel name
  std::string diskNode{};         // the disk's device node: "/dev/loop3"
  std::string diskBackingFile{};  // a loop disk: its backing file; else empty
  std::uint64_t diskSize = 0;   // bytes
  std::uint64_t offset = 0;     // bytes from the disk's start
  std::uint64_t length = 0;     // bytes
};

// True when `device` shows exactly the bytes of the partition at `place`:
// - a partition device of the same disk with the same start and size;
// - a loop device over the disk's backing file or over the disk's device
//   node, at the partition's offset, whose length is the partition's
//   (its size limit, or when that is 0 the device's own size, which the
//   kernel makes the rest of the backing file);
// - the disk itself, when the partition covers the whole disk.
bool BlockDeviceHoldsPartition(const BlockDeviceView& device, const PartitionPlace& place);

// One mount of a file system, as the mount table lists it.
struct MountRecord {
  std::string target{};  // the mount point
  std::string root{};    // the folder of the file system mounted there
  bool readOnly = false;
};

// The mount points of a volume from the mounts of its file system, in the
// order given: only mounts of the file system's root "/" (a bind mount of a
// sub-folder is not a mount point of the volume), each path once, each
// ending in "/".
std::vector<std::string> MountPathsFor(std::span<const MountRecord> volumeMounts);

// Writes `paths` into `out` as a path list: each path NUL-terminated, the
// list ended by an empty one. A path that does not fit, with its NUL and
// room left for the final one, is left out and the ones after it are still
// tried; an empty path is skipped. Returns false when a path was left out
// or `out` cannot hold even the empty list. Bytes of `out` after the list
// are left as they were.
bool PackVolumePaths(std::span<const std::string> paths, std::span<char> out);

// The read-only rule for volumes: the device is read-only, or the volume is
// mounted and every mount of it is read-only.
bool IsReadOnlyVolume(bool deviceReadOnly, std::span<const MountRecord> volumeMounts);

}  // namespace quillbrane
