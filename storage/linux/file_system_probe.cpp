#include "storage/linux/file_system_probe.h"

#include <blkid.h>

#include <limits>
#include <memory>

#include "storage/error_codes.h"

namespace quillbrane {
namespace {

struct ProbeDeleter {
  void operator()(blkid_struct_probe* probe) const { blkid_free_probe(probe); }
};

std::string Value(blkid_probe probe, const char* name) {
  const char* data = nullptr;
  std::size_t size = 0;
  if (blkid_probe_lookup_value(probe, name, &data, &size) != 0 || data == nullptr) return std::string();
  // blkid counts the terminating NUL in the size.
  std::string value(data, size);
  while (!value.empty() && value.back() == '\0') value.pop_back();
  return value;
}

}  // namespace

std::uint32_t ProbeFileSystem(int fd, std::uint64_t offset, std::uint64_t length, ProbedFileSystem& found) {
  constexpr auto Max = static_cast<std::uint64_t>(std::numeric_limits<blkid_loff_t>::max());
  if (length == 0 || offset > Max || length > Max - offset) return ErrorUnrecognizedVolume;
  std::unique_ptr<blkid_struct_probe, ProbeDeleter> probe(blkid_new_probe());
  if (!probe) return ErrorIoDevice;
  blkid_probe pr = probe.get();
  if (blkid_probe_set_device(pr, fd, static_cast<blkid_loff_t>(offset), static_cast<blkid_loff_t>(length)) != 0) {
    return ErrorIoDevice;
  }
  blkid_probe_enable_partitions(pr, 0);
  blkid_probe_enable_topology(pr, 0);
  blkid_probe_enable_superblocks(pr, 1);
  blkid_probe_set_superblocks_flags(pr, BLKID_SUBLKS_TYPE | BLKID_SUBLKS_LABEL | BLKID_SUBLKS_UUID |
                                            BLKID_SUBLKS_VERSION);
  blkid_probe_filter_superblocks_usage(pr, BLKID_FLTR_ONLYIN, BLKID_USAGE_FILESYSTEM);
  // 0: one file system; 1: none; -2: several claim the range; -1: error.
  switch (blkid_do_safeprobe(pr)) {
    case 0: break;
    case 1:
    case -2: return ErrorUnrecognizedVolume;
    default: return ErrorIoDevice;
  }
  found.type = Value(pr, "TYPE");
  if (found.type.empty()) return ErrorUnrecognizedVolume;
  found.version = Value(pr, "VERSION");
  found.uuid = Value(pr, "UUID");
  found.label = Value(pr, "LABEL");
  return 0;
}

}  // namespace quillbrane
