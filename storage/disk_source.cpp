#include "storage/disk_source.h"

#include <cstring>

#include "storage/error_codes.h"

namespace quillbrane {

std::uint32_t MemoryDiskSource::ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) {
  if (offset > bytes_.size() || bytes_.size() - offset < out.size()) return ErrorIoDevice;
  if (!out.empty()) std::memcpy(out.data(), bytes_.data() + offset, out.size());
  return 0;
}

}  // namespace quillbrane
