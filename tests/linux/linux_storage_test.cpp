// The Linux drive layer against a fixture sysfs tree and a fixture /dev of
// image files: the drive list, opening, error codes, geometry, and the
// volume queries over a fixture mount table.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "linux/disk_images.h"
#include "linux/fixture_machine.h"
#include "storage/byte_order.h"
#include "storage/disk_formats.h"
#include "storage/linux/drive_list.h"
#include "storage/linux/linux_storage.h"

namespace quillbrane {
namespace {

using test::FixtureMachine;

std::vector<std::string> Names(const std::vector<LinuxDrive>& drives) {
  std::vector<std::string> names;
  for (const LinuxDrive& drive : drives) names.push_back(drive.name);
  return names;
}

TEST(DriveListTest, OrdersDisksByDeviceNumberThenLoopsByNumber) {
  FixtureMachine machine;
  machine.AddBlock("sdb", "8:16", 1000);
  machine.AddBlock("vda", "254:0", 1000);
  machine.AddBlock("sda", "8:0", 1000);
  machine.AddBlock("nvme0n1", "259:0", 1000);
  machine.AddLoop(10, "/img/ten", 0, 100);
  machine.AddLoop(2, "/img/two", 0, 100);
  EXPECT_EQ(Names(ListPhysicalDrives(machine.SysBlock())),
            (std::vector<std::string>{"sda", "sdb", "vda", "nvme0n1", "loop2", "loop10"}));
}

TEST(DriveListTest, LeavesOutWhatIsNotAPhysicalDrive) {
  FixtureMachine machine;
  machine.AddBlock("sda", "8:0", 1000);
  machine.AddBlock("ram0", "1:0", 1000);
  machine.AddBlock("zram0", "253:0", 1000);
  machine.AddBlock("dm-0", "252:0", 1000);
  machine.AddBlock("md0", "9:0", 1000);
  machine.AddBlock("sr0", "11:0", 1000, true);
  machine.AddBlock("fd0", "2:0", 1000, true);
  machine.AddBlock("sdz", "65:160", 0);        // empty fixed device
  machine.AddBlock("sdy", "65:128", 0, true);  // card reader without a card: kept
  machine.AddLoop(0, "", 0, 0);                // unbound loop device
  machine.AddLoop(1, "/img/part", 1048576, 100);  // a view of part of a disk
  machine.AddLoop(3, "/img/disk", 0, 100);
  const auto drives = ListPhysicalDrives(machine.SysBlock());
  EXPECT_EQ(Names(drives), (std::vector<std::string>{"sda", "sdy", "loop3"}));
  ASSERT_EQ(drives.size(), 3u);
  EXPECT_TRUE(drives[1].removable);
  EXPECT_FALSE(drives[0].removable);
}

TEST(DriveListTest, AMissingSysfsListsNothing) {
  EXPECT_TRUE(ListPhysicalDrives("/nonexistent/sys/block").empty());
}

std::vector<std::uint8_t> MbrImage(std::size_t bytes, std::uint32_t signature) {
  std::vector<std::uint8_t> image(bytes);
  StoreU16(image, mbr::BootSignature, mbr::BootSignatureValue);
  StoreU32(image, mbr::DiskSignature, signature);
  StoreU8(image, mbr::SlotOffset(0) + mbr::SlotType, 0x83);
  StoreU32(image, mbr::SlotOffset(0) + mbr::SlotStartLba, 2048);
  return image;
}

TEST(LinuxStorageTest, OpensByDriveNumberAndFillsGeometry) {
  FixtureMachine machine;
  machine.AddBlock("sda", "8:0", 20480);
  machine.AddLoop(0, "/img/a", 0, 100);
  machine.AddDevice("sda", MbrImage(10 * 1024 * 1024, 0xCAFEF00D));
  machine.AddDevice("loop0", MbrImage(1024 * 1024, 0x0));
  auto storage = CreateLinuxStorage(machine.Roots());

  DriveHandle handle;
  ASSERT_TRUE(storage->OpenPhysicalDrive("\\\\.\\PhysicalDrive0", handle));
  std::array<std::uint8_t, GeometryBufferSize> record{};
  ASSERT_TRUE(storage->QueryGeometry(handle, record));
  EXPECT_EQ(LoadI64(record, geometry::DiskSize), 10 * 1024 * 1024);
  EXPECT_EQ(LoadI64(record, geometry::Cylinders), 1);
  EXPECT_EQ(LoadU32(record, geometry::MbrSignature), 0xCAFEF00Du);
  std::array<std::uint8_t, LayoutBufferSize> layoutRecord{};
  ASSERT_TRUE(storage->QueryLayout(handle, layoutRecord));
  EXPECT_EQ(LoadU32(layoutRecord, layout::PartitionStyle), PartitionStyleMbr);
  EXPECT_EQ(LoadU32(layoutRecord, layout::PartitionCount), 4u);
  EXPECT_EQ(LoadU32(layoutRecord, layout::MbrSignature), 0xCAFEF00Du);
  EXPECT_EQ(LoadI64(layoutRecord, layout::EntryOffset(0) + entry::StartingOffset), 2048 * 512);
  storage->CloseDrive(handle);

  ASSERT_TRUE(storage->OpenPhysicalDrive("\\\\.\\PhysicalDrive1", handle));
  ASSERT_TRUE(storage->QueryGeometry(handle, record));
  EXPECT_EQ(LoadI64(record, geometry::DiskSize), 1024 * 1024);
  EXPECT_EQ(LoadI64(record, geometry::Cylinders), 2048);  // smaller than a cylinder
  storage->CloseDrive(handle);
  EXPECT_FALSE(storage->QueryLayout(handle, layoutRecord));  // closed
  EXPECT_EQ(storage->LastErrorCode(), 6u);
}

TEST(LinuxStorageTest, OpenFailuresCarryWindowsCodes) {
  FixtureMachine machine;
  machine.AddBlock("sda", "8:0", 20480);
  machine.AddBlock("sdb", "8:16", 20480);
  machine.AddDevice("sdb", MbrImage(4096, 1));
  chmod((machine.Roots().dev + "/sdb").c_str(), 0);
  auto storage = CreateLinuxStorage(machine.Roots());
  DriveHandle handle;
  const struct {
    const char* path;
    std::uint32_t code;
  } cases[] = {
      {"\\\\.\\PhysicalDrive0", 2},   // listed in sysfs, no device node
      {"\\\\.\\PhysicalDrive2", 2},   // past the end of the list
      {"\\\\.\\PhysicalDrive14", 2},
      {"\\\\.\\PhysicalDrive", 2},
      {"\\\\.\\PhysicalDrive-1", 2},
      {"\\\\.\\PhysicalDrive1x", 2},
      {"/dev/sda", 2},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(storage->OpenPhysicalDrive(c.path, handle)) << c.path;
    EXPECT_EQ(storage->LastErrorCode(), c.code) << c.path;
  }
  if (geteuid() != 0) {  // root opens a mode-0 file all the same
    EXPECT_FALSE(storage->OpenPhysicalDrive("\\\\.\\PhysicalDrive1", handle));
    EXPECT_EQ(storage->LastErrorCode(), 5u);
  }
  std::array<char, ErrorTextCapacity> text{};
  storage->LastErrorText(2, text);
  EXPECT_STREQ(text.data(), "The system cannot find the file specified.\r\n");
  storage->LastErrorText(4242, text);
  EXPECT_STREQ(text.data(), "");
}

TEST(LinuxStorageTest, AnEmptyRemovableDeviceIsNotReady) {
  FixtureMachine machine;
  machine.AddBlock("sdc", "8:32", 0, true);
  machine.AddDevice("sdc", {});
  auto storage = CreateLinuxStorage(machine.Roots());
  DriveHandle handle;
  ASSERT_TRUE(storage->OpenPhysicalDrive("\\\\.\\PhysicalDrive0", handle));
  std::array<std::uint8_t, GeometryBufferSize> record{};
  EXPECT_FALSE(storage->QueryGeometry(handle, record));
  EXPECT_EQ(storage->LastErrorCode(), 21u);
  std::array<std::uint8_t, LayoutBufferSize> layoutRecord{};
  EXPECT_FALSE(storage->QueryLayout(handle, layoutRecord));
  EXPECT_EQ(storage->LastErrorCode(), 21u);
  storage->CloseDrive(handle);
}

// Devices that go away while the survey runs: one whose node disappears
// between the listing (taken at the first open) and its own open, and one
// that is emptied after it was opened, as a loop device detached under an
// open handle reads as a device of size 0. Each fails alone; the drive
// after it still opens and answers.
TEST(LinuxStorageTest, DevicesThatDisappearDuringTheRunFailAlone) {
  FixtureMachine machine;
  for (const char* name : {"sda", "sdb", "sdc", "sdd"}) {
    machine.AddBlock(name, std::string("8:") + std::to_string(16 * (name[2] - 'a')), 20480);
    machine.AddDevice(name, MbrImage(4096, 1));
  }
  auto storage = CreateLinuxStorage(machine.Roots());
  DriveHandle first;
  ASSERT_TRUE(storage->OpenPhysicalDrive("\\\\.\\PhysicalDrive0", first));

  std::filesystem::remove(machine.Roots().dev + "/sdb");
  DriveHandle gone;
  EXPECT_FALSE(storage->OpenPhysicalDrive("\\\\.\\PhysicalDrive1", gone));
  EXPECT_EQ(storage->LastErrorCode(), 2u) << "a node removed after the listing: not found";

  DriveHandle emptied;
  ASSERT_TRUE(storage->OpenPhysicalDrive("\\\\.\\PhysicalDrive2", emptied));
  std::filesystem::resize_file(machine.Roots().dev + "/sdc", 0);
  std::array<std::uint8_t, GeometryBufferSize> geometryRecord{};
  std::array<std::uint8_t, LayoutBufferSize> layoutRecord{};
  EXPECT_FALSE(storage->QueryGeometry(emptied, geometryRecord));
  EXPECT_EQ(storage->LastErrorCode(), 1167u) << "a fixed device of size 0: not connected";
  EXPECT_FALSE(storage->QueryLayout(emptied, layoutRecord));
  EXPECT_EQ(storage->LastErrorCode(), 1167u);
  storage->CloseDrive(emptied);

  DriveHandle next;
  ASSERT_TRUE(storage->OpenPhysicalDrive("\\\\.\\PhysicalDrive3", next));
  EXPECT_TRUE(storage->QueryGeometry(next, geometryRecord));
  EXPECT_EQ(LoadI64(geometryRecord, geometry::DiskSize), 4096);
  EXPECT_TRUE(storage->QueryLayout(next, layoutRecord));
  EXPECT_EQ(LoadU32(layoutRecord, layout::PartitionStyle), PartitionStyleMbr);
  storage->CloseDrive(next);
  storage->CloseDrive(first);
}

// A 16 MiB MBR disk with signature CAFEF00D: partition 1 at 1 MiB and
// partition 2 at 5 MiB, 4 MiB each. Their volumes are named by the
// identifier Windows gives MBR partitions (signature, then the byte offset).
constexpr std::uint64_t MiB = 1024 * 1024;
constexpr const char* FirstVolume = "\\\\?\\Volume{CAFEF00D-0000-0000-0000-100000000000}\\";
constexpr const char* SecondVolume = "\\\\?\\Volume{cafef00d-0000-0000-0000-500000000000}\\";
constexpr const char* UnknownVolume = "\\\\?\\Volume{CAFEF00D-0000-0000-0000-900000000000}\\";

std::vector<std::uint8_t> TwoPartitionDisk() {
  std::vector<std::uint8_t> image(16 * MiB);
  StoreU16(image, mbr::BootSignature, mbr::BootSignatureValue);
  StoreU32(image, mbr::DiskSignature, 0xCAFEF00D);
  const std::uint32_t starts[] = {2048, 10240};
  for (std::size_t slot = 0; slot < 2; ++slot) {
    StoreU8(image, mbr::SlotOffset(slot) + mbr::SlotType, slot == 0 ? 0x0C : 0x83);
    StoreU32(image, mbr::SlotOffset(slot) + mbr::SlotStartLba, starts[slot]);
    StoreU32(image, mbr::SlotOffset(slot) + mbr::SlotSectorCount, 8192);
  }
  return image;
}

// The disk as loop0 over /img/disk.img, its first partition shown by loop1
// and mounted at /mnt/a (read-write) and /mnt/b (read-only), with a bind
// mount of a sub-folder at /srv/x.
class LinuxVolumeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    machine_.AddLoop(0, "/img/disk.img", 0, 32768);
    machine_.AddLoop(1, "/img/disk.img", 1 * MiB, 8192, 4 * MiB);
    disk_ = machine_.AddDevice("loop0", TwoPartitionDisk());
    machine_.SetMountInfo("21 1 254:0 / / rw - ext4 /dev/vda rw\n"
                          "30 21 7:1 / /mnt/a rw,relatime - vfat /dev/loop1 rw\n"
                          "31 21 7:1 / /mnt/b ro,relatime - vfat /dev/loop1 ro\n"
                          "32 21 7:1 /x /srv/x rw,relatime - vfat /dev/loop1 rw\n");
  }

