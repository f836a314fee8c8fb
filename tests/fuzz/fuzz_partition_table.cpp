// Disks made by the fuzzer: the geometry and layout records must be built
// without reading outside the disk, looping or allocating without bound,
// and a successful layout must be one the report can walk.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "storage/byte_order.h"
#include "storage/partition_table.h"
#include "storage/records.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  // The first byte picks the sector size and whether the disk is removable;
  // the rest is the disk.
  const std::uint8_t control = data[0];
  const std::span<const std::uint8_t> disk(data + 1, size - 1);
  quillbrane::DiskFacts facts;
  facts.sizeBytes = disk.size();
  facts.sectorSize = (control & 1) ? 4096 : 512;
  facts.removable = (control & 2) != 0;
  quillbrane::MemoryDiskSource source(disk);

  std::array<std::uint8_t, quillbrane::GeometryBufferSize> geometry{};
  quillbrane::FillGeometryRecord(source, facts, geometry);

  std::array<std::uint8_t, quillbrane::LayoutBufferSize> layout{};
  if (quillbrane::FillLayoutRecord(source, facts, layout) == 0) {
    const std::uint32_t count = quillbrane::LoadU32(layout, quillbrane::layout::PartitionCount);
    if (count > quillbrane::LayoutEntryCapacity) std::abort();
  } else {
    // A failed request leaves the record as it was.
    for (std::uint8_t b : layout) {
      if (b != 0) std::abort();
    }
  }
  return 0;
}
