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

// The survey keeps one prober for the run. Whatever it probed before, found
// or failed, each range gives what a fresh prober gives.
TEST_F(FileSystemProbeTest, OneProberAnswersEveryRangeAsAFreshOneDoes) {
  if (!HaveTool("mkfs.ext4") || !HaveTool("mkfs.vfat")) GTEST_SKIP() << "mkfs.ext4 or mkfs.vfat missing";
  std::string skipped;
  ASSERT_TRUE(Make({"ext4", "mkfs.ext4", "mkfs.ext4 -q -F -L first", 1 * MiB, 16 * MiB, "", "", "", ""}, skipped));
  ASSERT_TRUE(Make({"FAT32", "mkfs.vfat", "mkfs.vfat -F 32 -s 1 -n SECOND", 17 * MiB, 36 * MiB, "", "", "", ""},
                   skipped));
  const struct {
    std::uint64_t offset, length;
  } ranges[] = {
      {1 * MiB, 16 * MiB},    // ext4
      {101 * MiB, 4 * MiB},   // nothing
      {17 * MiB, 36 * MiB},   // FAT32
      {200 * MiB, 4 * MiB},   // past the end: cannot be read
      {0, 112 * MiB},         // the whole image, 64 MiB or more: ZFS labels checked
      {1 * MiB, 16 * MiB},    // ext4 again
  };
  const int fd = open(disk_.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  FileSystemProber shared;
  for (int round = 0; round < 2; ++round) {
    for (std::size_t k = 0; k < std::size(ranges); ++k) {
      const auto& r = ranges[round == 0 ? k : std::size(ranges) - 1 - k];
      ProbedFileSystem fresh, reused;
      const std::uint32_t freshCode = ProbeFileSystem(fd, r.offset, r.length, fresh);
      EXPECT_EQ(shared.Probe(fd, r.offset, r.length, reused), freshCode) << r.offset << "+" << r.length;
      EXPECT_EQ(reused.type, fresh.type) << r.offset << "+" << r.length;
      EXPECT_EQ(reused.label, fresh.label) << r.offset << "+" << r.length;
      EXPECT_EQ(reused.uuid, fresh.uuid) << r.offset << "+" << r.length;
      EXPECT_EQ(reused.version, fresh.version) << r.offset << "+" << r.length;
    }
  }
  ProbedFileSystem found;
  ASSERT_EQ(shared.Probe(fd, 17 * MiB, 36 * MiB, found), 0u);
  EXPECT_EQ(found.label, "SECOND");
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

// ZFS: the survey checks the four ZFS labels itself and leaves libblkid's
// ZFS prober out when they hold fewer than four uberblock magic numbers.
// Each case must still give what blkid itself finds in the same bytes.
TEST(ZfsLabelTest, TheProbeFindsWhatBlkidFinds) {
  char pattern[] = "/tmp/quillbrane-zfs-XXXXXX";
  const fs::path dir = mkdtemp(pattern);
  const fs::path disk = dir / "disk.img";
  constexpr std::uint64_t Start = 1 * MiB;
  // Not a multiple of 256 KiB: the end labels are aligned down.
  constexpr std::uint64_t Length = 80 * MiB + 100 * 1024;
  constexpr std::uint64_t Align = Length % (256 * 1024);
  constexpr std::uint64_t Labels[4] = {0, 256 * 1024, Length - 512 * 1024 - Align, Length - 256 * 1024 - Align};
  struct Magic {
    int label;
    int slot;  // of the 128 one-KiB uberblock slots
    bool bigEndian;
  };
  const struct {
    const char* what;
    bool ext4;
    std::uint64_t length;
    std::vector<Magic> magics;
    std::uint32_t code;
    const char* type;
  } cases[] = {
      {"no magic number", false, Length, {}, 1005, ""},
      {"four in the first label", false, Length, {{0, 0, false}, {0, 1, false}, {0, 5, false}, {0, 127, false}}, 0,
       "zfs_member"},
      {"three, one in each of three labels", false, Length, {{0, 3, false}, {2, 3, true}, {3, 3, false}}, 1005, ""},
      {"four across the end labels, both byte orders", false, Length,
       {{2, 0, false}, {2, 9, true}, {3, 0, true}, {3, 64, false}}, 0, "zfs_member"},
      {"one in each label", false, Length, {{0, 2, false}, {1, 2, false}, {2, 2, false}, {3, 2, false}}, 0,
       "zfs_member"},
      {"a magic number outside the uberblock slots", false, Length,
       {{0, -1, false}, {1, 0, false}, {2, 0, false}, {3, 0, false}}, 1005, ""},
      {"ext4 and three in the end labels", true, Length, {{2, 0, false}, {3, 0, false}, {3, 1, false}}, 0, "ext4"},
      {"ext4 and four in the end labels: two claim the range", true, Length,
       {{2, 0, false}, {2, 1, false}, {3, 0, false}, {3, 1, false}}, 1005, ""},
      {"four in the first label of a range under 64 MiB", false, 63 * MiB,
       {{0, 0, false}, {0, 1, false}, {0, 2, false}, {0, 3, false}}, 1005, ""},
  };
  bool haveExt4 = HaveTool("mkfs.ext4");
  for (const auto& c : cases) {
    if (c.ext4 && !haveExt4) continue;
    fs::remove(disk);
    test::MakeSparseFile(disk, Start + Length + 1 * MiB);
    if (c.ext4) {
      bool ok = false;
      RunCommand("mkfs.ext4 -q -F -E offset=" + std::to_string(Start) + " " + disk.string() + " " +
                     std::to_string(c.length / 1024) + "k",
                 ok);
      ASSERT_TRUE(ok) << c.what;
    }
    for (const Magic& m : c.magics) {
      // Slot -1: the first half of the label, where no uberblock is.
      const std::uint64_t at = Start + Labels[m.label] + (m.slot < 0 ? 64 * 1024 : 128 * 1024 + m.slot * 1024ULL);
      std::vector<std::uint8_t> bytes = {0x0c, 0xb1, 0xba, 0x00, 0x00, 0x00, 0x00, 0x00};
      if (m.bigEndian) std::reverse(bytes.begin(), bytes.end());
      test::PatchFile(disk, at, bytes);
    }
    const int fd = open(disk.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ProbedFileSystem found;
    EXPECT_EQ(ProbeFileSystem(fd, Start, c.length, found), c.code) << c.what;
    EXPECT_EQ(found.type, c.type) << c.what;
    close(fd);
    // blkid's own verdict on the same bytes: exit status 0 with a type,
    // 2 for nothing, 8 for an ambivalent result.
    bool ok = false;
    const std::string command = "blkid -p -O " + std::to_string(Start) + " -S " + std::to_string(c.length) +
                                " -o value -s TYPE " + disk.string() + " 2>/dev/null; echo \" $?\"";
    std::string blkid = RunCommand(command, ok);
    blkid.erase(std::remove(blkid.begin(), blkid.end(), '\n'), blkid.end());
    const std::string expected = c.code == 0 ? std::string(c.type) + " 0" : (c.ext4 ? " 8" : " 2");
    EXPECT_EQ(blkid, expected) << c.what;
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace quillbrane