  std::unique_ptr<StorageQueries> Storage() { return CreateLinuxStorage(machine_.Roots()); }

  static std::vector<std::string> Paths(const std::array<char, VolumeTextCapacity>& buffer) {
    std::vector<std::string> paths;
    for (std::size_t at = 0; at < buffer.size() && buffer[at] != '\0';) {
      paths.emplace_back(&buffer[at]);
      at += paths.back().size() + 1;
    }
    return paths;
  }

  FixtureMachine machine_;
  std::filesystem::path disk_;
};

TEST_F(LinuxVolumeTest, PathNamesAreTheRootMountsOfThePartition) {
  auto storage = Storage();
  std::array<char, VolumeTextCapacity> buffer{};
  ASSERT_TRUE(storage->VolumePathNames(FirstVolume, buffer));
  EXPECT_EQ(Paths(buffer), (std::vector<std::string>{"/mnt/a/", "/mnt/b/"}));
  buffer.fill('\0');
  ASSERT_TRUE(storage->VolumePathNames(SecondVolume, buffer));  // not mounted
  EXPECT_TRUE(Paths(buffer).empty());
}

TEST_F(LinuxVolumeTest, RefusalsCarryWindowsCodes) {
  auto storage = Storage();
  std::array<char, VolumeTextCapacity> buffer{};
  VolumeInformationResult info;
  const struct {
    const char* path;
    std::uint32_t pathsCode, driveType, informationCode;
  } cases[] = {
      {UnknownVolume, 2, 1, 3},
      {"\\\\?\\Volume{CAFEF00D-0000-0000-0000-100000000000}", 123, 1, 123},  // no trailing backslash
      {"/dev/loop1", 123, 1, 123},
      {"", 123, 1, 123},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(storage->VolumePathNames(c.path, buffer)) << c.path;
    EXPECT_EQ(storage->LastErrorCode(), c.pathsCode) << c.path;
    EXPECT_EQ(storage->DriveType(c.path), c.driveType) << c.path;
    EXPECT_FALSE(storage->VolumeInformation(c.path, info)) << c.path;
    EXPECT_EQ(storage->LastErrorCode(), c.informationCode) << c.path;
  }
}

