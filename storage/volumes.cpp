// Volumes on partitions.
#include "storage/volumes.h"

#include <algorithm>

#include "storage/byte_order.h"
#include "storage/hex_digits.h"

namespace quillbrane {
namespace {

constexpr std::string_view VolumePathPrefix = "\\\\?\\Volume";
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
constexpr std::size_t GuidTextSize = 38;

// Parses the braced GUID text into its 16 bytes in printed order.
bool ParseGuidText(std::string_view text, std::array<std::uint8_t, GuidSize>& printed) {
  if (text.size() != GuidTextSize || text.front() != '{' || text.back() != '}') return false;
  std::size_t byte = 0;
  int high = -1;
  for (std::size_t i = 1; i + 1 < text.size(); ++i) {
    if (i == 9 || i == 14 || i == 19 || i == 24) {
      if (text[i] != '-') return false;
      continue;
    }
    const int value = HexDigitValue(text[i]);
    if (value < 0) return false;
    if (high < 0) {
      high = value;
    } else {
      printed[byte++] = static_cast<std::uint8_t>(high << 4 | value);
      high = -1;
    }
  }
  return byte == GuidSize;
}

bool IsZero(const Guid& id) {
  return std::all_of(id.begin(), id.end(), [](std::uint8_t b) { return b == 0; });
}

}  // namespace

bool ParseVolumeGuidPath(std::string_view path, Guid& id) {
  if (path.size() != VolumePathPrefix.size() + GuidTextSize + 1) return false;
  if (path.substr(0, VolumePathPrefix.size()) != VolumePathPrefix || path.back() != '\\') return false;
  std::array<std::uint8_t, GuidSize> printed{};
  if (!ParseGuidText(path.substr(VolumePathPrefix.size(), GuidTextSize), printed)) return false;
  // Data1, Data2 and Data3 are printed most significant byte first and
  // stored little-endian; Data4 is printed as stored.
  static constexpr std::size_t StoredIndex[GuidSize] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  for (std::size_t i = 0; i < GuidSize; ++i) id[StoredIndex[i]] = printed[i];
  return true;
}

std::vector<VolumeExtent> ListLayoutVolumes(std::span<const std::uint8_t, LayoutBufferSize> layout) {
  const std::span<const std::uint8_t> record(layout);
  const std::size_t count =
      std::min<std::size_t>(LoadU32(record, layout::PartitionCount), LayoutEntryCapacity);
  std::vector<VolumeExtent> volumes;
  for (std::size_t i = 0; i < count; ++i) {
    const std::span<const std::uint8_t> item = record.subspan(layout::EntryOffset(i), PartitionEntrySize);
    std::size_t idOffset = 0;
    const std::uint32_t style = LoadU32(item, entry::PartitionStyle);
    if (style == PartitionStyleGpt) {
      idOffset = entry::GptPartitionId;
    } else if (style == PartitionStyleMbr && LoadU8(item, entry::MbrRecognizedPartition) != 0) {
      idOffset = entry::MbrPartitionId;
    } else {
      continue;
    }
    VolumeExtent volume;
    LoadBytes(item, idOffset, volume.id);
    // Offsets and lengths are signed in the record; a negative one is no
    // place on a disk.
    const std::int64_t offset = LoadI64(item, entry::StartingOffset);
    const std::int64_t length = LoadI64(item, entry::PartitionLength);
    if (offset < 0 || length < 0) continue;
    volume.offset = static_cast<std::uint64_t>(offset);
    volume.length = static_cast<std::uint64_t>(length);
    volumes.push_back(volume);
  }
  return volumes;
}

const IndexedVolume* FindVolumeByPartitionId(std::span<const IndexedVolume> index, const Guid& id) {
  // The all-zero GUID identifies no partition: it is what an entry without
  // an identifier holds.
  if (IsZero(id)) return nullptr;
  for (const IndexedVolume& volume : index) {
    if (volume.extent.id == id) return &volume;
  }
  return nullptr;
}

bool BlockDeviceHoldsPartition(const BlockDeviceView& device, const PartitionPlace& place) {
  const std::uint64_t deviceBytes = device.sizeSectors * KernelSectorSize;
  if (!device.parentDisk.empty()) {
    return device.parentDisk == place.diskName && device.startSectors * KernelSectorSize == place.offset &&
           deviceBytes == place.length;
  }
  if (!device.backingFile.empty()) {
    const bool overThisDisk = device.backingFile == place.diskNode ||
                              (!place.diskBackingFile.empty() && device.backingFile == place.diskBackingFile);
    if (!overThisDisk || device.loopOffset != place.offset) return false;
    const std::uint64_t viewLength = device.loopSizeLimit != 0 ? device.loopSizeLimit : deviceBytes;
    return viewLength == place.length;
  }
  return device.name == place.diskName && place.offset == 0 && place.length == place.diskSize &&
         deviceBytes == place.diskSize;
}

std::vector<std::string> MountPathsFor(std::span<const MountRecord> volumeMounts) {
  std::vector<std::string> paths;
  for (const MountRecord& mount : volumeMounts) {
    if (mount.root != "/" || mount.target.empty()) continue;
    std::string path = mount.target;
    if (path.back() != '/') path += '/';
    if (std::find(paths.begin(), paths.end(), path) == paths.end()) paths.push_back(std::move(path));
  }
  return paths;
}

bool PackVolumePaths(std::span<const std::string> paths, std::span<char> out) {
  if (out.empty()) return false;
  bool allFit = true;
  std::size_t used = 0;
  for (const std::string& path : paths) {
    // An empty path would end the list early.
    if (path.empty()) continue;
    // The path, its NUL, and the NUL that ends the list.
    if (out.size() - used < path.size() + 2) {
      allFit = false;
      continue;
    }
    std::copy(path.begin(), path.end(), out.begin() + static_cast<std::ptrdiff_t>(used));
    used += path.size();
    out[used++] = '\0';
  }
  out[used] = '\0';
  return allFit;
}

bool IsReadOnlyVolume(bool deviceReadOnly, std::span<const MountRecord> volumeMounts) {
  if (deviceReadOnly) return true;
  return !volumeMounts.empty() &&
         std::all_of(volumeMounts.begin(), volumeMounts.end(), [](const MountRecord& m) { return m.readOnly; });
}

}  // namespace quillbrane
