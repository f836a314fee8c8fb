// Finding the file system in a byte range of a disk, with libblkid.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct blkid_struct_probe;

namespace quillbrane {

// blkid's values for a file system; each empty when blkid gives none.
struct ProbedFileSystem {
  std::string type;     // TYPE: "ext4", "vfat", "ntfs"
  std::string version;  // VERSION: "FAT32", "1.0"
  std::string uuid;     // UUID as blkid writes it
  std::string label;    // LABEL
};

// Probes byte ranges of disks for one file system each (superblocks only,
// file-system usage only, other signatures left aside). One prober serves a
// whole run: it keeps its two libblkid probes, set up once (building a
// probe's filter compares every prober's name with every name in the
// filter), and the buffer of its ZFS label check.
class FileSystemProber {
 public:
  FileSystemProber();
  ~FileSystemProber();
  FileSystemProber(const FileSystemProber&) = delete;
  FileSystemProber& operator=(const FileSystemProber&) = delete;

  // Probes bytes [offset, offset + length) of the disk or image file open
  // as `fd`. Returns 0 with `found` filled; 1005 when there is no file
  // system or more than one claims the range; 1117 when probing itself
  // fails.
  std::uint32_t Probe(int fd, std::uint64_t offset, std::uint64_t length, ProbedFileSystem& found);

 private:
  struct ProbeDeleter {
    void operator()(blkid_struct_probe* probe) const;
  };
  using OwnedProbe = std::unique_ptr<blkid_struct_probe, ProbeDeleter>;

  bool MayHoldZfs(int fd, std::uint64_t offset, std::uint64_t length);
  blkid_struct_probe* ProbeFor(bool zfs);

  std::unique_ptr<std::uint8_t[]> label_;  // one ZFS label, read here
  OwnedProbe withZfs_;                      // every file-system prober
  OwnedProbe withoutZfs_;                   // all of them but ZFS's
};

// One probe with a prober of its own.
std::uint32_t ProbeFileSystem(int fd, std::uint64_t offset, std::uint64_t length, ProbedFileSystem& found);

}  // namespace quillbrane
