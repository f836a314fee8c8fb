// Writes the hostile-disk catalogue into a directory, for the end-to-end
// survey of loop disks and the benchmark: NAME.img for every disk, and a
// manifest that says, for each, the lines the report must show.
//
// Manifest lines are tab-separated:
//   disk     NAME.img  SECTOR-SIZE  BYTES
//   expect   a line the drive's block must hold, in this order
//   entries  the indexes of every "> PartitionEntry[i]:" heading, or "-"
#include <cstdio>
#include <string>

#include "format/format.h"
#include "hostile_disks.h"
#include "storage/error_codes.h"
#include "storage/records.h"

namespace {

using quillbrane::FormatGrouped;

std::string Grouped(std::int64_t value) { return FormatGrouped(value, '\''); }

std::string StyleName(std::uint32_t style) {
  switch (style) {
    case quillbrane::PartitionStyleMbr: return "MBR";
    case quillbrane::PartitionStyleGpt: return "GPT";
    default: return "RAW";
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  std::FILE* manifest = std::fopen((dir + "/manifest").c_str(), "w");
  if (manifest == nullptr) {
    std::perror("manifest");
    return 1;
  }
  for (const quillbrane::test::HostileDisk& disk : quillbrane::test::HostileDisks()) {
    const std::string file = disk.name + ".img";
    std::FILE* image = std::fopen((dir + "/" + file).c_str(), "wb");
    if (image == nullptr || std::fwrite(disk.bytes.data(), 1, disk.bytes.size(), image) != disk.bytes.size() ||
        std::fclose(image) != 0) {
      std::perror(file.c_str());
      return 1;
    }
    const auto size = static_cast<std::int64_t>(disk.bytes.size());
    std::fprintf(manifest, "disk\t%s\t%u\t%lld\n", file.c_str(), disk.sectorSize, static_cast<long long>(size));
    auto expect = [&](const std::string& line) { std::fprintf(manifest, "expect\t%s\n", line.c_str()); };
    if (disk.code != 0) {
      expect(">>> DeviceIoControl(IOCTL_DISK_GET_DRIVE_LAYOUT_EX) error #" + std::to_string(disk.code) + ": " +
             quillbrane::WindowsErrorText(disk.code).substr(0, quillbrane::WindowsErrorText(disk.code).find('\r')));
    } else {
      expect("IOCTL_DISK_GET_DRIVE_LAYOUT_EX:");
      expect("- PartitionStyle: " + StyleName(disk.style));
      expect("- PartitionCount: " + Grouped(disk.count));
      if (disk.usable) {
        expect("- StartingUsableOffset: " + Grouped(disk.usable->startingOffset));
        expect("- UsableLength: " + Grouped(disk.usable->length));
        expect("- MaxPartitionCount: " + Grouped(disk.usable->maxPartitionCount));
      }
    }
    std::string indexes;
    for (const quillbrane::test::ShownEntry& shown : disk.shown) {
      expect("> PartitionEntry[" + std::to_string(shown.index) + "]:");
      expect("  * StartingOffset: " + Grouped(shown.offset));
      expect("  * PartitionLength: " + Grouped(shown.length));
      if (!shown.name.empty()) expect("  * Name: " + shown.name);
      if (!indexes.empty()) indexes += ' ';
      indexes += std::to_string(shown.index);
    }
    std::fprintf(manifest, "entries\t%s\n", indexes.empty() ? "-" : indexes.c_str());
  }
  return std::fclose(manifest) == 0 ? 0 : 1;
}
