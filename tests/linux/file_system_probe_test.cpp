// libblkid on partitions of a disk image: each file system is made with its
// own mkfs tool in a file of the partition's size and placed at the
// partition's offset in a sparse disk image, which is then probed range by
// range, as the volume queries probe a disk.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "format/format.h"
#include "linux/disk_images.h"
#include "storage/file_systems.h"
#include "storage/linux/file_system_probe.h"

namespace quillbrane {
namespace {

namespace fs = std::filesystem;
using test::HaveTool;
using test::RunCommand;

constexpr std::uint64_t MiB = 1024 * 1024;

struct PartitionCase {
  const char* what;
  std::string tool;      // the mkfs program needed
  std::string command;   // run with the partition file appended
  std::uint64_t offset;  // in the disk image
  std::uint64_t length;
  // Expected results; a serial of "blkid" is read from blkid's UUID.
  std::string type;
  std::string name;
  std::string label;
  std::string serialHex;
};

class FileSystemProbeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/quillbrane-probe-XXXXXX";
    dir_ = mkdtemp(pattern);
    disk_ = dir_ / "disk.img";
    test::MakeSparseFile(disk_, 112 * MiB);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Makes the file system of `c` at its place in the disk image; false when
  // its tool is missing or fails.
  bool Make(const PartitionCase& c, std::string& skipped) {
    if (!HaveTool(c.tool)) {
      skipped += c.tool + " ";
      return false;
    }
    const fs::path part = dir_ / (c.tool + ".part");
    test::MakeSparseFile(part, c.length);
    bool ok = false;
    RunCommand(c.command + " " + part.string(), ok);
    if (!ok) {
      ADD_FAILURE() << c.what << ": " << c.command << " failed";
      return false;
    }
    if (c.tool == "mkfs.ntfs") {
      // The 64-bit volume serial number of the NTFS boot sector (byte
      // 0x48), set to a known value: 0x1122334455667788.
      test::PatchFile(part, 0x48, {0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11});
    }
    if (c.serialHex == "blkid") {
      expectedUuid_[c.what] = RunCommand("blkid -p -o value -s UUID " + part.string(), ok);
    }
    test::PlaceFileAt(part, disk_, c.offset);
    fs::remove(part);
    return true;
  }

  fs::path dir_;
  fs::path disk_;
  std::map<std::string, std::string> expectedUuid_;
};

TEST_F(FileSystemProbeTest, FindsEachFileSystemInItsPartition) {
  const std::vector<PartitionCase> cases = {
      {"ext4", "mkfs.ext4", "mkfs.ext4 -q -F -U 0a1b2c3d-4e5f-4a6b-8c7d-9e0f1a2b3c4d -L quill-ext4", 1 * MiB,
       16 * MiB, "ext4", "ext4", "quill-ext4", "0A1B2C3D"},
      {"FAT32", "mkfs.vfat", "mkfs.vfat -F 32 -s 1 -i 1234ABCD -n QUILLFAT", 17 * MiB, 36 * MiB, "vfat", "FAT32",
       "QUILLFAT", "1234ABCD"},
      {"FAT16 without a label", "mkfs.fat", "mkfs.fat -F 16 -i 0000BEEF", 53 * MiB, 16 * MiB, "vfat", "FAT", "",
       "0000BEEF"},
      {"NTFS", "mkfs.ntfs", "mkfs.ntfs -F -Q -L quill-ntfs", 69 * MiB, 16 * MiB, "ntfs", "NTFS", "quill-ntfs",
       "55667788"},
      {"exFAT", "mkfs.exfat", "mkfs.exfat -L quillexfat", 85 * MiB, 16 * MiB, "exfat", "exFAT", "quillexfat",
       "blkid"},
  };
  std::string skipped;
  std::vector<const PartitionCase*> made;
  for (const PartitionCase& c : cases) {
    if (Make(c, skipped)) made.push_back(&c);
  }
  if (made.empty()) GTEST_SKIP() << "no mkfs tool found: " << skipped;
  if (!skipped.empty()) std::printf("not tested, tools missing: %s\n", skipped.c_str());

  const int fd = open(disk_.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  for (const PartitionCase* c : made) {
    ProbedFileSystem found;
    ASSERT_EQ(ProbeFileSystem(fd, c->offset, c->length, found), 0u) << c->what;
    EXPECT_EQ(found.type, c->type) << c->what;
    EXPECT_EQ(found.label, c->label) << c->what;
    const FileSystemDescription description = DescribeFileSystem(found.type, found.version, found.uuid);
    EXPECT_EQ(description.name, c->name) << c->what;
    std::string serial = c->serialHex;
    if (serial == "blkid") {
      // "ABCD-1234" as blkid writes a FAT or exFAT serial.
      serial = expectedUuid_[c->what];
      serial.erase(std::remove(serial.begin(), serial.end(), '-'), serial.end());
      ASSERT_EQ(serial.size(), 8u) << c->what << ": blkid gave " << expectedUuid_[c->what];
    }
    EXPECT_EQ(FormatHex(description.serialNumber, 8), serial) << c->what;
  }
  close(fd);
}

TEST_F(FileSystemProbeTest, NoFileSystemInTheRangeFails) {
  const int fd = open(disk_.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  const struct {
    const char* what;
    std::uint64_t offset, length;
    std::uint32_t code;
  } cases[] = {
      {"zeroed partition", 101 * MiB, 4 * MiB, 1005},
      {"empty range", 1 * MiB, 0, 1005},
      {"past the end of the image", 200 * MiB, 4 * MiB, 1117},  // cannot be read
  };
  for (const auto& c : cases) {
    ProbedFileSystem found;
    EXPECT_EQ(ProbeFileSystem(fd, c.offset, c.length, found), c.code) << c.what;
    EXPECT_TRUE(found.type.empty()) << c.what;
  }
  close(fd);
}

TEST_F(FileSystemProbeTest, OnlyThePartitionsOwnBytesCount) {
  if (!HaveTool("mkfs.ext4")) GTEST_SKIP() << "mkfs.ext4 missing";
  std::string skipped;
  const PartitionCase ext4{"ext4", "mkfs.ext4", "mkfs.ext4 -q -F", 1 * MiB, 16 * MiB, "", "", "", ""};
  ASSERT_TRUE(Make(ext4, skipped));
  const int fd = open(disk_.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  ProbedFileSystem found;
  EXPECT_EQ(ProbeFileSystem(fd, 1 * MiB, 16 * MiB, found), 0u);
  // The same bytes seen from the disk's start, or from the partition's
  // second MiB, hold no file system there.
  EXPECT_EQ(ProbeFileSystem(fd, 0, 17 * MiB, found), 1005u);
  EXPECT_EQ(ProbeFileSystem(fd, 2 * MiB, 15 * MiB, found), 1005u);
  close(fd);
}

}  // namespace
}  // namespace quillbrane