TEST_F(LinuxVolumeTest, PathsBeyondTheBufferAreLeftOutWithMoreData) {
  // Eight mount points of 201 bytes with their final slash: five fit in
  // 1024 bytes with their NULs and the list's final one (5 x 202 + 1), the
  // other three do not.
  std::string table;
  std::vector<std::string> expected;
  for (int i = 0; i < 8; ++i) {
    const std::string target = "/mnt/" + std::string(193, static_cast<char>('a' + i)) + "-" + std::to_string(i);
    table += std::to_string(40 + i) + " 21 7:1 / " + target + " rw - vfat /dev/loop1 rw\n";
    if (i < 5) expected.push_back(target + "/");
  }
  machine_.SetMountInfo(table);
  auto storage = Storage();
  std::array<char, VolumeTextCapacity> buffer{};
  EXPECT_FALSE(storage->VolumePathNames(FirstVolume, buffer));
  EXPECT_EQ(storage->LastErrorCode(), 234u);
  EXPECT_EQ(Paths(buffer), expected);
}

TEST_F(LinuxVolumeTest, DriveTypeFollowsTheDiskThatCarriesTheVolume) {
  EXPECT_EQ(Storage()->DriveType(FirstVolume), 3u);
  EXPECT_EQ(Storage()->DriveType(SecondVolume), 3u);
  // A removable clone of the disk comes first in drive order (disks before
  // loop devices), so it answers for both volumes.
  machine_.AddBlock("sdb", "8:16", 32768, true);
  machine_.AddDevice("sdb", TwoPartitionDisk());
  EXPECT_EQ(Storage()->DriveType(FirstVolume), 2u);
  EXPECT_EQ(Storage()->DriveType(SecondVolume), 2u);
  // The clone's partition is not the one loop1 shows: no mount points.
  std::array<char, VolumeTextCapacity> buffer{};
  ASSERT_TRUE(Storage()->VolumePathNames(FirstVolume, buffer));
  EXPECT_TRUE(Paths(buffer).empty());
}

