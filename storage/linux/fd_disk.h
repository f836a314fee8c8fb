// A disk reached through an open file descriptor: a block device or, for
// tests, an image file.
#pragma once

#include <cstdint>
#include <span>

#include "storage/disk_source.h"

namespace quillbrane {

class FdDiskSource final : public DiskSource {
 public:
  FdDiskSource(int fd, std::uint64_t sizeBytes) : fd_(fd), sizeBytes_(sizeBytes) {}
  std::uint32_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override;

 private:
  int fd_;
  std::uint64_t sizeBytes_;
};

// The size and logical sector size of the disk behind `fd`: from the block
// device ioctls, or for a regular file its length and 512-byte sectors.
// Returns 0 or a Windows error code. `removable` is left as it is.
std::uint32_t ReadDiskFacts(int fd, DiskFacts& facts);

}  // namespace quillbrane
