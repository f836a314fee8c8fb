// Storage queries answered from the Linux storage stack, filling the same
// records Windows fills. A volume is the file system on a partition that
// the partition tables name; its mount points come from the mount table,
// its details from libblkid.
#include "storage/linux/linux_storage.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "storage/error_codes.h"
#include "storage/file_systems.h"
#include "storage/linux/block_devices.h"
#include "storage/linux/drive_list.h"
#include "storage/linux/fd_disk.h"
#include "storage/linux/file_system_probe.h"
#include "storage/linux/volume_mounts.h"
#include "storage/partition_table.h"
#include "storage/utf16.h"
#include "storage/volumes.h"

namespace quillbrane {
namespace {


// The drive number of a "\\.\PhysicalDriveN" path.
std::optional<std::size_t> ParseDriveNumber(std::string_view path) {
  if (path.substr(0, PhysicalDrivePathPrefix.size()) != PhysicalDrivePathPrefix) return std::nullopt;
  const std::string_view digits = path.substr(PhysicalDrivePathPrefix.size());
  if (digits.empty() || digits.size() > 9) return std::nullopt;
  std::size_t number = 0;
  const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  if (result.ec != std::errc() || result.ptr != digits.data() + digits.size()) return std::nullopt;
  return number;
}

// A file descriptor closed when it goes out of scope.
class ScopedFd {
 public:
  explicit ScopedFd(int fd) : fd_(fd) {}
  ScopedFd(const ScopedFd&) = delete;
  ScopedFd& operator=(const ScopedFd&) = delete;
  ~ScopedFd() {
    if (fd_ >= 0) close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

// Reads the layout record of the disk open as `fd`. Returns 0 or a Windows
// error code.
std::uint32_t ReadLayout(int fd, bool removable, DiskFacts& facts,
                         std::span<std::uint8_t, LayoutBufferSize> record) {
  facts.removable = removable;
  if (const std::uint32_t code = ReadDiskFacts(fd, facts); code != 0) return code;
  FdDiskSource disk(fd, facts.sizeBytes);
  return FillLayoutRecord(disk, facts, record);
}

// Copies `text` into `out` as a NUL-terminated string, cut to fit.
void CopyText(std::string_view text, std::span<char, VolumeTextCapacity> out) {
  std::fill(out.begin(), out.end(), '\0');
  std::copy_n(text.begin(), std::min(text.size(), out.size() - 1), out.begin());
}

class LinuxStorage final : public StorageQueries {
 public:
  explicit LinuxStorage(LinuxRoots roots) : roots_(std::move(roots)) {}
  ~LinuxStorage() override {
    for (OpenDrive& drive : open_) {
      if (drive.fd >= 0) close(drive.fd);
    }
    for (int fd : keptFds_) {
      if (fd >= 0) close(fd);
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
    open_.push_back(OpenDrive{fd, drive, *number});
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
    const DecodedLayout& layout = LayoutOf(drive->number, drive->fd);
    if (layout.code != 0) return Fail(layout.code);
    std::copy(layout.record.begin(), layout.record.end(), buffer.begin());
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

  bool VolumePathNames(const char* volumePath, std::span<char, VolumeTextCapacity> paths) override {
    Guid id{};
    if (!ParseVolumeGuidPath(volumePath, id)) return Fail(ErrorInvalidName);
    const IndexedVolume* volume = FindVolumeByPartitionId(VolumeIndex(), id);
    if (volume == nullptr) return Fail(ErrorFileNotFound);
    const MountSnapshot& snapshot = Mounts();
    if (snapshot.ErrorCode() != 0) return Fail(snapshot.ErrorCode());
    std::vector<MountRecord> mounts;
    snapshot.MountsOf(PlaceOf(*volume), mounts);
    const std::vector<std::string> mountPaths = MountPathsFor(mounts);
    if (!PackVolumePaths(mountPaths, paths)) return Fail(ErrorMoreData);
    return true;
  }

  std::uint32_t DriveType(const char* rootPath) override {
    Guid id{};
    if (!ParseVolumeGuidPath(rootPath, id)) return DriveTypeNoRootDir;
    const IndexedVolume* volume = FindVolumeByPartitionId(VolumeIndex(), id);
    if (volume == nullptr) return DriveTypeNoRootDir;
    return Drives()[volume->drive].removable ? DriveTypeRemovable : DriveTypeFixed;
  }

  bool VolumeInformation(const char* rootPath, VolumeInformationResult& result) override {
    Guid id{};
    if (!ParseVolumeGuidPath(rootPath, id)) return Fail(ErrorInvalidName);
    const IndexedVolume* volume = FindVolumeByPartitionId(VolumeIndex(), id);
    if (volume == nullptr) return Fail(ErrorPathNotFound);
    const LinuxDrive& drive = Drives()[volume->drive];

    // The drive is normally open already, in the survey's own drive block;
    // probing through that descriptor also keeps the device's page cache.
    const int openFd = OpenFdOf(volume->drive);
    const ScopedFd ownFd(openFd >= 0 ? -1 : open(DeviceNode(drive).c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    const int fd = openFd >= 0 ? openFd : ownFd.get();
    if (fd < 0) return Fail(WindowsErrorFromErrno(errno));
    ProbedFileSystem found;
    if (const std::uint32_t code = prober_.Probe(fd, volume->extent.offset, volume->extent.length, found);
        code != 0) {
      return Fail(code);
    }
    int readOnly = 0;
    // BLKROGET fails on an image file; sysfs then answers for the device.
    const bool deviceReadOnly = (ioctl(fd, BLKROGET, &readOnly) == 0 && readOnly != 0) ||
                                IsReadOnlyBlockDevice(roots_.sysBlock, drive.name);

    // An unreadable mount table leaves the volume as if it were not mounted.
    std::vector<MountRecord> mounts;
    Mounts().MountsOf(PlaceOf(*volume), mounts);

    const FileSystemDescription description = DescribeFileSystem(found.type, found.version, found.uuid);
    CopyText(found.label, result.label);
    CopyText(description.name, result.fileSystem);
    result.serialNumber = description.serialNumber;
    result.maximumComponentLength = MaximumComponentLength(mounts);
    result.fileSystemFlags = description.flags | (IsReadOnlyVolume(deviceReadOnly, mounts) ? FileReadOnlyVolume : 0);
    return true;
  }

  std::size_t WideToAnsi(std::span<const std::uint16_t> text, std::span<char> out) override {
    return Utf16ToUtf8(text, out);
  }

 private:
  struct OpenDrive {
    int fd = -1;
    LinuxDrive drive;
    std::size_t number = 0;  // in the drive list
  };

  // A drive's layout record as decoded once for the run, or why it could
  // not be.
  struct DecodedLayout {
    std::uint32_t code = 0;
    std::uint64_t diskSize = 0;
    std::array<std::uint8_t, LayoutBufferSize> record{};
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

  std::string DeviceNode(const LinuxDrive& drive) const { return roots_.dev + "/" + drive.name; }

  // The volumes of every listed drive, in drive order. Built at the first
  // volume query and kept for the run, like the drive list it follows; a
  // drive that cannot be opened or whose layout cannot be read has none.
  const std::vector<IndexedVolume>& VolumeIndex() {
    if (volumes_) return *volumes_;
    volumes_.emplace();
    const std::vector<LinuxDrive>& drives = Drives();
    backingFiles_.assign(drives.size(), std::string());
    for (std::size_t number = 0; number < drives.size(); ++number) {
      const DecodedLayout& layout = LayoutOf(number, OpenFdOf(number));
      if (layout.code != 0) continue;
      backingFiles_[number] = LoopBackingFile(roots_.sysBlock, drives[number].name);
      for (const VolumeExtent& extent : ListLayoutVolumes(layout.record)) {
        volumes_->push_back(IndexedVolume{extent, number});
      }
    }
    return *volumes_;
  }

  // The layout of drive `number`, decoded at most once a run: the volume
  // index needs every drive's layout, and the survey asks for each again.
  // `fd` is the drive's open descriptor, or -1 to open the device here.
  const DecodedLayout& LayoutOf(std::size_t number, int fd) {
    if (layouts_.size() != Drives().size()) layouts_.resize(Drives().size());
    std::unique_ptr<DecodedLayout>& slot = layouts_[number];
    if (slot) return *slot;
    slot = std::make_unique<DecodedLayout>();
    if (fd < 0) fd = KeptFd(number);
    if (fd < 0) {
      // Not kept: the drive may still open in its own drive block.
      openFailure_.code = WindowsErrorFromErrno(errno);
      slot.reset();
      return openFailure_;
    }
    DiskFacts facts;
    slot->code = ReadLayout(fd, Drives()[number].removable, facts, slot->record);
    slot->diskSize = facts.sizeBytes;
    return *slot;
  }

  // A descriptor of drive `number` opened here and kept until the run ends,
  // or -1 with errno set. Kept because the kernel drops a block device's
  // page cache at its last close: the survey's own open of the drive then
  // finds its tables and superblocks still cached.
  int KeptFd(std::size_t number) {
    if (keptFds_.size() != Drives().size()) keptFds_.resize(Drives().size(), -1);
    if (keptFds_[number] < 0) {
      keptFds_[number] = open(DeviceNode(Drives()[number]).c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    }
    return keptFds_[number];
  }

  // A descriptor of drive `number` that is already open, else -1.
  int OpenFdOf(std::size_t number) const {
    for (const OpenDrive& drive : open_) {
      if (drive.number == number && drive.fd >= 0) return drive.fd;
    }
    return number < keptFds_.size() ? keptFds_[number] : -1;
  }

  // The mount table and block devices, read at the first volume query that
  // needs them and kept for the run.
  const MountSnapshot& Mounts() {
    if (!mounts_) mounts_ = MountSnapshot::Read(roots_);
    return *mounts_;
  }

  PartitionPlace PlaceOf(const IndexedVolume& volume) {
    const LinuxDrive& drive = Drives()[volume.drive];
    PartitionPlace place;
    place.diskName = drive.name;
    place.diskNode = DeviceNode(drive);
    place.diskBackingFile = backingFiles_[volume.drive];
    place.diskSize = layouts_[volume.drive]->diskSize;
    place.offset = volume.extent.offset;
    place.length = volume.extent.length;
    return place;
  }

  // What the file system mounted first says; the usual limit otherwise.
  static std::uint32_t MaximumComponentLength(const std::vector<MountRecord>& mounts) {
    for (const MountRecord& mount : mounts) {
      struct statvfs info {};
      if (statvfs(mount.target.c_str(), &info) == 0 && info.f_namemax > 0 && info.f_namemax <= UINT32_MAX) {
        return static_cast<std::uint32_t>(info.f_namemax);
      }
    }
    return DefaultMaximumComponentLength;
  }

  OpenDrive* Find(DriveHandle handle) {
    if (handle.value == 0 || handle.value > open_.size()) return nullptr;
    OpenDrive& drive = open_[handle.value - 1];
    return drive.fd >= 0 ? &drive : nullptr;
  }

  LinuxRoots roots_;
  FileSystemProber prober_;
  std::optional<std::vector<LinuxDrive>> drives_;
  std::optional<std::vector<IndexedVolume>> volumes_;
  std::vector<std::unique_ptr<DecodedLayout>> layouts_;  // by drive number
  std::vector<std::string> backingFiles_;                // by drive number
  std::optional<MountSnapshot> mounts_;
  DecodedLayout openFailure_;
  std::vector<int> keptFds_;  // by drive number; -1 when not open
  std::vector<OpenDrive> open_;
  std::uint32_t lastError_ = 0;
};

}  // namespace

std::unique_ptr<StorageQueries> CreateLinuxStorage(const LinuxRoots& roots) {
  return std::make_unique<LinuxStorage>(roots);
}

std::unique_ptr<StorageQueries> CreatePlatformStorage() { return CreateLinuxStorage(LinuxRoots{}); }

}  // namespace quillbrane
