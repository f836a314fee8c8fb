#include "storage/linux/block_devices.h"

#include <dirent.h>

#include "storage/linux/sysfs.h"

namespace quillbrane {
namespace {

std::uint64_t ReadNumber(const std::string& path) {
  std::uint64_t value = 0;
  return ParseUnsigned(ReadAttribute(path), value) ? value : 0;
}

// The sub-directories of the disk `diskName` at `path` that are partition
// devices. The kernel names a partition after its disk (sda1, nvme0n1p1,
// loop0p1), so only such directories are asked for a "partition" attribute;
// a disk's directory holds dozens of other attributes.
std::vector<std::string> PartitionNames(const std::string& path, const std::string& diskName) {
  std::vector<std::string> names;
  DIR* dir = opendir(path.c_str());
  if (dir == nullptr) return names;
  while (const dirent* item = readdir(dir)) {
    if (item->d_type != DT_DIR && item->d_type != DT_UNKNOWN) continue;
    const std::string name = item->d_name;
    if (name.size() <= diskName.size() || name.compare(0, diskName.size(), diskName) != 0) continue;
    if (!ReadAttribute(path + "/" + name + "/partition").empty()) names.push_back(name);
  }
  closedir(dir);
  return names;
}

}  // namespace

std::vector<SysfsBlockDevice> ReadBlockDevices(const std::string& sysBlockRoot) {
  std::vector<SysfsBlockDevice> devices;
  DIR* dir = opendir(sysBlockRoot.c_str());
  if (dir == nullptr) return devices;
  while (const dirent* item = readdir(dir)) {
    const std::string name = item->d_name;
    if (name.empty() || name[0] == '.') continue;
    const std::string base = sysBlockRoot + "/" + name;
    SysfsBlockDevice disk;
    if (!ParseDeviceNumber(ReadAttribute(base + "/dev"), disk.major, disk.minor)) continue;
    disk.view.name = name;
    disk.view.sizeSectors = ReadNumber(base + "/size");
    disk.view.backingFile = ReadAttribute(base + "/loop/backing_file");
    if (!disk.view.backingFile.empty()) {
      disk.view.loopOffset = ReadNumber(base + "/loop/offset");
      disk.view.loopSizeLimit = ReadNumber(base + "/loop/sizelimit");
    }
    devices.push_back(disk);
    for (const std::string& partName : PartitionNames(base, name)) {
      const std::string partBase = base + "/" + partName;
      SysfsBlockDevice part;
      if (!ParseDeviceNumber(ReadAttribute(partBase + "/dev"), part.major, part.minor)) continue;
      part.view.name = partName;
      part.view.parentDisk = name;
      part.view.startSectors = ReadNumber(partBase + "/start");
      part.view.sizeSectors = ReadNumber(partBase + "/size");
      devices.push_back(part);
    }
  }
  closedir(dir);
  return devices;
}

std::string LoopBackingFile(const std::string& sysBlockRoot, const std::string& name) {
  return ReadAttribute(sysBlockRoot + "/" + name + "/loop/backing_file");
}

bool IsReadOnlyBlockDevice(const std::string& sysBlockRoot, const std::string& name) {
  return ReadAttribute(sysBlockRoot + "/" + name + "/ro") == "1";
}

}  // namespace quillbrane
