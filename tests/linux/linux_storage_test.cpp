// The Linux drive layer against a fixture sysfs tree and a fixture /dev of
// image files: the drive list, opening, error codes and geometry.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

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
  storage->CloseDrive(handle);

  ASSERT_TRUE(storage->OpenPhysicalDrive("\\\\.\\PhysicalDrive1", handle));
  ASSERT_TRUE(storage->QueryGeometry(handle, record));
  EXPECT_EQ(LoadI64(record, geometry::DiskSize), 1024 * 1024);
  EXPECT_EQ(LoadI64(record, geometry::Cylinders), 2048);  // smaller than a cylinder
  storage->CloseDrive(handle);
  (void)layoutRecord;
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
  storage->CloseDrive(handle);
}

}  // namespace
}  // namespace quillbrane
