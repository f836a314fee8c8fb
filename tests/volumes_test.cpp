// Volumes on partitions: volume paths, the volumes of a layout record, the
// lookup by identifier, which block devices show a partition, mount paths
// and the path list.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "format/format.h"
#include "record_builders.h"
#include "storage/volumes.h"

namespace quillbrane {
namespace {

std::string GuidText(const Guid& id) { return FormatGuid(std::span<const std::uint8_t, 16>(id)); }

TEST(VolumeGuidPathTest, AcceptsOnlyTheExactForm) {
  const struct {
    std::string path;
    bool valid;
  } cases[] = {
      {"\\\\?\\Volume{C12A7328-F81F-11D2-BA4B-00A0C93EC93B}\\", true},
      {"\\\\?\\Volume{c12a7328-f81f-11d2-ba4b-00a0c93ec93b}\\", true},
      {"\\\\?\\Volume{c12A7328-F81f-11d2-bA4B-00a0C93EC93b}\\", true},
      {"\\\\?\\Volume{C12A7328-F81F-11D2-BA4B-00A0C93EC93B}", false},      // no trailing backslash
      {"\\\\?\\Volume{C12A7328-F81F-11D2-BA4B-00A0C93EC93B}\\\\", false},  // two
      {"\\\\?\\Volume{C12A7328-F81F-11D2-BA4B-00A0C93EC93B}/", false},
      {"\\\\.\\Volume{C12A7328-F81F-11D2-BA4B-00A0C93EC93B}\\", false},
      {"\\\\?\\volume{C12A7328-F81F-11D2-BA4B-00A0C93EC93B}\\", false},
      {"\\\\?\\Volume(C12A7328-F81F-11D2-BA4B-00A0C93EC93B)\\", false},
      {"\\\\?\\VolumeC12A7328-F81F-11D2-BA4B-00A0C93EC93B\\", false},
      {"\\\\?\\Volume{C12A7328F81F-11D2-BA4B-00A0C93EC93B0}\\", false},   // dash moved
      {"\\\\?\\Volume{C12A7328-F81F-11D2-BA4B-00A0C93EC93G}\\", false},   // not hex
      {"\\\\?\\Volume{C12A7328-F81F-11D2-BA4B-00A0C93EC93}\\", false},    // short
      {"\\\\?\\Volume{C12A7328-F81F-11D2-BA4B-00A0C93EC93BB}\\", false},  // long
      {"\\\\?\\Volume{ C12A7328-F81F-11D2-BA4B-00A0C93EC93}\\", false},
      {"\\\\?\\Volume{}\\", false},
      {"\\\\?\\Volume", false},
      {"", false},
      {"X\\\\?\\Volume{C12A7328-F81F-11D2-BA4B-00A0C93EC93B}\\", false},
  };
  for (const auto& c : cases) {
    Guid id{};
    EXPECT_EQ(ParseVolumeGuidPath(c.path, id), c.valid) << c.path;
  }
}

TEST(VolumeGuidPathTest, GivesTheStoredLayout) {
  // The EFI system partition type, whose stored bytes are well known.
  Guid id{};
  ASSERT_TRUE(ParseVolumeGuidPath("\\\\?\\Volume{c12a7328-f81f-11d2-ba4b-00a0c93ec93b}\\", id));
  const Guid expected = {0x28, 0x73, 0x2A, 0xC1, 0x1F, 0xF8, 0xD2, 0x11,
                         0xBA, 0x4B, 0x00, 0xA0, 0xC9, 0x3E, 0xC9, 0x3B};
  EXPECT_EQ(id, expected);
  EXPECT_EQ(GuidText(id), "{C12A7328-F81F-11D2-BA4B-00A0C93EC93B}");
}

TEST(LayoutVolumesTest, MbrRecognisedEntriesOnly) {
  test::LayoutSpec table;
  table.style = PartitionStyleMbr;
  table.partitionCount = 8;
  const auto id1 = test::ParseGuid("{12345678-0000-0000-00BE-010000000000}");
  const auto id5 = test::ParseGuid("{12345678-0000-0000-0000-500000000000}");
  table.entries = {
      {.style = PartitionStyleMbr, .startingOffset = 1048576, .partitionLength = 2097152, .mbrType = 0x83,
       .recognized = 1, .mbrPartitionId = id1},
      {.style = PartitionStyleMbr, .startingOffset = 4194304, .partitionLength = 8388608, .mbrType = 0x05,
       .recognized = 0},  // the extended container
      {},
      {},
      {.style = PartitionStyleMbr, .startingOffset = 5242880, .partitionLength = 1048576, .mbrType = 0x07,
       .recognized = 1, .mbrPartitionId = id5},
  };
  const auto volumes = ListLayoutVolumes(test::BuildLayout(table));
  ASSERT_EQ(volumes.size(), 2u);
  EXPECT_EQ(volumes[0].id, id1);
  EXPECT_EQ(volumes[0].offset, 1048576u);
  EXPECT_EQ(volumes[0].length, 2097152u);
  EXPECT_EQ(volumes[1].id, id5);
  EXPECT_EQ(volumes[1].offset, 5242880u);
  EXPECT_EQ(volumes[1].length, 1048576u);
}

TEST(LayoutVolumesTest, EveryGptEntryWithItsUniqueGuid) {
  test::LayoutSpec table;
  table.style = PartitionStyleGpt;
  table.partitionCount = 2;
  const auto type = test::ParseGuid("{0FC63DAF-8483-4772-8E79-3D69D8477DE4}");
  const auto a = test::ParseGuid("{6E1F4E0B-4D1A-4B9B-9C5F-1A2B3C4D5E6F}");
  const auto b = test::ParseGuid("{A0B1C2D3-E4F5-4607-8819-2A3B4C5D6E7F}");
  table.entries = {
      {.style = PartitionStyleGpt, .startingOffset = 1048576, .partitionLength = 4194304, .gptType = type, .gptId = a},
      // A GPT entry's byte 34 is part of its type GUID, never a filter.
      {.style = PartitionStyleGpt, .startingOffset = 5242880, .partitionLength = 1048576, .gptType = {}, .gptId = b},
  };
  const auto volumes = ListLayoutVolumes(test::BuildLayout(table));
  ASSERT_EQ(volumes.size(), 2u);
  EXPECT_EQ(GuidText(volumes[0].id), "{6E1F4E0B-4D1A-4B9B-9C5F-1A2B3C4D5E6F}");
  EXPECT_EQ(GuidText(volumes[1].id), "{A0B1C2D3-E4F5-4607-8819-2A3B4C5D6E7F}");
  EXPECT_EQ(volumes[1].offset, 5242880u);
}

TEST(LayoutVolumesTest, ReadsNoMoreEntriesThanTheRecordHolds) {
  test::LayoutSpec table;
  table.style = PartitionStyleGpt;
  table.partitionCount = 0xFFFFFFFF;
  for (std::size_t i = 0; i < LayoutEntryCapacity; ++i) {
    test::EntrySpec e{.style = PartitionStyleGpt, .startingOffset = static_cast<std::int64_t>(i + 1) * 4096,
                      .partitionLength = 4096};
    e.gptId[0] = static_cast<std::uint8_t>(i + 1);
    table.entries.push_back(e);
  }
  EXPECT_EQ(ListLayoutVolumes(test::BuildLayout(table)).size(), LayoutEntryCapacity);
}

TEST(LayoutVolumesTest, SkipsRawEntriesAndNegativePlaces) {
  test::LayoutSpec table;
  table.style = PartitionStyleRaw;
  table.partitionCount = 3;
  table.entries = {
      {.style = PartitionStyleRaw, .startingOffset = 0, .partitionLength = 4096},
      {.style = PartitionStyleGpt, .startingOffset = -512, .partitionLength = 4096, .gptId = {1}},
      {.style = PartitionStyleGpt, .startingOffset = 512, .partitionLength = -1, .gptId = {2}},
  };
  EXPECT_TRUE(ListLayoutVolumes(test::BuildLayout(table)).empty());
}

TEST(FindVolumeTest, TheLowestDriveAnswersForClones) {
  const Guid shared = test::ParseGuid("{6E1F4E0B-4D1A-4B9B-9C5F-1A2B3C4D5E6F}");
  const Guid other = test::ParseGuid("{A0B1C2D3-E4F5-4607-8819-2A3B4C5D6E7F}");
  const std::vector<IndexedVolume> index = {
      {{other, 1048576, 4096}, 0},
      {{shared, 2097152, 8192}, 1},
      {{shared, 2097152, 8192}, 3},
  };
  const IndexedVolume* found = FindVolumeByPartitionId(index, shared);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->drive, 1u);
  ASSERT_NE(FindVolumeByPartitionId(index, other), nullptr);
  EXPECT_EQ(FindVolumeByPartitionId(index, other)->drive, 0u);
  EXPECT_EQ(FindVolumeByPartitionId(index, test::ParseGuid("{00000000-0000-0000-0000-000000000001}")), nullptr);
}

TEST(FindVolumeTest, TheZeroGuidNamesNoVolume) {
  const std::vector<IndexedVolume> index = {{{Guid{}, 1048576, 4096}, 0}};
  EXPECT_EQ(FindVolumeByPartitionId(index, Guid{}), nullptr);
}

TEST(BlockDeviceHoldsPartitionTest, MatchesViewsOfExactlyThePartition) {
  constexpr std::uint64_t MiB = 1024 * 1024;
  // Partition at 1 MiB, 8 MiB long, on loop3 (a 64 MiB image file).
  const PartitionPlace place{.diskName = "loop3", .diskNode = "/dev/loop3", .diskBackingFile = "/img/gpt.img",
                             .diskSize = 64 * MiB, .offset = 1 * MiB, .length = 8 * MiB};
  const auto partition = [](std::string disk, std::uint64_t start, std::uint64_t size) {
    return BlockDeviceView{.name = disk + "p1", .parentDisk = disk, .startSectors = start, .sizeSectors = size};
  };
  const auto loop = [](std::string file, std::uint64_t offset, std::uint64_t limit, std::uint64_t sectors) {
    return BlockDeviceView{.name = "loop9", .sizeSectors = sectors, .backingFile = file, .loopOffset = offset,
                           .loopSizeLimit = limit};
  };
  const struct {
    const char* what;
    BlockDeviceView device;
    bool holds;
  } cases[] = {
      {"partition device", partition("loop3", 2048, 16384), true},
      {"partition of another disk", partition("loop4", 2048, 16384), false},
      {"partition starting a sector later", partition("loop3", 2049, 16384), false},
      {"partition a sector shorter", partition("loop3", 2048, 16383), false},
      {"loop over the backing file", loop("/img/gpt.img", 1 * MiB, 8 * MiB, 16384), true},
      {"loop over the disk node", loop("/dev/loop3", 1 * MiB, 8 * MiB, 16384), true},
      {"loop over another file", loop("/img/mbr.img", 1 * MiB, 8 * MiB, 16384), false},
      {"loop over another disk node", loop("/dev/loop4", 1 * MiB, 8 * MiB, 16384), false},
      {"loop at another offset", loop("/img/gpt.img", 2 * MiB, 8 * MiB, 16384), false},
      {"loop with a shorter limit", loop("/img/gpt.img", 1 * MiB, 4 * MiB, 8192), false},
      {"loop without a limit ending with it", loop("/img/gpt.img", 1 * MiB, 0, 16384), true},
      {"loop without a limit running on", loop("/img/gpt.img", 1 * MiB, 0, 16385), false},
      {"the whole disk", BlockDeviceView{.name = "loop3", .sizeSectors = 131072}, false},
      {"an unrelated device", BlockDeviceView{.name = "sda", .sizeSectors = 16384}, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(BlockDeviceHoldsPartition(c.device, place), c.holds) << c.what;
  }
}

TEST(BlockDeviceHoldsPartitionTest, TheDiskItselfHoldsAWholeDiskPartition) {
  constexpr std::uint64_t Size = 1474560;  // a floppy image without a table
  const PartitionPlace whole{.diskName = "sdb", .diskNode = "/dev/sdb", .diskSize = Size, .offset = 0, .length = Size};
  EXPECT_TRUE(BlockDeviceHoldsPartition(BlockDeviceView{.name = "sdb", .sizeSectors = Size / 512}, whole));
  EXPECT_FALSE(BlockDeviceHoldsPartition(BlockDeviceView{.name = "sdc", .sizeSectors = Size / 512}, whole));
  // A disk that is not a loop device has no backing file to match a loop
  // device without one.
  EXPECT_FALSE(BlockDeviceHoldsPartition(
      BlockDeviceView{.name = "loop1", .sizeSectors = Size / 512, .backingFile = "/img/x"}, whole));
}

TEST(MountPathsTest, RootMountsOnceEachEndingInSlash) {
  const std::vector<MountRecord> mounts = {
      {"/mnt/a", "/", false},
      {"/srv/data", "/data", false},  // a bind mount of a sub-folder
      {"/mnt/b/", "/", true},
      {"/mnt/a", "/", false},         // mounted twice at the same place
      {"/", "/", false},
      {"/mnt/with space", "/", false},
  };
  EXPECT_EQ(MountPathsFor(mounts), (std::vector<std::string>{"/mnt/a/", "/mnt/b/", "/", "/mnt/with space/"}));
  EXPECT_TRUE(MountPathsFor({}).empty());
}

std::string Listed(const std::vector<char>& buffer) {
  std::string text;
  std::size_t at = 0;
  while (at < buffer.size() && buffer[at] != '\0') {
    const std::string path(&buffer[at]);
    text += path + "|";
    at += path.size() + 1;
  }
  return text;
}

TEST(PackVolumePathsTest, WholePathsThatFitWithTheFinalNul) {
  const std::string p300 = "/" + std::string(298, 'a') + "/";  // 300 bytes
  const std::string p1021 = "/" + std::string(1019, 'b') + "/";
  const std::string p1022 = "/" + std::string(1020, 'c') + "/";
  const std::string p1023 = "/" + std::string(1021, 'd') + "/";
  const struct {
    const char* what;
    std::vector<std::string> paths;
    bool allFit;
    std::string listed;
  } cases[] = {
      {"none", {}, true, ""},
      {"two short", {"/mnt/a/", "/"}, true, "/mnt/a/|/|"},
      {"one filling the buffer", {p1022}, true, p1022 + "|"},
      {"one a byte too long", {p1023}, false, ""},
      {"a later short one still fits", {p300, p300, p300, p300, "/x/"}, false, p300 + "|" + p300 + "|" + p300 + "|/x/|"},
      {"second path one byte too long", {"/", p1021}, false, "/|"},
      {"empty paths are skipped", {"", "/m/"}, true, "/m/|"},
  };
  for (const auto& c : cases) {
    std::vector<char> buffer(1024, '\0');
    EXPECT_EQ(PackVolumePaths(c.paths, buffer), c.allFit) << c.what;
    EXPECT_EQ(Listed(buffer), c.listed) << c.what;
  }
}

TEST(PackVolumePathsTest, EndsTheListWithAnEmptyPath) {
  std::vector<char> buffer(16, 'x');
  ASSERT_TRUE(PackVolumePaths(std::vector<std::string>{"/a/", "/b/"}, buffer));
  EXPECT_EQ(std::string(buffer.data(), 9), std::string("/a/\0/b/\0\0", 9));
  EXPECT_EQ(buffer[9], 'x');  // untouched after the list
  std::vector<char> none;
  EXPECT_FALSE(PackVolumePaths(std::vector<std::string>{}, none));
}

TEST(ReadOnlyVolumeTest, DeviceOrEveryMount) {
  const MountRecord rw{"/a", "/", false};
  const MountRecord ro{"/b", "/", true};
  const struct {
    bool device;
    std::vector<MountRecord> mounts;
    bool readOnly;
  } cases[] = {
      {false, {}, false},   // not mounted, writable device
      {true, {}, true},     // not mounted, read-only device
      {false, {ro}, true},
      {false, {ro, ro}, true},
      {false, {ro, rw}, false},
      {true, {rw}, true},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(IsReadOnlyVolume(cases[i].device, cases[i].mounts), cases[i].readOnly) << "row " << i;
  }
}

}  // namespace
}  // namespace quillbrane