TEST_F(LinuxVolumeTest, InformationFromTheFileSystemInThePartition) {
  if (!test::HaveTool("mkfs.vfat")) GTEST_SKIP() << "mkfs.vfat missing";
  const std::filesystem::path part = machine_.Root() / "part.img";
  test::MakeSparseFile(part, 4 * MiB);
  bool ok = false;
  test::RunCommand("mkfs.vfat -i 1234ABCD -n QUILLBRANE " + part.string(), ok);
  ASSERT_TRUE(ok);
  test::PlaceFileAt(part, disk_, 1 * MiB);

  VolumeInformationResult info;
  ASSERT_TRUE(Storage()->VolumeInformation(FirstVolume, info));
  EXPECT_STREQ(info.label.data(), "QUILLBRANE");
  EXPECT_STREQ(info.fileSystem.data(), "FAT");
  EXPECT_EQ(info.serialNumber, 0x1234ABCDu);
  EXPECT_EQ(info.maximumComponentLength, 255u);  // its mount points are not there to ask
  // Mounted read-write at /mnt/a: not a read-only volume.
  EXPECT_EQ(info.fileSystemFlags, 0x00020206u);

  // Nothing in the second partition.
  auto storage = Storage();
  EXPECT_FALSE(storage->VolumeInformation(SecondVolume, info));
  EXPECT_EQ(storage->LastErrorCode(), 1005u);
}

