// A scripted machine behind the storage seam: per drive, the records or
// error codes each query returns; per volume path, what the volume queries
// answer. It records every request so tests can check what was asked.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "storage/platform.h"
#include "storage/storage_queries.h"

namespace quillbrane::test {

struct FakeDrive {
  std::uint32_t openError = 0;  // non-zero: the open fails with this code
  std::optional<std::array<std::uint8_t, GeometryBufferSize>> geometry{};  // unset: fails
  std::uint32_t geometryError = 1;
  std::optional<std::array<std::uint8_t, LayoutBufferSize>> layout{};  // unset: fails
  std::uint32_t layoutError = 1;
};

struct FakeVolume {
  std::vector<std::string> paths{};
  bool pathsSucceed = true;
  std::uint32_t driveType = DriveTypeFixed;
  bool informationSucceeds = true;
  std::string label{};
  std::string fileSystem{};
  std::uint32_t serialNumber = 0;
  std::uint32_t maximumComponentLength = 255;
  std::uint32_t fileSystemFlags = 0;
};

class FakeStorage final : public StorageQueries {
 public:
  // Drives not listed fail to open with code 2.
  std::map<int, FakeDrive> drives;
  // Keyed by the full volume path "\\?\Volume{...}\". Paths not listed
  // fail their queries and have drive type 1.
  std::map<std::string, FakeVolume> volumes;
  // Error texts by code; codes not listed have no text.
  std::map<std::uint32_t, std::string> errorTexts;

  // Every request, in order, as "Open \\.\PhysicalDrive0", "Geometry 1", ...
  std::vector<std::string> calls;
  int openHandles = 0;

  bool OpenPhysicalDrive(const char* path, DriveHandle& handle) override;
  bool QueryGeometry(DriveHandle handle, std::span<std::uint8_t, GeometryBufferSize> buffer) override;
  bool QueryLayout(DriveHandle handle, std::span<std::uint8_t, LayoutBufferSize> buffer) override;
  void CloseDrive(DriveHandle handle) override;
  std::uint32_t LastErrorCode() override;
  void LastErrorText(std::uint32_t code, std::span<char, ErrorTextCapacity> text) override;
  bool VolumePathNames(const char* volumePath, std::span<char, VolumeTextCapacity> paths) override;
  std::uint32_t DriveType(const char* rootPath) override;
  bool VolumeInformation(const char* rootPath, VolumeInformationResult& result) override;
  std::size_t WideToAnsi(std::span<const std::uint16_t> text, std::span<char> out) override;

 private:
  bool Fail(std::uint32_t code);
  std::uint32_t lastError_ = 0;
};

// A report sink in memory that can be told to fail.
class MemorySink final : public ReportSink {
 public:
  std::string written;
  // The write that would take the total past this many bytes writes what
  // fits and fails with `failCode`.
  std::size_t capacity = static_cast<std::size_t>(-1);
  std::uint32_t failCode = 112;
  std::uint32_t closeCode = 0;
  int writes = 0;
  bool closed = false;

  std::uint32_t Write(const char* data, std::size_t size) override;
  std::uint32_t Close() override;
};

}  // namespace quillbrane::test
