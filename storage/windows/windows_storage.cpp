// Storage queries answered by the Win32 storage stack: each operation is
// one documented kernel32 or user32 call whose record lands unchanged in
// the caller's buffer.
#include <windows.h>
// Left out of <windows.h> by WIN32_LEAN_AND_MEAN.
#include <winioctl.h>

#include <cstddef>
#include <vector>

#include "storage/platform.h"
#include "storage/records.h"

namespace quillbrane {
namespace {

static_assert(IOCTL_DISK_GET_DRIVE_GEOMETRY_EX == 0x000700A0);
static_assert(IOCTL_DISK_GET_DRIVE_LAYOUT_EX == 0x00070050);
static_assert(sizeof(HANDLE) <= sizeof(std::uintptr_t));

// The records pass through this file unchanged: the names the section
// writers read must be where the platform's own declarations put them.
constexpr std::size_t DiskGeometry = offsetof(DISK_GEOMETRY_EX, Geometry);
static_assert(DiskGeometry + offsetof(DISK_GEOMETRY, Cylinders) == geometry::Cylinders);
static_assert(DiskGeometry + offsetof(DISK_GEOMETRY, MediaType) == geometry::MediaType);
static_assert(DiskGeometry + offsetof(DISK_GEOMETRY, TracksPerCylinder) == geometry::TracksPerCylinder);
static_assert(DiskGeometry + offsetof(DISK_GEOMETRY, SectorsPerTrack) == geometry::SectorsPerTrack);
static_assert(DiskGeometry + offsetof(DISK_GEOMETRY, BytesPerSector) == geometry::BytesPerSector);
static_assert(offsetof(DISK_GEOMETRY_EX, DiskSize) == geometry::DiskSize);
static_assert(offsetof(DISK_GEOMETRY_EX, Data) == geometry::PartitionInfo);
static_assert(geometry::PartitionInfo + offsetof(DISK_PARTITION_INFO, PartitionStyle) == geometry::PartitionStyle);
static_assert(geometry::PartitionInfo + offsetof(DISK_PARTITION_INFO, Mbr) == geometry::MbrSignature);
static_assert(geometry::PartitionInfo + offsetof(DISK_PARTITION_INFO, Gpt) == geometry::GptDiskId);
static_assert(sizeof(DISK_PARTITION_INFO) == geometry::PartitionInfoSizeGpt);
static_assert(offsetof(DISK_DETECTION_INFO, DetectionType) == geometry::DetectionType);
static_assert(offsetof(DISK_DETECTION_INFO, Int13) + offsetof(DISK_INT13_INFO, MaxCylinders) ==
              geometry::Int13MaxCylinders);
static_assert(offsetof(DISK_DETECTION_INFO, ExInt13) + offsetof(DISK_EX_INT13_INFO, ExCylinders) ==
              geometry::ExInt13ExCylinders);

constexpr std::size_t LayoutGpt = offsetof(DRIVE_LAYOUT_INFORMATION_EX, Gpt);
static_assert(offsetof(DRIVE_LAYOUT_INFORMATION_EX, PartitionCount) == layout::PartitionCount);
static_assert(offsetof(DRIVE_LAYOUT_INFORMATION_EX, Mbr) == layout::MbrSignature);
static_assert(LayoutGpt == layout::GptDiskId);
static_assert(LayoutGpt + offsetof(DRIVE_LAYOUT_INFORMATION_GPT, StartingUsableOffset) ==
              layout::GptStartingUsableOffset);
static_assert(LayoutGpt + offsetof(DRIVE_LAYOUT_INFORMATION_GPT, UsableLength) == layout::GptUsableLength);
static_assert(LayoutGpt + offsetof(DRIVE_LAYOUT_INFORMATION_GPT, MaxPartitionCount) == layout::GptMaxPartitionCount);
static_assert(offsetof(DRIVE_LAYOUT_INFORMATION_EX, PartitionEntry) == layout::PartitionEntries);
static_assert(sizeof(PARTITION_INFORMATION_EX) == PartitionEntrySize);

constexpr std::size_t EntryMbr = offsetof(PARTITION_INFORMATION_EX, Mbr);
constexpr std::size_t EntryGpt = offsetof(PARTITION_INFORMATION_EX, Gpt);
static_assert(offsetof(PARTITION_INFORMATION_EX, StartingOffset) == entry::StartingOffset);
static_assert(offsetof(PARTITION_INFORMATION_EX, PartitionLength) == entry::PartitionLength);
static_assert(offsetof(PARTITION_INFORMATION_EX, PartitionNumber) == entry::PartitionNumber);
static_assert(offsetof(PARTITION_INFORMATION_EX, RewritePartition) == entry::RewritePartition);
static_assert(EntryMbr + offsetof(PARTITION_INFORMATION_MBR, PartitionType) == entry::MbrPartitionType);
static_assert(EntryMbr + offsetof(PARTITION_INFORMATION_MBR, BootIndicator) == entry::MbrBootIndicator);
static_assert(EntryMbr + offsetof(PARTITION_INFORMATION_MBR, RecognizedPartition) == entry::MbrRecognizedPartition);
static_assert(EntryMbr + offsetof(PARTITION_INFORMATION_MBR, HiddenSectors) == entry::MbrHiddenSectors);
static_assert(EntryGpt + offsetof(PARTITION_INFORMATION_GPT, PartitionType) == entry::GptPartitionType);
static_assert(EntryGpt + offsetof(PARTITION_INFORMATION_GPT, PartitionId) == entry::GptPartitionId);
static_assert(EntryGpt + offsetof(PARTITION_INFORMATION_GPT, Attributes) == entry::GptAttributes);
static_assert(EntryGpt + offsetof(PARTITION_INFORMATION_GPT, Name) == entry::GptName);
static_assert(sizeof(PARTITION_INFORMATION_GPT::Name) / sizeof(WCHAR) == entry::GptNameUnits);

static_assert(sizeof(wchar_t) == sizeof(std::uint16_t), "Windows' wchar_t is one UTF-16 unit");

// The language argument of FormatMessageA: LANG_NEUTRAL, SUBLANG_DEFAULT,
// that is the user's default language.
constexpr DWORD UserDefaultLanguage = 0x0400;

HANDLE ToHandle(DriveHandle handle) { return reinterpret_cast<HANDLE>(handle.value); }

class WindowsStorage final : public StorageQueries {
 public:
  bool OpenPhysicalDrive(const char* path, DriveHandle& handle) override {
    // Access 0: the drive is queried, never read or written, which Windows
    // allows without administrator rights.
    const HANDLE drive = CreateFileA(path, 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (drive == INVALID_HANDLE_VALUE) return Failed();
    handle.value = reinterpret_cast<std::uintptr_t>(drive);
    return true;
  }

  bool QueryGeometry(DriveHandle handle, std::span<std::uint8_t, GeometryBufferSize> buffer) override {
    return Control(handle, IOCTL_DISK_GET_DRIVE_GEOMETRY_EX, buffer);
  }

  bool QueryLayout(DriveHandle handle, std::span<std::uint8_t, LayoutBufferSize> buffer) override {
    return Control(handle, IOCTL_DISK_GET_DRIVE_LAYOUT_EX, buffer);
  }

  void CloseDrive(DriveHandle handle) override { CloseHandle(ToHandle(handle)); }

  std::uint32_t LastErrorCode() override { return lastError_; }

  void LastErrorText(std::uint32_t code, std::span<char, ErrorTextCapacity> text) override {
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code, UserDefaultLanguage,
                                        text.data(), static_cast<DWORD>(text.size()), nullptr);
    if (length == 0 || length >= text.size()) {
      // No text for the code, or it did not fit: the contract is an empty
      // text, whatever FormatMessageA left in the buffer.
      text[0] = '\0';
      return;
    }
    text[length] = '\0';
    CharToOemA(text.data(), text.data());
  }

