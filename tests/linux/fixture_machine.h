// A machine made of files for the Linux storage tests: a sysfs tree of block
// devices, a /dev of image files and a mount table, in a temporary
// directory removed at the end.
#pragma once

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "storage/linux/linux_storage.h"

namespace quillbrane::test {

class FixtureMachine {
 public:
  FixtureMachine() {
    char pattern[] = "/tmp/quillbrane-sysfs-XXXXXX";
    root_ = mkdtemp(pattern);
    std::filesystem::create_directories(root_ / "sys/block");
    std::filesystem::create_directories(root_ / "dev");
  }
  ~FixtureMachine() { std::filesystem::remove_all(root_); }
  FixtureMachine(const FixtureMachine&) = delete;
  FixtureMachine& operator=(const FixtureMachine&) = delete;

  // A block device in sysfs; `sectors` in 512-byte units as sysfs gives them.
  void AddBlock(const std::string& name, const std::string& dev, std::uint64_t sectors, bool removable = false) {
    const std::filesystem::path dir = root_ / "sys/block" / name;
    std::filesystem::create_directories(dir);
    Write(dir / "dev", dev + "\n");
    Write(dir / "size", std::to_string(sectors) + "\n");
    Write(dir / "removable", removable ? "1\n" : "0\n");
    Write(dir / "ro", "0\n");
  }
  // A loop device; no backing file leaves it unbound.
  void AddLoop(int number, const std::string& backingFile, std::uint64_t offset, std::uint64_t sectors,
               std::uint64_t sizeLimit = 0) {
    const std::string name = "loop" + std::to_string(number);
    AddBlock(name, "7:" + std::to_string(number), sectors);
    if (!backingFile.empty()) {
      const std::filesystem::path loop = root_ / "sys/block" / name / "loop";
      std::filesystem::create_directories(loop);
      Write(loop / "backing_file", backingFile + "\n");
      Write(loop / "offset", std::to_string(offset) + "\n");
      Write(loop / "sizelimit", std::to_string(sizeLimit) + "\n");
    }
  }
  // A partition device of `disk`, as the kernel lists it under the disk.
  void AddPartition(const std::string& disk, const std::string& name, const std::string& dev,
                    std::uint64_t startSectors, std::uint64_t sectors) {
    const std::filesystem::path dir = root_ / "sys/block" / disk / name;
    std::filesystem::create_directories(dir);
    Write(dir / "dev", dev + "\n");
    Write(dir / "partition", name.substr(name.find_last_not_of("0123456789") + 1) + "\n");
    Write(dir / "start", std::to_string(startSectors) + "\n");
    Write(dir / "size", std::to_string(sectors) + "\n");
  }
  void SetReadOnly(const std::string& name) { Write(root_ / "sys/block" / name / "ro", "1\n"); }

  // The device node: an image file of `bytes` bytes.
  std::filesystem::path AddDevice(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const std::filesystem::path path = root_ / "dev" / name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
  }
  // The mount table, in /proc/self/mountinfo format.
  void SetMountInfo(const std::string& text) { Write(root_ / "mountinfo", text); }

  LinuxRoots Roots() const {
    return LinuxRoots{(root_ / "sys/block").string(), Dev(), (root_ / "mountinfo").string()};
  }
  std::string SysBlock() const { return (root_ / "sys/block").string(); }
  std::string Dev() const { return (root_ / "dev").string(); }
  std::filesystem::path Root() const { return root_; }

 private:
  static void Write(const std::filesystem::path& path, const std::string& text) { std::ofstream(path) << text; }
  std::filesystem::path root_;
};

}  // namespace quillbrane::test
