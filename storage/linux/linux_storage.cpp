// Storage queries answered from the Linux storage stack, filling the same
// records Windows fills.
#include "storage/linux/linux_storage.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

#include "storage/error_codes.h"
#include "storage/linux/drive_list.h"
#include "storage/linux/fd_disk.h"
#include "storage/partition_table.h"
#include "storage/utf16.h"

namespace quillbrane {
namespace {

constexpr std::string_view PhysicalDrivePrefix = "\\\\.\\PhysicalDrive";

// The drive number of a "\\.\PhysicalDriveN" path.
std::optional<std::size_t> ParseDriveNumber(std::string_view path) {
  if (path.substr(0, PhysicalDrivePrefix.size()) != PhysicalDrivePrefix) return std::nullopt;
  const std::string_view digits = path.substr(PhysicalDrivePrefix.size());
  if (digits.empty() || digits.size() > 9) return std::nullopt;
  std::size_t number = 0;
  const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  if (result.ec != std::errc() || result.ptr != digits.data() + digits.size()) return std::nullopt;
  return number;
}

class LinuxStorage final : public StorageQueries {
 public:
  explicit LinuxStorage(LinuxRoots roots) : roots_(std::move(roots)) {}
  ~LinuxStorage() override {
    for (OpenDrive& drive : open_) {
      if (drive.fd >= 0) close(drive.fd);
    }
  }

  bool OpenPhysicalDrive(const char* path, DriveHandle& handle) override {
    const std::optional<std::size_t> number = ParseDriveNumber(path);
    const std::vector<LinuxDrive>& drives = Drives();
    if (!number || *number >= drives.size()) return Fail(ErrorFileNotFound);
    const LinuxDrive& drive = drives[*number];
    const std::string device = roots_.dev + "/" + drive.name;
    // Read-only, always: the survey never writes to a disk.
    const int fd = open(device.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return Fail(WindowsErrorFromErrno(errno));
    open_.push_back(OpenDrive{fd, drive});
    handle.value = open_.size();
    return true;
  }

  bool QueryGeometry(DriveHandle handle, std::span<std::uint8_t, GeometryBufferSize> buffer) override {
    OpenDrive* drive = Find(handle);
    if (drive == nullptr) return Fail(6);
    DiskFacts facts;
    facts.removable = drive->drive.removable;
    if (const std::uint32_t code = ReadDiskFacts(drive->fd, facts); code != 0) return Fail(code);
    FdDiskSource disk(drive->fd, facts.sizeBytes);
    if (const std::uint32_t code = FillGeometryRecord(disk, facts, buffer); code != 0) return Fail(code);
    return true;
  }

  bool QueryLayout(DriveHandle handle, std::span<std::uint8_t, LayoutBufferSize> buffer) override {
    OpenDrive* drive = Find(handle);
    if (drive == nullptr) return Fail(6);
    // The tables are read from the whole-disk device itself: the kernel may
    // have no partition support, and its view is not Windows' anyway.
    DiskFacts facts;
    facts.removable = drive->drive.removable;
    if (const std::uint32_t code = ReadDiskFacts(drive->fd, facts); code != 0) return Fail(code);
    FdDiskSource disk(drive->fd, facts.sizeBytes);
    if (const std::uint32_t code = FillLayoutRecord(disk, facts, buffer); code != 0) return Fail(code);
    return true;
  }

  void CloseDrive(DriveHandle handle) override {
    if (OpenDrive* drive = Find(handle)) {
      close(drive->fd);
      drive->fd = -1;
    }
  }

  std::uint32_t LastErrorCode() override { return lastError_; }

  void LastErrorText(std::uint32_t code, std::span<char, ErrorTextCapacity> text) override {
    const std::string message = WindowsErrorText(code);
    std::memset(text.data(), 0, text.size());
    if (message.size() < text.size()) std::memcpy(text.data(), message.data(), message.size());
  }

  bool VolumePathNames(const char*, std::span<char, VolumeTextCapacity>) override {
    return Fail(ErrorFileNotFound);
  }

  std::uint32_t DriveType(const char*) override { return DriveTypeNoRootDir; }

  bool VolumeInformation(const char*, VolumeInformationResult&) override {
    return Fail(ErrorPathNotFound);
  }

  std::size_t WideToAnsi(std::span<const std::uint16_t> text, std::span<char> out) override {
    return Utf16ToUtf8(text, out);
  }

 private:
  struct OpenDrive {
    int fd = -1;
    LinuxDrive drive;
  };

  bool Fail(std::uint32_t code) {
    lastError_ = code;
    return false;
  }

  // The list is taken once, at the first open, so drive numbers stay the
  // same for the whole run.
  const std::vector<LinuxDrive>& Drives() {
    if (!drives_) drives_ = ListPhysicalDrives(roots_.sysBlock);
    return *drives_;
  }

  OpenDrive* Find(DriveHandle handle) {
    if (handle.value == 0 || handle.value > open_.size()) return nullptr;
    OpenDrive& drive = open_[handle.value - 1];
    return drive.fd >= 0 ? &drive : nullptr;
  }

  LinuxRoots roots_;
  std::optional<std::vector<LinuxDrive>> drives_;
  std::vector<OpenDrive> open_;
  std::uint32_t lastError_ = 0;
};

}  // namespace

std::unique_ptr<StorageQueries> CreateLinuxStorage(const LinuxRoots& roots) {
  return std::make_unique<LinuxStorage>(roots);
}

std::unique_ptr<StorageQueries> CreatePlatformStorage() { return CreateLinuxStorage(LinuxRoots{}); }

}  // namespace quillbrane
