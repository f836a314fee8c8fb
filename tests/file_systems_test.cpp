// File-system names, serial numbers and flags from libblkid's values.
#include <gtest/gtest.h>

#include <string>

#include "storage/file_systems.h"

namespace quillbrane {
namespace {

TEST(FileSystemNameTest, WindowsNamesForWindowsFileSystems) {
  const struct {
    const char* type;
    const char* version;
    const char* name;
  } cases[] = {
      {"vfat", "FAT32", "FAT32"}, {"vfat", "FAT16", "FAT"},    {"vfat", "FAT12", "FAT"},
      {"vfat", "", "FAT"},        {"ntfs", "", "NTFS"},        {"exfat", "1.0", "exFAT"},
      {"iso9660", "Joliet Extension", "CDFS"},                 {"udf", "1.02", "UDF"},
      {"ext4", "1.0", "ext4"},    {"xfs", "", "xfs"},          {"btrfs", "1", "btrfs"},
      {"FAT32", "", "FAT32"},  // only blkid's own type names are mapped
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FileSystemName(c.type, c.version), c.name) << c.type << " " << c.version;
  }
}

TEST(SerialFromUuidTest, EachUuidShape) {
  const struct {
    const char* uuid;
    std::uint32_t serial;
  } cases[] = {
      {"F8AB-9C89", 0xF8AB9C89},                               // FAT, exFAT
      {"f8ab-9c89", 0xF8AB9C89},
      {"0000-0001", 0x00000001},
      {"6DA787CF2F3F5263", 0x2F3F5263},                        // NTFS: low 32 bits
      {"0000000080000000", 0x80000000},
      {"35248e35-4a0f-4571-b94d-05d111b603ef", 0x35248E35},    // first four bytes
      {"FFFFFFFF-0000-0000-0000-000000000000", 0xFFFFFFFF},
      {"", 0},
      {"2023-01-01-12-00-00-00", 0},                           // iso9660 time stamp
      {"F8AB9C89", 0},
      {"F8AB-9C8G", 0},
      {"F8AB:9C89", 0},
      {"6DA787CF2F3F526", 0},
      {"6DA787CF2F3F5263X", 0},
      {"6DA787CF2F3F526Z", 0},
      {"35248e35-4a0f-4571-b94d-05d111b603eg", 0},
      {"35248e354-a0f-4571-b94d-05d111b603ef", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SerialFromUuid(c.uuid), c.serial) << '"' << c.uuid << '"';
  }
}

TEST(FileSystemFlagsTest, TheDocumentedTable) {
  const struct {
    const char* type;
    std::uint32_t flags;
  } cases[] = {
      // What Windows' own drivers report.
      {"ntfs", 0x03E706FF},
      {"vfat", 0x00020206},
      {"exfat", 0x00020206},
      {"iso9660", 0x01080001},
      // Linux file systems, from their capabilities (docs/linux-volumes.md).
      {"ext2", 0x01C004EF},
      {"ext3", 0x01C004EF},
      {"ext4", 0x01C004EF},
      {"xfs", 0x09C004EF},
      {"btrfs", 0x0DC004DF},
      {"f2fs", 0x01C004CF},
      {"udf", 0x00000007},
      {"squashfs", 0x00000003},
      {"", 0x00000003},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FileSystemFlags(c.type), c.flags) << c.type;
  }
}

TEST(FileSystemFlagsTest, LinuxFileSystemsShareThePosixBasics) {
  constexpr std::uint32_t Basics = FileCaseSensitiveSearch | FileCasePreservedNames | FileSupportsReparsePoints |
                                   FileSupportsHardLinks | FileSupportsExtendedAttributes | FilePersistentAcls;
  for (const char* type : {"ext2", "ext3", "ext4", "xfs", "btrfs", "f2fs"}) {
    EXPECT_EQ(FileSystemFlags(type) & Basics, Basics) << type;
    // Read-only is a property of a volume, never of a file-system kind.
    EXPECT_EQ(FileSystemFlags(type) & FileReadOnlyVolume, 0u) << type;
  }
}

TEST(DescribeFileSystemTest, PutsTheThreeTogether) {
  const FileSystemDescription fat = DescribeFileSystem("vfat", "FAT32", "1234-ABCD");
  EXPECT_EQ(fat.name, "FAT32");
  EXPECT_EQ(fat.serialNumber, 0x1234ABCDu);
  EXPECT_EQ(fat.flags, 0x00020206u);
  const FileSystemDescription ext = DescribeFileSystem("ext4", "1.0", "0a1b2c3d-0000-4000-8000-000000000000");
  EXPECT_EQ(ext.name, "ext4");
  EXPECT_EQ(ext.serialNumber, 0x0A1B2C3Du);
  EXPECT_EQ(ext.flags, FileSystemFlags("ext4"));
}

}  // namespace
}  // namespace quillbrane
