// A read-only view of a whole disk as bytes, so the record builders work the
// same on a block device, an image file or a buffer in a test.
#pragma once

#include <cstdint>
#include <span>

namespace quillbrane {

class DiskSource {
 public:
  virtual ~DiskSource() = default;

  // Reads out.size() bytes starting at byte `offset`. Returns 0 on success,
  // or the Windows error code of the failure; a read that does not lie
  // wholly inside the disk fails.
  virtual std::uint32_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) = 0;
};

// What the platform knows of a disk apart from its content.
struct DiskFacts {
  std::uint64_t sizeBytes = 0;   // the whole disk, in bytes
  std::uint32_t sectorSize = 512; // logical sector size, in bytes
  bool removable = false;
};

// A disk held in memory.
class MemoryDiskSource final : public DiskSource {
 public:
  explicit MemoryDiskSource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  std::uint32_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override;

 private:
  std::span<const std::uint8_t> bytes_;
};

}  // namespace quillbrane
