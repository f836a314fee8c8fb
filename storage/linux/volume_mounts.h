// Which mounts of the machine are mounts of a partition's file system.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "storage/linux/linux_storage.h"
#include "storage/volumes.h"

namespace quillbrane {

// The mounts of the machine that are made from a block device, each with
// what that device shows, read once: the mount table at roots.mountInfo and
// the devices under roots.sysBlock. A mount's block device is its source
// when that is a block device node under roots.dev, otherwise the device
// number the table gives.
class MountSnapshot {
 public:
  static MountSnapshot Read(const LinuxRoots& roots);

  // 0, or the Windows code of a mount table that cannot be read (the
  // snapshot then holds no mount).
  std::uint32_t ErrorCode() const { return errorCode_; }

  // Fills `mounts` with the mounts, in table order, whose block device
  // shows exactly the partition at `place` (see BlockDeviceHoldsPartition).
  void MountsOf(const PartitionPlace& place, std::vector<MountRecord>& mounts) const;

 private:
  struct DeviceMount {
    MountRecord record;
    BlockDeviceView device;
  };
  std::vector<DeviceMount> mounts_;
  std::uint32_t errorCode_ = 0;
};

// Reads a snapshot and returns the mounts of the partition at `place`.
// Returns 0, or the Windows code of a mount table that cannot be read.
std::uint32_t MountsOfPartition(const LinuxRoots& roots, const PartitionPlace& place,
                                std::vector<MountRecord>& mounts);

}  // namespace quillbrane
