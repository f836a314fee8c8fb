// File-system names, serial numbers and flags from blkid's values.
#include "storage/file_systems.h"

#include <array>

#include "storage/hex_digits.h"

namespace quillbrane {
namespace {

// What the usual Linux disk file systems can all do, in Windows' terms:
// names are compared and kept exactly as written (case-sensitive search,
// case-preserved names); a name is any byte string, UTF-8 by convention,
// so every Unicode name can be stored; owners, modes and POSIX ACLs persist;
// files can have holes (sparse files); symbolic links (reparse points);
// an open file can be unlinked or renamed over (POSIX unlink and rename);
// hard links; extended attributes; files can be opened by handle
// (name_to_handle_at / open_by_handle_at, the counterpart of opening by
// file ID).
constexpr std::uint32_t PosixDiskFlags =
    FileCaseSensitiveSearch | FileCasePreservedNames | FileUnicodeOnDisk | FilePersistentAcls |
    FileSupportsSparseFiles | FileSupportsReparsePoints | FileSupportsPosixUnlinkRename |
    FileSupportsHardLinks | FileSupportsExtendedAttributes | FileSupportsOpenByFileId;

struct LinuxFileSystemFlags {
  std::string_view type;  // blkid's TYPE
  std::uint32_t flags;
};

constexpr std::array<LinuxFileSystemFlags, 7> LinuxFlagTable = {{
    // User and group quotas.
    {"ext2", PosixDiskFlags | FileVolumeQuotas},
    {"ext3", PosixDiskFlags | FileVolumeQuotas},
    {"ext4", PosixDiskFlags | FileVolumeQuotas},
    // Quotas, and shared extents (reflink copies).
    {"xfs", PosixDiskFlags | FileVolumeQuotas | FileSupportsBlockRefcounting},
    // Transparent compression, shared extents, checksummed data.
    {"btrfs", PosixDiskFlags | FileFileCompression | FileSupportsBlockRefcounting | FileSupportsIntegrityStreams},
    {"f2fs", PosixDiskFlags},
    // Case-sensitive names kept as written, stored as Unicode (OSTA
    // compressed Unicode).
    {"udf", FileCaseSensitiveSearch | FileCasePreservedNames | FileUnicodeOnDisk},
}};

// Any other file system Linux mounts compares and keeps names as written.
constexpr std::uint32_t OtherFileSystemFlags = FileCaseSensitiveSearch | FileCasePreservedNames;

// The value of `count` hexadecimal digits at `at`, or false when one of
// them is not a digit.
bool HexValue(std::string_view text, std::size_t at, std::size_t count, std::uint32_t& value) {
  value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    const int digit = HexDigitValue(text[i]);
    if (digit < 0) return false;
    value = value << 4 | static_cast<std::uint32_t>(digit);
  }
  return true;
}

bool AllHexDigits(std::string_view text) {
  for (char c : text) {
    if (HexDigitValue(c) < 0) return false;
  }
  return true;
}

// The 36-character text of a 128-bit UUID: 8-4-4-4-12 hexadecimal digits.
bool IsUuidText(std::string_view text) {
  if (text.size() != 36) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool dashPlace = i == 8 || i == 13 || i == 18 || i == 23;
    if (dashPlace ? text[i] != '-' : HexDigitValue(text[i]) < 0) return false;
  }
  return true;
}

}  // namespace

std::uint32_t SerialFromUuid(std::string_view uuid) {
  std::uint32_t high = 0, low = 0;
  if (uuid.size() == 9 && uuid[4] == '-' && HexValue(uuid, 0, 4, high) && HexValue(uuid, 5, 4, low)) {
    return high << 16 | low;
  }
  if (uuid.size() == 16 && AllHexDigits(uuid) && HexValue(uuid, 8, 8, low)) return low;
  if (IsUuidText(uuid) && HexValue(uuid, 0, 8, high)) return high;
  return 0;
}

std::string FileSystemName(std::string_view type, std::string_view version) {
  if (type == "vfat") return version == "FAT32" ? "FAT32" : "FAT";
  if (type == "ntfs") return "NTFS";
  if (type == "exfat") return "exFAT";
  if (type == "iso9660") return "CDFS";
  if (type == "udf") return "UDF";
  return std::string(type);
}

std::uint32_t FileSystemFlags(std::string_view type) {
  if (type == "ntfs") return NtfsFlags;
  if (type == "vfat" || type == "exfat") return FatFlags;
  if (type == "iso9660") return CdfsFlags;
  for (const LinuxFileSystemFlags& row : LinuxFlagTable) {
    if (row.type == type) return row.flags;
  }
  return OtherFileSystemFlags;
}

FileSystemDescription DescribeFileSystem(std::string_view type, std::string_view version, std::string_view uuid) {
  return FileSystemDescription{FileSystemName(type, version), SerialFromUuid(uuid), FileSystemFlags(type)};
}

}  // namespace quillbrane
