// What a volume information request reports for a file system, from the
// values a file-system prober (libblkid) gives: the Windows name of the file
// system, its serial number and its FILE_* capability flags. Platform-free.
// docs/linux-volumes.md lists the whole mapping with its reasons.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillbrane {

// The file-system flags of GetVolumeInformation (Windows SDK, winnt.h).
inline constexpr std::uint32_t FileCaseSensitiveSearch = 0x00000001;
inline constexpr std::uint32_t FileCasePreservedNames = 0x00000002;
inline constexpr std::uint32_t FileUnicodeOnDisk = 0x00000004;
inline constexpr std::uint32_t FilePersistentAcls = 0x00000008;
inline constexpr std::uint32_t FileFileCompression = 0x00000010;
inline constexpr std::uint32_t FileVolumeQuotas = 0x00000020;
inline constexpr std::uint32_t FileSupportsSparseFiles = 0x00000040;
inline constexpr std::uint32_t FileSupportsReparsePoints = 0x00000080;
inline constexpr std::uint32_t FileSupportsPosixUnlinkRename = 0x00000400;
inline constexpr std::uint32_t FileReadOnlyVolume = 0x00080000;
inline constexpr std::uint32_t FileSupportsHardLinks = 0x00400000;
inline constexpr std::uint32_t FileSupportsExtendedAttributes = 0x00800000;
inline constexpr std::uint32_t FileSupportsOpenByFileId = 0x01000000;
inline constexpr std::uint32_t FileSupportsIntegrityStreams = 0x04000000;
inline constexpr std::uint32_t FileSupportsBlockRefcounting = 0x08000000;

// The flags Windows' own drivers report for the file systems it has.
inline constexpr std::uint32_t NtfsFlags = 0x03E706FF;
inline constexpr std::uint32_t FatFlags = 0x00020206;  // FAT, FAT32 and exFAT
inline constexpr std::uint32_t CdfsFlags = 0x01080001;

// The maximum component length when no mounted file system can be asked.
inline constexpr std::uint32_t DefaultMaximumComponentLength = 255;

struct FileSystemDescription {
  std::string name;
  std::uint32_t serialNumber = 0;
  std::uint32_t flags = 0;  // without FileReadOnlyVolume unless built in
};

// Describes the file system libblkid reports with TYPE `type`, VERSION
// `version` and UUID `uuid` (each empty when blkid gives none).
FileSystemDescription DescribeFileSystem(std::string_view type, std::string_view version, std::string_view uuid);

// The 32-bit serial number in a blkid UUID text:
// - "ABCD-1234" (FAT, exFAT): the volume serial, 0xABCD1234;
// - 16 hexadecimal digits (NTFS' 64-bit serial): its low 32 bits, the last
//   eight digits;
// - a 128-bit UUID "0a1b2c3d-...": its first four bytes read big-endian,
//   the first eight digits;
// - anything else, or nothing: 0.
std::uint32_t SerialFromUuid(std::string_view uuid);

// The Windows name of the file system blkid calls `type` (with `version`).
std::string FileSystemName(std::string_view type, std::string_view version);

// The FILE_* flags of the file system blkid calls `type`.
std::uint32_t FileSystemFlags(std::string_view type);

}  // namespace quillbrane
