// The volume details of one partition, with the mount-path list and the
// volume texts taken from the fuzzer: the walk of the path list must stay
// inside its buffer and no text may break a report line.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz_storage.h"
#include "sections/sections.h"

namespace {

class PathListStorage final : public quillbrane::StorageQueries {
 public:
  PathListStorage(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool OpenPhysicalDrive(const char*, quillbrane::DriveHandle&) override { return false; }
  bool QueryGeometry(quillbrane::DriveHandle, std::span<std::uint8_t, quillbrane::GeometryBufferSize>) override { return false; }
  bool QueryLayout(quillbrane::DriveHandle, std::span<std::uint8_t, quillbrane::LayoutBufferSize>) override { return false; }
  void CloseDrive(quillbrane::DriveHandle) override {}
  std::uint32_t LastErrorCode() override { return 0; }
  void LastErrorText(std::uint32_t, std::span<char, quillbrane::ErrorTextCapacity>) override {}
  bool VolumePathNames(const char*, std::span<char, quillbrane::VolumeTextCapacity> paths) override {
    // The input is the buffer as the platform left it, up to its full size.
    std::memcpy(paths.data(), data_, std::min(size_, paths.size()));
    return true;
  }
  std::uint32_t DriveType(const char*) override { return size_ > 0 ? data_[0] % 8 : 0; }
  bool VolumeInformation(const char*, quillbrane::VolumeInformationResult& result) override {
    std::memcpy(result.label.data(), data_, std::min(size_, result.label.size()));
    std::memcpy(result.fileSystem.data(), data_, std::min(size_, result.fileSystem.size()));
    return size_ % 2 == 0;
  }
  std::size_t WideToAnsi(std::span<const std::uint16_t>, std::span<char>) override { return 0; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  PathListStorage storage(data, size);
  quillbrane::fuzz::CheckingSink sink;
  quillbrane::ReportWriter report(sink);
  quillbrane::SurveyBuffers buffers;
  quillbrane::SurveyContext context{storage, report, buffers};
  quillbrane::WriteVolumeDetails(context, "{00000000-0000-0000-0000-000000000000}");
  if (!report.Close()) std::abort();
  sink.Check();
  return 0;
}
