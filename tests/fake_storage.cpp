#include "fake_storage.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "storage/utf16.h"

namespace quillbrane::test {

bool FakeStorage::Fail(std::uint32_t code) {
  lastError_ = code;
  return false;
}

bool FakeStorage::OpenPhysicalDrive(const char* path, DriveHandle& handle) {
  calls.push_back(std::string("Open ") + path);
  const std::string_view prefix = "\\\\.\\PhysicalDrive";
  const std::string_view text(path);
  if (text.substr(0, prefix.size()) != prefix) return Fail(2);
  const int number = std::stoi(std::string(text.substr(prefix.size())));
  const auto it = drives.find(number);
  if (it == drives.end()) return Fail(2);
  if (it->second.openError != 0) return Fail(it->second.openError);
  handle.value = static_cast<std::uintptr_t>(number) + 100;
  ++openHandles;
  return true;
}

bool FakeStorage::QueryGeometry(DriveHandle handle, std::span<std::uint8_t, GeometryBufferSize> buffer) {
  const int number = static_cast<int>(handle.value) - 100;
  calls.push_back("Geometry " + std::to_string(number));
  const FakeDrive& drive = drives.at(number);
  if (!drive.geometry) return Fail(drive.geometryError);
  std::copy(drive.geometry->begin(), drive.geometry->end(), buffer.begin());
  return true;
}

bool FakeStorage::QueryLayout(DriveHandle handle, std::span<std::uint8_t, LayoutBufferSize> buffer) {
  const int number = static_cast<int>(handle.value) - 100;
  calls.push_back("Layout " + std::to_string(number));
  const FakeDrive& drive = drives.at(number);
  if (!drive.layout) return Fail(drive.layoutError);
  std::copy(drive.layout->begin(), drive.layout->end(), buffer.begin());
  return true;
}

void FakeStorage::CloseDrive(DriveHandle handle) {
  calls.push_back("Close " + std::to_string(static_cast<int>(handle.value) - 100));
  --openHandles;
}

std::uint32_t FakeStorage::LastErrorCode() { return lastError_; }

void FakeStorage::LastErrorText(std::uint32_t code, std::span<char, ErrorTextCapacity> text) {
  std::memset(text.data(), 0, text.size());
  const auto it = errorTexts.find(code);
  if (it != errorTexts.end() && it->second.size() < text.size()) {
    std::memcpy(text.data(), it->second.data(), it->second.size());
  }
}

bool FakeStorage::VolumePathNames(const char* volumePath, std::span<char, VolumeTextCapacity> paths) {
  calls.push_back(std::string("Paths ") + volumePath);
  const auto it = volumes.find(volumePath);
  if (it == volumes.end()) return Fail(2);
  std::size_t at = 0;
  for (const std::string& path : it->second.paths) {
    // Copies as much as fits, so a test can overfill the buffer.
    for (char c : path) {
      if (at < paths.size()) paths[at++] = c;
    }
    if (at < paths.size()) paths[at++] = '\0';
  }
  return it->second.pathsSucceed || Fail(234);
}

std::uint32_t FakeStorage::DriveType(const char* rootPath) {
  calls.push_back(std::string("DriveType ") + rootPath);
  const auto it = volumes.find(rootPath);
  return it == volumes.end() ? DriveTypeNoRootDir : it->second.driveType;
}

bool FakeStorage::VolumeInformation(const char* rootPath, VolumeInformationResult& result) {
  calls.push_back(std::string("Information ") + rootPath);
  const auto it = volumes.find(rootPath);
  if (it == volumes.end()) return Fail(3);
  const FakeVolume& volume = it->second;
  if (!volume.informationSucceeds) return Fail(1005);
  std::snprintf(result.label.data(), result.label.size(), "%s", volume.label.c_str());
  std::snprintf(result.fileSystem.data(), result.fileSystem.size(), "%s", volume.fileSystem.c_str());
  result.serialNumber = volume.serialNumber;
  result.maximumComponentLength = volume.maximumComponentLength;
  result.fileSystemFlags = volume.fileSystemFlags;
  return true;
}

std::size_t FakeStorage::WideToAnsi(std::span<const std::uint16_t> text, std::span<char> out) {
  return Utf16ToUtf8(text, out);
}

std::uint32_t MemorySink::Write(const char* data, std::size_t size) {
  ++writes;
  const std::size_t room = capacity > written.size() ? capacity - written.size() : 0;
  written.append(data, std::min(room, size));
  return size > room ? failCode : 0;
}

std::uint32_t MemorySink::Close() {
  closed = true;
  return closeCode;
}

}  // namespace quillbrane::test
