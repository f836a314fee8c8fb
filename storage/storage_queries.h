// The one seam between the survey and the platform's storage stack.
//
// Everything the survey learns about disks and volumes passes through
// StorageQueries, as the platform's own fixed-layout little-endian records
// (see records.h), so the section writers are the same on every platform.
// No operation throws: each reports success or failure as a value, and the
// platform error code of the request that failed last is kept for
// LastErrorCode(). This header includes no operating-system header.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "storage/records.h"

namespace quillbrane {

inline constexpr std::size_t ErrorTextCapacity = 256;

// The physical drive N is named by this prefix followed by N in decimal.
inline constexpr std::string_view PhysicalDrivePathPrefix = "\\\\.\\PhysicalDrive";
inline constexpr std::size_t VolumeTextCapacity = 1024;

// Windows GetDriveType results.
inline constexpr std::uint32_t DriveTypeUnknown = 0;
inline constexpr std::uint32_t DriveTypeNoRootDir = 1;
inline constexpr std::uint32_t DriveTypeRemovable = 2;
inline constexpr std::uint32_t DriveTypeFixed = 3;

// An open physical drive. Value 0 is never a valid handle.
struct DriveHandle {
  std::uintptr_t value = 0;
};

// What a volume information request returns. The two texts are
// NUL-terminated within their buffers.
struct VolumeInformationResult {
  std::array<char, VolumeTextCapacity> label{};
  std::array<char, VolumeTextCapacity> fileSystem{};
  std::uint32_t serialNumber = 0;
  std::uint32_t maximumComponentLength = 0;
  std::uint32_t fileSystemFlags = 0;
};

class StorageQueries {
 public:
  virtual ~StorageQueries() = default;

  // Opens the drive named by a device path such as "\\.\PhysicalDrive3" for
  // queries (never for writing). True and `handle` set on success; false on
  // failure, with the reason kept for LastErrorCode().
  virtual bool OpenPhysicalDrive(const char* path, DriveHandle& handle) = 0;

  // Fills `buffer` (zeroed by the caller) with the drive's DISK_GEOMETRY_EX.
  virtual bool QueryGeometry(DriveHandle handle,
                             std::span<std::uint8_t, GeometryBufferSize> buffer) = 0;

  // Fills `buffer` (zeroed by the caller) with the drive's
  // DRIVE_LAYOUT_INFORMATION_EX, at most LayoutEntryCapacity entries.
  virtual bool QueryLayout(DriveHandle handle,
                           std::span<std::uint8_t, LayoutBufferSize> buffer) = 0;

  // Releases a handle returned by OpenPhysicalDrive.
  virtual void CloseDrive(DriveHandle handle) = 0;

  // The platform error code of the request that failed last. Read it right
  // after the failure, before any other operation.
  virtual std::uint32_t LastErrorCode() = 0;

  // Writes the system's text for `code` into `text` as a NUL-terminated
  // string in the OEM code page, normally ending in CR LF; an empty string
  // when the system has no text for the code or it does not fit.
  virtual void LastErrorText(std::uint32_t code,
                             std::span<char, ErrorTextCapacity> text) = 0;

  // Lists the mount paths of the volume named by `volumePath`
  // ("\\?\Volume{GUID}\") into `paths` (zeroed by the caller): each path
  // NUL-terminated, the list ended by an empty one.
  virtual bool VolumePathNames(const char* volumePath,
                               std::span<char, VolumeTextCapacity> paths) = 0;

  // The drive type of the volume's root: 0 (unknown) to 6 (RAM disk);
  // 1 when no volume answers to the path.
  virtual std::uint32_t DriveType(const char* rootPath) = 0;

  // The volume's label (OEM code page), file-system name, serial number,
  // maximum file-name component length and file-system flags.
  virtual bool VolumeInformation(const char* rootPath,
                                 VolumeInformationResult& result) = 0;

  // Converts UTF-16 `text` to 8-bit text in the platform's ANSI code page.
  // Writes at most out.size() bytes (no terminator) and returns how many.
  virtual std::size_t WideToAnsi(std::span<const std::uint16_t> text,
                                 std::span<char> out) = 0;
};

}  // namespace quillbrane
