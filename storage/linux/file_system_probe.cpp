#include "storage/linux/file_system_probe.h"

#include <blkid.h>
#include <limits>
#include <span>
#include <string_view>

#include "storage/byte_order.h"
#include "storage/error_codes.h"
#include "storage/linux/fd_disk.h"

namespace quillbrane {
namespace {

std::string Value(blkid_probe probe, const char* name) {
  const char* data = nullptr;
  std::size_t size = 0;
  if (blkid_probe_lookup_value(probe, name, &data, &size) != 0 || data == nullptr) return std::string();
  // blkid counts the terminating NUL in the size.
  std::string value(data, size);
  while (!value.empty() && value.back() == '\0') value.pop_back();
  return value;
}

// libblkid's ZFS prober ("zfs_member") looks at partitions of 64 MiB or
// more. It reads the four 256 KiB labels ZFS keeps, two at the start and two
// at the end (aligned down to 256 KiB), and claims the range when the 128
// one-KiB uberblock slots in the second half of each label hold four ZFS
// magic numbers between them, in either byte order. A label it cannot read
// whole ends its probing.
constexpr std::string_view ZfsProberName = "zfs_member";
constexpr std::uint64_t ZfsMinimumSize = 64ULL * 1024 * 1024;
constexpr std::size_t ZfsLabelSize = 256 * 1024;
constexpr std::size_t ZfsUberblocksAt = 128 * 1024;
constexpr std::size_t ZfsUberblockSize = 1024;
constexpr std::uint64_t ZfsMagic = 0x00bab10c;
constexpr std::uint64_t ZfsMagicSwapped = 0x0cb1ba0000000000;
constexpr int ZfsMagicsWanted = 4;

}  // namespace

FileSystemProber::FileSystemProber() = default;
FileSystemProber::~FileSystemProber() = default;

void FileSystemProber::ProbeDeleter::operator()(blkid_struct_probe* probe) const { blkid_free_probe(probe); }

// The probe for ranges where ZFS may be, or for the others; made at its
// first use. NULL when libblkid cannot make one.
blkid_struct_probe* FileSystemProber::ProbeFor(bool zfs) {
  OwnedProbe& slot = zfs ? withZfs_ : withoutZfs_;
  if (slot) return slot.get();
  slot.reset(blkid_new_probe());
  blkid_probe pr = slot.get();
  if (pr == nullptr) return nullptr;
  blkid_probe_enable_partitions(pr, 0);
  blkid_probe_enable_topology(pr, 0);
  blkid_probe_enable_superblocks(pr, 1);
  blkid_probe_set_superblocks_flags(pr, BLKID_SUBLKS_TYPE | BLKID_SUBLKS_LABEL | BLKID_SUBLKS_UUID |
                                            BLKID_SUBLKS_VERSION);
  if (zfs) {
    blkid_probe_filter_superblocks_usage(pr, BLKID_FLTR_ONLYIN, BLKID_USAGE_FILESYSTEM);
    return pr;
  }
  // The file-system probers in libblkid's order, ZFS's left out. (A filter
  // by usage and one by name cannot be combined: each replaces the other.)
  std::vector<char*> names;
  const char* name = nullptr;
  int usage = 0;
  for (std::size_t i = 0; blkid_superblocks_get_name(i, &name, &usage) == 0; ++i) {
    if ((usage & BLKID_USAGE_FILESYSTEM) != 0 && name != nullptr && name != ZfsProberName) {
      names.push_back(const_cast<char*>(name));
    }
  }
  names.push_back(nullptr);
  blkid_probe_filter_superblocks_type(pr, BLKID_FLTR_ONLYIN, names.data());
  return pr;
}

// Whether libblkid's ZFS prober could claim bytes [offset, offset + length)
// of `fd`. It reads every label into fresh memory it clears first, for
// every partition: most of a survey's memory traffic when no partition
// holds ZFS. Here the labels are read into one buffer kept for the run; only
// when all four read whole and hold fewer than four magic numbers is the
// answer no, and the prober left out of the probe, which then finds what it
// would have found with it. Any doubt leaves the prober in.
bool FileSystemProber::MayHoldZfs(int fd, std::uint64_t offset, std::uint64_t length) {
  if (length < ZfsMinimumSize) return false;  // libblkid skips the prober itself
  if (!label_) label_ = std::make_unique<std::uint8_t[]>(ZfsLabelSize);
  const std::span<std::uint8_t> label(label_.get(), ZfsLabelSize);
  FdDiskSource range(fd, offset + length);
  const std::uint64_t align = length % ZfsLabelSize;
  const std::uint64_t labels[] = {0, ZfsLabelSize, length - 2 * ZfsLabelSize - align,
                                  length - ZfsLabelSize - align};
  int magics = 0;
  for (const std::uint64_t at : labels) {
    if (range.ReadAt(offset + at, label) != 0) return true;
    for (std::size_t slot = ZfsUberblocksAt; slot < ZfsLabelSize; slot += ZfsUberblockSize) {
      const std::uint64_t magic = LoadU64(label, slot);
      if (magic == ZfsMagic || magic == ZfsMagicSwapped) ++magics;
    }
    if (magics >= ZfsMagicsWanted) return true;
  }
  return false;
}

std::uint32_t FileSystemProber::Probe(int fd, std::uint64_t offset, std::uint64_t length, ProbedFileSystem& found) {
  constexpr auto Max = static_cast<std::uint64_t>(std::numeric_limits<blkid_loff_t>::max());
  if (length == 0 || offset > Max || length > Max - offset) return ErrorUnrecognizedVolume;
  // Setting the device resets the probe's buffers, values and position;
  // its chains and filters stay as made.
  blkid_probe pr = ProbeFor(MayHoldZfs(fd, offset, length));
  if (pr == nullptr) return ErrorIoDevice;
  if (blkid_probe_set_device(pr, fd, static_cast<blkid_loff_t>(offset), static_cast<blkid_loff_t>(length)) != 0) {
    return ErrorIoDevice;
  }
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

std::uint32_t ProbeFileSystem(int fd, std::uint64_t offset, std::uint64_t length, ProbedFileSystem& found) {
  FileSystemProber prober;
  return prober.Probe(fd, offset, length, found);
}

}  // namespace quillbrane
