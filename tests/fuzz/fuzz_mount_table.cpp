// The mount-table reader on arbitrary text: it must stay inside its input,
// keep at most one mount a line, and never make a path longer than the
// field it was decoded from.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "storage/linux/mount_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<quillbrane::LinuxMount> mounts;
  quillbrane::ParseMountTable(text, mounts);
  const auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
  if (mounts.size() > lines) __builtin_trap();
  for (const quillbrane::LinuxMount& mount : mounts) {
    if (mount.record.target.empty() || mount.record.root.empty()) __builtin_trap();
    if (mount.record.target.size() + mount.record.root.size() + mount.source.size() > size) __builtin_trap();
  }
  return 0;
}
