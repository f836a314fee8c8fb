// The machine's block devices from sysfs: whole disks, the kernel's
// partition devices, and what each loop device shows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "storage/volumes.h"

namespace quillbrane {

struct SysfsBlockDevice {
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  BlockDeviceView view;
};

// Every device under `sysBlockRoot` (normally /sys/block) and every
// partition device beneath one (a sub-directory with a "partition"
// attribute), with their device numbers, sizes and starts in 512-byte
// units, and for loop devices their backing file, offset and size limit.
// Devices whose "dev" attribute cannot be read are left out.
std::vector<SysfsBlockDevice> ReadBlockDevices(const std::string& sysBlockRoot);

// The backing file of the loop device `name`; empty for any other device.
std::string LoopBackingFile(const std::string& sysBlockRoot, const std::string& name);

// True when sysfs marks the device `name` read-only.
bool IsReadOnlyBlockDevice(const std::string& sysBlockRoot, const std::string& name);

}  // namespace quillbrane
