// Finding the file system in a byte range of a disk, with libblkid.
#pragma once

#include <cstdint>
#include <string>

namespace quillbrane {

// blkid's values for a file system; each empty when blkid gives none.
struct ProbedFileSystem {
  std::string type;     // TYPE: "ext4", "vfat", "ntfs"
  std::string version;  // VERSION: "FAT32", "1.0"
  std::string uuid;     // UUID as blkid writes it
  std::string label;    // LABEL
};

// Probes bytes [offset, offset + length) of the disk or image file open as
// `fd` for one file system (superblocks only, file-system usage only, other
// signatures left aside). Returns 0 with `found` filled; 1005 when there is
// no file system or more than one claims the range; 1117 when probing
// itself fails.
std::uint32_t ProbeFileSystem(int fd, std::uint64_t offset, std::uint64_t length, ProbedFileSystem& found);

}  // namespace quillbrane
