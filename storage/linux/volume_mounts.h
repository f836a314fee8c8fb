// Which mounts of the machine are mounts of a partition's file system.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "storage/linux/linux_storage.h"
#include "storage/volumes.h"

namespace quillbrane {

// Fills `mounts` with the mounts of the table at roots.mountInfo, in table
// order, whose block device shows exactly the partition at `place` (see
// BlockDeviceHoldsPartition), with their targets and roots as the table
// gives them. A mount's block device is its source when that is a block
// device node under roots.dev, otherwise the device number the table gives;
// both are looked up among the devices under roots.sysBlock. Returns 0, or
// the Windows code of a mount table that cannot be read.
std::uint32_t MountsOfPartition(const LinuxRoots& roots, const PartitionPlace& place,
                                std::vector<MountRecord>& mounts);

}  // namespace quillbrane
