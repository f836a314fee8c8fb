// Which block devices are the machine's physical drives, and in what order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillbrane {

struct LinuxDrive {
  std::string name;        // the entry in /sys/block, and in /dev
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  bool removable = false;
};

// Lists the drives under `sysBlockRoot` (normally /sys/block): every entry
// except loop devices without a backing file or with a non-zero offset
// (views of part of another disk), ram*, zram*, dm-*, md*, sr* and fd*, and
// devices of size 0 that are not removable. Other devices come first, by
// device number; loop devices follow, by their number.
std::vector<LinuxDrive> ListPhysicalDrives(const std::string& sysBlockRoot);

}  // namespace quillbrane
