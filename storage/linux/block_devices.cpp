#include "storage/linux/block_devices.h"

#include <dirent.h>

#include "storage/linux/sysfs.h"

namespace quillbrane {
namespace {

std::uint64_t ReadNumber(const std::string& path) {
  std::uint64_t value = 0;
  return ParseUnsigned(ReadAttribute(path), value) ? value : 0;
}

// The sub-directories of `path` that are partition devices.
std::vector<std::string> PartitionNames(const std::string& path) {
  std::vector<std::string> names;
  DIR* dir = opendir(path.c_str());
  if (dir == nullptr) return names;
  while (const dirent* item = readdir(dir)) {
    const std::string name = item->d_name;
    if (name.empty() || name[0] == '.') continue;
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
    for (const std::string& partName : PartitionNames(base)) {
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
