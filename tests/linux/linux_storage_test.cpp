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

#include "storage/byte_order.h"
#include "storage/disk_formats.h"
#include "storage/linux/drive_list.h"
#include "storage/linux/linux_storage.h"

namespace quillbrane {
namespace {

namespace fs = std::filesystem;

class FixtureMachine {
 public:
  FixtureMachine() {
    char pattern[] = "/tmp/quillbrane-sysfs-XXXXXX";
    root_ = mkdtemp(pattern);
    fs::create_directories(root_ / "sys/block");
    fs::create_directories(root_ / "dev");
  }
  ~FixtureMachine() { fs::remove_all(root_); }

  // A block device in sysfs; `sectors` in 512-byte units as sysfs gives them.
  void AddBlock(const std::string& name, const std::string& dev, std::uint64_t sectors, bool removable = false) {
    const fs::path dir = root_ / "sys/block" / name;
    fs::create_directories(dir);
    Write(dir / "dev", dev + "\n");
    Write(dir / "size", std::to_string(sectors) + "\n");
    Write(dir / "removable", removable ? "1\n" : "0\n");
  }
  void AddLoop(int number, const std::string& backingFile, std::uint64_t offset, std::uint64_t sectors) {
    const std::string name = "loop" + std::to_string(number);
    AddBlock(name, "7:" + std::to_string(number), sectors);
    if (!backingFile.empty()) {
      fs::create_directories(root_ / "sys/block" / name / "loop");
      Write(root_ / "sys/block" / name / "loop/backing_file", backingFile + "\n");
      Write(root_ / "sys/block" / name / "loop/offset", std::to_string(offset) + "\n");
    }
  }
  // The device node: an image file of `bytes` bytes.
  fs::path AddDevice(const std::string& name, std::vector<std::uint8_t> bytes) {
    const fs::path path = root_ / "dev" / name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    return path;
  }
  LinuxRoots Roots() const {
    return LinuxRoots{(root_ / "sys/block").string(), (root_ / "dev").string(), "/nonexistent"};
  }
  std::string SysBlock() const { return (root_ / "sys/block").string(); }

 private:
  static void Write(const fs::path& path, const std::string& text) { std::ofstream(path) << text; }
  fs::path root_;
};

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

}  // namespace
}  // namespace quillbrane
