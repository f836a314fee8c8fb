// Which mounts belong to a partition, from a fixture sysfs tree and a
// fixture mount table: the mount-table reader, the block-device list and
// the matching of the two.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "linux/fixture_machine.h"
#include "storage/linux/block_devices.h"
#include "storage/linux/mount_table.h"
#include "storage/linux/volume_mounts.h"

namespace quillbrane {
namespace {

using test::FixtureMachine;

constexpr std::uint64_t MiB = 1024 * 1024;

// One mountinfo line: id, parent, device, root, target, options, fs type,
// source, super options.
std::string MountLine(int id, const std::string& device, const std::string& root, const std::string& target,
                      const std::string& options, const std::string& type, const std::string& source,
                      const std::string& superOptions = "rw") {
  return std::to_string(id) + " 1 " + device + " " + root + " " + target + " " + options + " - " + type + " " +
         source + " " + superOptions + "\n";
}

TEST(MountTableTest, ReadsTargetsRootsDevicesAndReadOnly) {
  FixtureMachine machine;
  machine.SetMountInfo(MountLine(21, "254:0", "/", "/", "rw,relatime", "ext4", "/dev/vda") +
                       MountLine(22, "7:5", "/", "/mnt/with\\040space", "ro,relatime", "ext4", "/dev/loop5") +
                       MountLine(23, "7:5", "/sub\\011dir", "/srv", "rw", "ext4", "/dev/loop5", "ro,errors=remount-ro") +
                       MountLine(24, "0:40", "/", "/tmp", "rw", "tmpfs", "tmpfs", "rw,size=4k"));
  std::vector<LinuxMount> mounts;
  ASSERT_EQ(ReadMountTable(machine.Roots().mountInfo, mounts), 0u);
  const struct {
    const char* target;
    const char* root;
    bool readOnly;
    const char* source;
    std::uint32_t major, minor;
  } expected[] = {
      {"/", "/", false, "/dev/vda", 254, 0},
      {"/mnt/with space", "/", true, "/dev/loop5", 7, 5},   // the mount is read-only
      {"/srv", "/sub\tdir", true, "/dev/loop5", 7, 5},      // its file system is
      {"/tmp", "/", false, "tmpfs", 0, 40},
  };
  ASSERT_EQ(mounts.size(), std::size(expected));
  for (std::size_t i = 0; i < mounts.size(); ++i) {
    EXPECT_EQ(mounts[i].record.target, expected[i].target) << "row " << i;
    EXPECT_EQ(mounts[i].record.root, expected[i].root) << "row " << i;
    EXPECT_EQ(mounts[i].record.readOnly, expected[i].readOnly) << "row " << i;
    EXPECT_EQ(mounts[i].source, expected[i].source) << "row " << i;
    EXPECT_EQ(mounts[i].major, expected[i].major) << "row " << i;
    EXPECT_EQ(mounts[i].minor, expected[i].minor) << "row " << i;
  }
}

TEST(MountTableTest, ParsesTheKernelsLinesAndSkipsOthers) {
  const struct {
    const char* what;
    const char* line;
    bool parsed;
    const char* root;
    const char* target;
    const char* source;
    bool readOnly;
  } cases[] = {
      {"optional tags before the dash", "36 35 98:0 /mnt1 /mnt2 rw,noatime shared:1 master:2 - ext3 /dev/root rw", true,
       "/mnt1", "/mnt2", "/dev/root", false},
      {"no tags", "36 35 98:0 / /a rw - ext4 /dev/sda1 rw,errors=remount-ro", true, "/", "/a", "/dev/sda1", false},
      {"backslash, newline and space escapes", "1 2 8:1 /x\\134y /a\\012b\\040c rw - ext4 /dev/my\\040disk rw", true,
       "/x\\y", "/a\nb c", "/dev/my disk", false},
      {"a backslash that is no escape stays", "1 2 8:1 / /a\\9b\\77 rw - ext4 /dev/sda1 rw", true, "/", "/a\\9b\\77",
       "/dev/sda1", false},
      {"ro among the super options", "1 2 8:1 / /a rw,relatime - ext4 /dev/sda1 errors=continue,ro", true, "/", "/a",
       "/dev/sda1", true},
      {"an option that only begins with ro", "1 2 8:1 / /a rw,rootcontext=x - ext4 /dev/sda1 rw,root=1", true, "/", "/a",
       "/dev/sda1", false},
      {"no dash", "36 35 98:0 / /a rw shared:1 ext4 /dev/sda1 rw", false, "", "", "", false},
      {"a field missing after the dash", "36 35 98:0 / /a rw - ext4 /dev/sda1", false, "", "", "", false},
      {"a bad device number", "36 35 98 / /a rw - ext4 /dev/sda1 rw", false, "", "", "", false},
      {"a bad mount id", "x 35 98:0 / /a rw - ext4 /dev/sda1 rw", false, "", "", "", false},
      {"an empty line", "", false, "", "", "", false},
  };
  for (const auto& c : cases) {
    std::vector<LinuxMount> mounts;
    ParseMountTable(c.line, mounts);
    ASSERT_EQ(mounts.size(), c.parsed ? 1u : 0u) << c.what;
    if (!c.parsed) continue;
    EXPECT_EQ(mounts[0].record.root, c.root) << c.what;
    EXPECT_EQ(mounts[0].record.target, c.target) << c.what;
    EXPECT_EQ(mounts[0].source, c.source) << c.what;
    EXPECT_EQ(mounts[0].record.readOnly, c.readOnly) << c.what;
  }
  // Lines that cannot be read leave the others, in order.
  std::vector<LinuxMount> mounts;
  ParseMountTable("1 2 8:1 / /first rw - ext4 /dev/a rw\ngarbage\n3 2 8:2 / /second rw - ext4 /dev/b rw", mounts);
  ASSERT_EQ(mounts.size(), 2u);
  EXPECT_EQ(mounts[0].record.target, "/first");
  EXPECT_EQ(mounts[1].record.target, "/second");
}

TEST(MountTableTest, AMissingTableIsAnError) {
  std::vector<LinuxMount> mounts(1);
  EXPECT_EQ(ReadMountTable("/nonexistent/mountinfo", mounts), 2u);
  EXPECT_TRUE(mounts.empty());
}

TEST(BlockDevicesTest, DisksPartitionsAndLoopViews) {
  FixtureMachine machine;
  machine.AddBlock("sda", "8:0", 2 * 2048 * 1024);
  machine.AddPartition("sda", "sda2", "8:2", 4096, 8192);
  machine.AddLoop(5, "/img/disk.img", 1 * MiB, 16384, 8 * MiB);
  const std::vector<SysfsBlockDevice> devices = ReadBlockDevices(machine.SysBlock());
  ASSERT_EQ(devices.size(), 3u);
  const SysfsBlockDevice* part = nullptr;
  const SysfsBlockDevice* loop = nullptr;
  for (const SysfsBlockDevice& d : devices) {
    if (d.view.name == "sda2") part = &d;
    if (d.view.name == "loop5") loop = &d;
  }
  ASSERT_NE(part, nullptr);
  EXPECT_EQ(part->major, 8u);
  EXPECT_EQ(part->minor, 2u);
  EXPECT_EQ(part->view.parentDisk, "sda");
  EXPECT_EQ(part->view.startSectors, 4096u);
  EXPECT_EQ(part->view.sizeSectors, 8192u);
  ASSERT_NE(loop, nullptr);
  EXPECT_EQ(loop->minor, 5u);
  EXPECT_EQ(loop->view.backingFile, "/img/disk.img");
  EXPECT_EQ(loop->view.loopOffset, 1 * MiB);
  EXPECT_EQ(loop->view.loopSizeLimit, 8 * MiB);
  EXPECT_TRUE(loop->view.parentDisk.empty());
}

// A loop disk over /img/gpt.img with its first partition at 1 MiB (8 MiB
// long), and around it the views a machine can have of that partition and
// of others.
class VolumeMountsTest : public ::testing::Test {
 protected:
  VolumeMountsTest() {
    machine_.AddLoop(3, "/img/gpt.img", 0, 131072);
    machine_.AddLoop(5, "/img/gpt.img", 1 * MiB, 16384, 8 * MiB);   // the partition
    machine_.AddLoop(6, machine_.Dev() + "/loop3", 1 * MiB, 16384, 8 * MiB);  // over the disk node
    machine_.AddLoop(7, "/img/gpt.img", 9 * MiB, 16384, 8 * MiB);   // the next partition
    machine_.AddLoop(8, "/img/other.img", 1 * MiB, 16384, 8 * MiB); // another image
    machine_.AddBlock("sda", "8:0", 1 << 21);
    machine_.AddPartition("sda", "sda1", "8:1", 2048, 16384);       // same place, other disk
    place_ = PartitionPlace{.diskName = "loop3", .diskNode = machine_.Dev() + "/loop3",
                            .diskBackingFile = "/img/gpt.img", .diskSize = 64 * MiB, .offset = 1 * MiB,
                            .length = 8 * MiB};
  }