TEST_F(LinuxVolumeTest, ReadOnlyWhenTheDeviceOrEveryMountIs) {
  if (!test::HaveTool("mkfs.vfat")) GTEST_SKIP() << "mkfs.vfat missing";
  const std::filesystem::path part = machine_.Root() / "part.img";
  test::MakeSparseFile(part, 4 * MiB);
  bool ok = false;
  test::RunCommand("mkfs.vfat " + part.string(), ok);
  ASSERT_TRUE(ok);
  test::PlaceFileAt(part, disk_, 1 * MiB);
  VolumeInformationResult info;

  // Every mount of the volume read-only (the sub-folder one included).
  machine_.SetMountInfo("31 21 7:1 / /mnt/b ro - vfat /dev/loop1 ro\n"
                        "32 21 7:1 /x /srv/x ro - vfat /dev/loop1 rw\n");
  ASSERT_TRUE(Storage()->VolumeInformation(FirstVolume, info));
  EXPECT_EQ(info.fileSystemFlags, 0x000A0206u);

  // A writable bind mount of a sub-folder keeps the volume writable.
  machine_.SetMountInfo("31 21 7:1 / /mnt/b ro - vfat /dev/loop1 ro\n"
                        "32 21 7:1 /x /srv/x rw - vfat /dev/loop1 rw\n");
  ASSERT_TRUE(Storage()->VolumeInformation(FirstVolume, info));
  EXPECT_EQ(info.fileSystemFlags, 0x00020206u);

  // Not mounted at all, on a read-only disk.
  machine_.SetMountInfo("");
  machine_.SetReadOnly("loop0");
  ASSERT_TRUE(Storage()->VolumeInformation(FirstVolume, info));
  EXPECT_EQ(info.fileSystemFlags, 0x000A0206u);
}

}  // namespace
}  // namespace quillbrane
