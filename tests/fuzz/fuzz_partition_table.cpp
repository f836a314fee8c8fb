// Disks made by the fuzzer: the geometry and layout records must be built
// without reading outside the disk, looping or allocating without bound;
// a failed layout request must leave its buffer alone, a successful one
// must be one the report can walk, and the report of the disk must be made
// of whole lines.
//
// Input: a control byte, then (when bit 4 says so) a 32-bit count of zero
// sectors that follow the data, then the disk's first bytes.
//   bits 0-2  the logical sector size: 512, 1024, 2048, 4096, or one the
//             disk driver refuses (0, 256, 520, 8192)
//   bit 3     removable
//   bit 4     a tail of zero sectors: a disk far larger than the input
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include "fuzz_storage.h"
#include "storage/byte_order.h"
#include "storage/partition_table.h"
#include "storage/records.h"
#include "storage/utf16.h"
#include "survey/survey.h"

namespace {

using namespace quillbrane;

constexpr std::uint32_t SectorSizes[8] = {512, 1024, 2048, 4096, 0, 256, 520, 8192};

// The input's bytes followed by zeros up to the declared size. Reads
// outside the declared size fail, as on a real device.
class TailedDisk final : public DiskSource {
 public:
  TailedDisk(std::span<const std::uint8_t> head, std::uint64_t size) : head_(head), size_(size) {}
  std::uint32_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override {
    if (offset > size_ || size_ - offset < out.size()) std::abort();  // the decoder checks bounds first
    const std::size_t fromHead =
        offset < head_.size() ? std::min(out.size(), head_.size() - static_cast<std::size_t>(offset)) : 0;
    if (fromHead > 0) std::memcpy(out.data(), head_.data() + offset, fromHead);
    std::memset(out.data() + fromHead, 0, out.size() - fromHead);
    return 0;
  }

 private:
  std::span<const std::uint8_t> head_;
  std::uint64_t size_;
};

// One drive whose records are the decoder's answers; no volume answers.
class DecodedDrive final : public StorageQueries {
 public:
  std::uint32_t geometryCode = 0;
  std::array<std::uint8_t, GeometryBufferSize> geometry{};
  std::uint32_t layoutCode = 0;
  std::array<std::uint8_t, LayoutBufferSize> layout{};

  bool OpenPhysicalDrive(const char* path, DriveHandle& handle) override {
    if (std::strcmp(path, "\\\\.\\PhysicalDrive0") != 0) return Fail(2);
    handle.value = 1;
    return true;
  }
  bool QueryGeometry(DriveHandle, std::span<std::uint8_t, GeometryBufferSize> buffer) override {
    if (geometryCode != 0) return Fail(geometryCode);
    std::copy(geometry.begin(), geometry.end(), buffer.begin());
    return true;
  }
  bool QueryLayout(DriveHandle, std::span<std::uint8_t, LayoutBufferSize> buffer) override {
    if (layoutCode != 0) return Fail(layoutCode);
    std::copy(layout.begin(), layout.end(), buffer.begin());
    return true;
  }
  void CloseDrive(DriveHandle) override {}
  std::uint32_t LastErrorCode() override { return lastError_; }
  void LastErrorText(std::uint32_t, std::span<char, ErrorTextCapacity> text) override {
    std::memcpy(text.data(), "text\r\n", 7);
  }
  bool VolumePathNames(const char*, std::span<char, VolumeTextCapacity>) override { return Fail(2); }
  std::uint32_t DriveType(const char*) override { return DriveTypeNoRootDir; }
  bool VolumeInformation(const char*, VolumeInformationResult&) override { return Fail(3); }
  std::size_t WideToAnsi(std::span<const std::uint16_t> text, std::span<char> out) override {
    return Utf16ToUtf8(text, out);
  }

 private:
  bool Fail(std::uint32_t code) {
    lastError_ = code;
    return false;
  }
  std::uint32_t lastError_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::uint8_t control = data[0];
  std::span<const std::uint8_t> rest(data + 1, size - 1);
  std::uint64_t tailSectors = 0;
  if (control & 0x10) {
    if (rest.size() < 4) return 0;
    tailSectors = LoadU32(rest, 0);
    rest = rest.subspan(4);
  }
  DiskFacts facts;
  facts.sizeBytes = rest.size() + tailSectors * 512;
  facts.sectorSize = SectorSizes[control & 7];
  facts.removable = (control & 0x08) != 0;
  TailedDisk disk(rest, facts.sizeBytes);

  DecodedDrive drive;
  drive.geometryCode = FillGeometryRecord(disk, facts, drive.geometry);
  if (drive.geometryCode != 0 && std::any_of(drive.geometry.begin(), drive.geometry.end(), [](auto b) { return b; })) {
    // The geometry query fails only before it writes.
    std::abort();
  }

  std::array<std::uint8_t, LayoutBufferSize> untouched;
  untouched.fill(0xA5);
  drive.layout = untouched;
  drive.layoutCode = FillLayoutRecord(disk, facts, drive.layout);
  if (drive.layoutCode != 0) {
    // A failed request leaves the record as it was.
    if (drive.layout != untouched) std::abort();
  } else {
    const std::uint32_t style = LoadU32(drive.layout, layout::PartitionStyle);
    const std::uint32_t count = LoadU32(drive.layout, layout::PartitionCount);
    if (style > PartitionStyleRaw || count > LayoutEntryCapacity) std::abort();
    // Nothing is written past the entries the count covers.
    for (std::size_t i = layout::EntryOffset(count); i < LayoutBufferSize; ++i) {
      if (drive.layout[i] != 0) std::abort();
    }
  }

  fuzz::CheckingSink sink;
  ReportWriter report(sink);
  if (!WriteReport(drive, report)) std::abort();
  sink.Check();
  return 0;
}