  std::vector<MountRecord> Mounts() {
    std::vector<MountRecord> mounts;
    EXPECT_EQ(MountsOfPartition(machine_.Roots(), place_, mounts), 0u);
    return mounts;
  }

  FixtureMachine machine_;
  PartitionPlace place_;
};

TEST_F(VolumeMountsTest, MountsOfThePartitionInTableOrder) {
  machine_.SetMountInfo(MountLine(21, "254:0", "/", "/", "rw", "ext4", "/dev/vda") +
                        MountLine(30, "7:5", "/", "/mnt/a", "rw", "ext4", "/dev/loop5") +
                        MountLine(31, "7:7", "/", "/mnt/next", "rw", "ext4", "/dev/loop7") +
                        MountLine(32, "7:5", "/data", "/srv/data", "rw", "ext4", "/dev/loop5") +
                        MountLine(33, "8:1", "/", "/mnt/sda1", "rw", "ext4", "/dev/sda1") +
                        MountLine(34, "7:6", "/", "/mnt/b", "ro", "fuseblk", "/dev/loop6") +
                        MountLine(35, "7:8", "/", "/mnt/other", "rw", "ext4", "/dev/loop8") +
                        MountLine(36, "0:44", "/", "/mnt/tmp", "rw", "tmpfs", "tmpfs") +
                        MountLine(37, "7:3", "/", "/mnt/disk", "rw", "ext4", "/dev/loop3"));
  const std::vector<MountRecord> mounts = Mounts();
  std::vector<std::string> seen;
  for (const MountRecord& m : mounts) seen.push_back(m.target + " " + m.root + (m.readOnly ? " ro" : " rw"));
  EXPECT_EQ(seen, (std::vector<std::string>{"/mnt/a / rw", "/srv/data /data rw", "/mnt/b / ro"}));
  EXPECT_EQ(MountPathsFor(mounts), (std::vector<std::string>{"/mnt/a/", "/mnt/b/"}));
}

TEST_F(VolumeMountsTest, APartitionDeviceOfTheDiskMatchesByStartAndSize) {
  place_ = PartitionPlace{.diskName = "sda", .diskNode = machine_.Dev() + "/sda", .diskBackingFile = "",
                          .diskSize = 1024 * MiB, .offset = 1 * MiB, .length = 8 * MiB};
  machine_.SetMountInfo(MountLine(30, "7:5", "/", "/mnt/a", "rw", "ext4", "/dev/loop5") +
                        MountLine(33, "8:1", "/", "/boot", "rw", "ext4", "/dev/sda1"));
  const std::vector<MountRecord> mounts = Mounts();
  ASSERT_EQ(mounts.size(), 1u);
  EXPECT_EQ(mounts[0].target, "/boot");
}

TEST_F(VolumeMountsTest, ADeviceNumberNotInSysfsMatchesNothing) {
  machine_.SetMountInfo(MountLine(30, "7:99", "/", "/mnt/a", "rw", "ext4", "/dev/loop99"));
  EXPECT_TRUE(Mounts().empty());
}

TEST_F(VolumeMountsTest, AnUnreadableTableIsReported) {
  std::vector<MountRecord> mounts;
  EXPECT_EQ(MountsOfPartition(machine_.Roots(), place_, mounts), 2u);  // no mountinfo written
}

}  // namespace
}  // namespace quillbrane