  bool VolumePathNames(const char* volumePath, std::span<char, VolumeTextCapacity> paths) override {
    DWORD length = 0;
    if (!GetVolumePathNamesForVolumeNameA(volumePath, paths.data(), static_cast<DWORD>(paths.size()), &length)) {
      return Failed();
    }
    return true;
  }

  std::uint32_t DriveType(const char* rootPath) override { return GetDriveTypeA(rootPath); }

  bool VolumeInformation(const char* rootPath, VolumeInformationResult& result) override {
    DWORD serial = 0;
    DWORD maximumComponent = 0;
    DWORD flags = 0;
    if (!GetVolumeInformationA(rootPath, result.label.data(), static_cast<DWORD>(result.label.size()), &serial,
                               &maximumComponent, &flags, result.fileSystem.data(),
                               static_cast<DWORD>(result.fileSystem.size()))) {
      return Failed();
    }
    CharToOemA(result.label.data(), result.label.data());
    result.serialNumber = serial;
    result.maximumComponentLength = maximumComponent;
    result.fileSystemFlags = flags;
    return true;
  }

  std::size_t WideToAnsi(std::span<const std::uint16_t> text, std::span<char> out) override {
    // The record holds the name as raw little-endian units, not as wchar_t
    // objects: copy them out rather than reinterpret the bytes.
    const std::vector<wchar_t> wide(text.begin(), text.end());
    int units = static_cast<int>(wide.size());
    // WideCharToMultiByte writes nothing at all into a buffer that is too
    // small, so the longest run of whole characters that fits is found
    // first, never splitting a surrogate pair or a double-byte character.
    while (units > 0 && AnsiLength(wide.data(), units) > out.size()) {
      --units;
      if (units > 0 && IsLowSurrogate(wide[static_cast<std::size_t>(units)])) --units;
    }
    if (units == 0 || out.empty()) return 0;
    const int written = WideCharToMultiByte(CP_THREAD_ACP, 0, wide.data(), units, out.data(),
                                            static_cast<int>(out.size()), nullptr, nullptr);
    return written > 0 ? static_cast<std::size_t>(written) : 0;
  }

 private:
  template <std::size_t Size>
  bool Control(DriveHandle handle, DWORD code, std::span<std::uint8_t, Size> buffer) {
    DWORD returned = 0;
    if (!DeviceIoControl(ToHandle(handle), code, nullptr, 0, buffer.data(), static_cast<DWORD>(buffer.size()),
                         &returned, nullptr)) {
      return Failed();
    }
    return true;
  }

  static std::size_t AnsiLength(const wchar_t* text, int units) {
    const int length = WideCharToMultiByte(CP_THREAD_ACP, 0, text, units, nullptr, 0, nullptr, nullptr);
    return length > 0 ? static_cast<std::size_t>(length) : 0;
  }

  static bool IsLowSurrogate(wchar_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

  // The code is taken at once, before any other call can overwrite the
  // thread's last-error value.
  bool Failed() {
    lastError_ = GetLastError();
    return false;
  }

  std::uint32_t lastError_ = 0;
};

}  // namespace

std::unique_ptr<StorageQueries> CreatePlatformStorage() { return std::make_unique<WindowsStorage>(); }

}  // namespace quillbrane
