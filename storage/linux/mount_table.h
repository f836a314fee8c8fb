// The mount table, in the format of /proc/self/mountinfo.
//
// Read here rather than with libmount: the survey needs five fields of a
// format the kernel documents and keeps stable (proc(5)), and libmount
// brings libselinux and libpcre2 with it, whose loading and relocation cost
// more than the rest of a run's start-up (see bench/RESULTS.md). Without it
// the survey links statically.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
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

// Reads the mount table at `mountInfoPath` into `mounts`, as
// ParseMountTable does. Returns 0, or the Windows code of the failure when
// the table cannot be read.
std::uint32_t ReadMountTable(const std::string& mountInfoPath, std::vector<LinuxMount>& mounts);

// Parses mountinfo text into `mounts`, in table order, with the kernel's
// octal escapes (\040 for a space, \011, \012, \134) in paths and the source
// decoded. A line without the fields of a mount is skipped.
void ParseMountTable(std::string_view text, std::vector<LinuxMount>& mounts);

}  // namespace quillbrane
