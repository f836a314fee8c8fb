#include "storage/linux/volume_mounts.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include "storage/linux/block_devices.h"
#include "storage/linux/mount_table.h"

namespace quillbrane {
namespace {

// The device number of the block device a mount is made from, or false
// when it has none (tmpfs, proc, a network file system).
bool MountDeviceNumber(const LinuxMount& mount, const std::string& devRoot, std::uint32_t& major,
                       std::uint32_t& minor) {
  // The source names the device for file systems whose table entry shows an
  // anonymous device number (btrfs); only nodes under the device root are
  // trusted, so a fixture table never reaches the machine's real devices.
  const std::string prefix = devRoot + "/";
  struct stat info {};
  if (mount.source.compare(0, prefix.size(), prefix) == 0 && stat(mount.source.c_str(), &info) == 0 &&
      S_ISBLK(info.st_mode)) {
    major = ::major(info.st_rdev);
    minor = ::minor(info.st_rdev);
    return true;
  }
  // Major 0 is the kernel's number for file systems without a device.
  if (mount.major == 0) return false;
  major = mount.major;
  minor = mount.minor;
  return true;
}

}  // namespace

MountSnapshot MountSnapshot::Read(const LinuxRoots& roots) {
  MountSnapshot snapshot;
  std::vector<LinuxMount> table;
  snapshot.errorCode_ = ReadMountTable(roots.mountInfo, table);
  if (snapshot.errorCode_ != 0) return snapshot;
  const std::vector<SysfsBlockDevice> devices = ReadBlockDevices(roots.sysBlock);
  for (LinuxMount& mount : table) {
    std::uint32_t major = 0, minor = 0;
    if (!MountDeviceNumber(mount, roots.dev, major, minor)) continue;
    for (const SysfsBlockDevice& device : devices) {
      if (device.major == major && device.minor == minor) {
        snapshot.mounts_.push_back(DeviceMount{std::move(mount.record), device.view});
        break;
      }
    }
  }
  return snapshot;
}

void MountSnapshot::MountsOf(const PartitionPlace& place, std::vector<MountRecord>& mounts) const {
  mounts.clear();
  for (const DeviceMount& mount : mounts_) {
    if (BlockDeviceHoldsPartition(mount.device, place)) mounts.push_back(mount.record);
  }
}

std::uint32_t MountsOfPartition(const LinuxRoots& roots, const PartitionPlace& place,
                                std::vector<MountRecord>& mounts) {
  mounts.clear();
  const MountSnapshot snapshot = MountSnapshot::Read(roots);
  if (snapshot.ErrorCode() != 0) return snapshot.ErrorCode();
  snapshot.MountsOf(place, mounts);
  return 0;
}

}  // namespace quillbrane
