// The Linux implementation of the storage queries, over the real storage
// stack: sysfs for the list of drives, the block devices themselves for
// geometry and partition tables.
#pragma once

#include <memory>
#include <string>

#include "storage/storage_queries.h"

namespace quillbrane {

// Where the Linux implementation looks; tests point these at fixtures.
struct LinuxRoots {
  std::string sysBlock = "/sys/block";
  std::string dev = "/dev";
  std::string mountInfo = "/proc/self/mountinfo";
};

std::unique_ptr<StorageQueries> CreateLinuxStorage(const LinuxRoots& roots);

}  // namespace quillbrane
