// The mount table, read with libmount.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "storage/volumes.h"

namespace quillbrane {

struct LinuxMount {
  MountRecord record;       // target, root, and read-only when either the
                            // mount or its file system is mounted "ro"
  std::string source;       // as the table gives it: "/dev/sda1", "tmpfs"
  std::uint32_t major = 0;  // the device number the table gives for the
  std::uint32_t minor = 0;  // file system (0:N for one without a device)
};

// Reads the mount table at `mountInfoPath` (in the format of
// /proc/self/mountinfo) into `mounts`, in table order, with escaped
// characters in paths decoded. Returns 0, or the Windows code of the
// failure when the table cannot be read.
std::uint32_t ReadMountTable(const std::string& mountInfoPath, std::vector<LinuxMount>& mounts);

}  // namespace quillbrane
