// The hostile-disk catalogue (hostile_disks.cpp) decoded in memory: each
// disk gives the layout its table says it must, reads nothing outside the
// disk and no more than a few passes over it, leaves the caller's buffer
// alone when it fails, and makes a report whose every line is whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>
#include <string>
#include <vector>

#include "disk_image.h"
#include "fake_storage.h"
#include "format/format.h"
#include "hostile_disks.h"
#include "storage/byte_order.h"
#include "storage/disk_source.h"
#include "storage/partition_table.h"
#include "storage/records.h"
#include "survey/survey.h"

namespace quillbrane {
namespace {

using test::HostileDisk;
using test::ShownEntry;

constexpr std::uint8_t Untouched = 0xA5;

// The entries the report writes: every entry up to the count whose style
// is not MBR or that is a recognised MBR partition.
std::vector<ShownEntry> ShownEntries(const std::array<std::uint8_t, LayoutBufferSize>& record) {
  std::vector<ShownEntry> shown;
  const std::uint32_t count = std::min<std::uint32_t>(LoadU32(record, layout::PartitionCount), LayoutEntryCapacity);
  for (std::size_t i = 0; i < count; ++i) {
    const auto e = std::span<const std::uint8_t>(record).subspan(layout::EntryOffset(i), PartitionEntrySize);
    if (LoadU32(e, entry::PartitionStyle) == PartitionStyleMbr && LoadU8(e, entry::MbrRecognizedPartition) == 0) {
      continue;
    }
    shown.push_back({i, LoadI64(e, entry::StartingOffset), LoadI64(e, entry::PartitionLength), {}});
  }
  return shown;
}

std::string Describe(const std::vector<ShownEntry>& entries) {
  // Appended piece by piece: a literal plus a string trips GCC 12's
  // -Wrestrict at -O3.
  std::string text;
  for (const ShownEntry& e : entries) {
    text += '[';
    text += std::to_string(e.index);
    text += ": ";
    text += FormatGrouped(e.offset, '\'');
    text += " + ";
    text += FormatGrouped(e.length, '\'');
    text += "] ";
  }
  return text.empty() ? "none" : text;
}

// The report of a machine whose only drive is this disk, as the survey
// writes it from the two records.
std::string ReportOf(const HostileDisk& disk, std::uint32_t geometryCode,
                     const std::array<std::uint8_t, GeometryBufferSize>& geometryRecord, std::uint32_t layoutCode,
                     const std::array<std::uint8_t, LayoutBufferSize>& layoutRecord) {
  test::FakeStorage storage;
  test::FakeDrive& drive = storage.drives[0];
  if (geometryCode == 0) drive.geometry = geometryRecord;
  drive.geometryError = geometryCode;
  if (layoutCode == 0) drive.layout = layoutRecord;
  drive.layoutError = layoutCode;
  test::MemorySink sink;
  ReportWriter report(sink);
  EXPECT_TRUE(WriteReport(storage, report)) << disk.name;
  return sink.written;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  for (std::size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
    lines.push_back(text.substr(at, end - at));
  }
  EXPECT_EQ(at, text.size()) << "text after the last CR LF";
  return lines;
}

TEST(HostileDiskTest, EachDiskDecodesAsItsTableSays) {
  const std::vector<HostileDisk> disks = test::HostileDisks();
  std::set<std::size_t> sizes;
  for (const HostileDisk& disk : disks) {
    SCOPED_TRACE(disk.name + ": " + disk.reason);
    // The end-to-end test finds each disk's block in the report by its size.
    ASSERT_TRUE(sizes.insert(disk.bytes.size()).second) << "two disks of " << disk.bytes.size() << " bytes";

    MemoryDiskSource memory(disk.bytes);
    test::ProbeDisk probe(memory, disk.bytes.size());
    // Three passes over the disk at most: a decoder that loops or re-reads
    // without bound fails here instead of running on.
    probe.budget = 3 * disk.bytes.size() + 65536;
    const DiskFacts facts{disk.bytes.size(), disk.sectorSize, false};

    std::array<std::uint8_t, LayoutBufferSize> record;
    record.fill(Untouched);
    const std::uint32_t code = FillLayoutRecord(probe, facts, record);
    ASSERT_EQ(code, disk.code);
    std::array<std::uint8_t, GeometryBufferSize> geometryRecord{};
    ASSERT_EQ(FillGeometryRecord(probe, facts, geometryRecord), 0u) << "the geometry of any readable disk";
    EXPECT_EQ(probe.readsOutside, 0u) << "reads asked for past the disk's end";

    if (code != 0) {
      EXPECT_TRUE(std::all_of(record.begin(), record.end(), [](std::uint8_t b) { return b == Untouched; }))
          << "a failed request changed the buffer";
    } else {
      EXPECT_EQ(LoadU32(record, layout::PartitionStyle), disk.style);
      EXPECT_EQ(LoadU32(record, layout::PartitionCount), disk.count);
      if (disk.usable) {
        EXPECT_EQ(LoadI64(record, layout::GptStartingUsableOffset), disk.usable->startingOffset);
        EXPECT_EQ(LoadI64(record, layout::GptUsableLength), disk.usable->length);
        EXPECT_EQ(LoadU32(record, layout::GptMaxPartitionCount), disk.usable->maxPartitionCount);
      }
      const std::vector<ShownEntry> shown = ShownEntries(record);
      bool same = shown.size() == disk.shown.size();
      for (std::size_t i = 0; same && i < shown.size(); ++i) {
        same = shown[i].index == disk.shown[i].index && shown[i].offset == disk.shown[i].offset &&
               shown[i].length == disk.shown[i].length;
      }
      EXPECT_TRUE(same) << "shown " << Describe(shown) << "\nwanted " << Describe(disk.shown);
      // Nothing past the entries the count covers.
      const std::size_t end = layout::EntryOffset(std::min<std::size_t>(disk.count, LayoutEntryCapacity));
      EXPECT_TRUE(std::all_of(record.begin() + static_cast<std::ptrdiff_t>(end), record.end(),
                              [](std::uint8_t b) { return b == 0; }))
          << "bytes written past entry " << disk.count;
    }

    // The report: every line whole, and the names as the table says.
    const std::string report = ReportOf(disk, 0, geometryRecord, code, record);
    const std::vector<std::string> lines = Lines(report);
    for (const std::string& line : lines) {
      ASSERT_EQ(line.find_first_of("\r\n"), std::string::npos) << "a bare CR or LF in: " << line;
    }
    std::size_t headings = 0;
    for (const std::string& line : lines) headings += line.rfind("> PartitionEntry[", 0) == 0 ? 1 : 0;
    EXPECT_EQ(headings, disk.shown.size()) << "entry headings in the report";
    for (const ShownEntry& e : disk.shown) {
      if (e.name.empty()) continue;
      EXPECT_NE(std::find(lines.begin(), lines.end(), "  * Name: " + e.name), lines.end())
          << "no name line for entry " << e.index << ":\n" << report;
    }
  }
}

TEST(HostileDiskTest, AClonedDiskHasTheSameIdentifiersAsItsOriginal) {
  const std::vector<HostileDisk> disks = test::HostileDisks();
  auto decode = [&](const std::string& name) {
    const auto disk = std::find_if(disks.begin(), disks.end(), [&](const HostileDisk& d) { return d.name == name; });
    EXPECT_NE(disk, disks.end()) << name;
    std::array<std::uint8_t, LayoutBufferSize> record{};
    if (disk == disks.end()) return record;
    MemoryDiskSource source(disk->bytes);
    EXPECT_EQ(FillLayoutRecord(source, DiskFacts{disk->bytes.size(), disk->sectorSize, false}, record), 0u) << name;
    return record;
  };
  const auto original = decode("gpt-clone-original");
  const auto copy = decode("gpt-clone-copy");
  // The disk GUID and every entry (type, unique GUID, range, name) match;
  // the usable area is each disk's own header's, and the same here too.
  EXPECT_TRUE(std::equal(original.begin(), original.end(), copy.begin()));
  EXPECT_EQ(FormatGuid(std::span<const std::uint8_t>(copy).subspan(layout::GptDiskId).first<GuidSize>()),
            "{5EB1A2C3-0D4E-4F60-8172-93A4B5C6D7E8}");
}

TEST(HostileDiskTest, DevicesShorterThanASectorAreNotReadPastTheirEnd) {
  // A device of a few bytes has no sector 0: both queries answer without
  // asking for the bytes it does not have. Found by the partition-table
  // fuzzer: the geometry query read a whole sector regardless.
  const struct {
    std::size_t bytes;
    std::uint32_t sectorSize;
    bool removable;
  } cases[] = {{1, 512, false}, {356, 512, false}, {511, 512, true}, {4095, 4096, false}, {512, 4096, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.bytes) + " bytes, sectors of " + std::to_string(c.sectorSize) +
                 (c.removable ? ", removable" : ", fixed"));
    std::vector<std::uint8_t> bytes(c.bytes, 0x55);
    MemoryDiskSource memory(bytes);
    test::ProbeDisk probe(memory, bytes.size());
    const DiskFacts facts{bytes.size(), c.sectorSize, c.removable};
    std::array<std::uint8_t, GeometryBufferSize> geometryRecord{};
    EXPECT_EQ(FillGeometryRecord(probe, facts, geometryRecord), 0u);
    EXPECT_EQ(LoadI64(geometryRecord, geometry::DiskSize), static_cast<std::int64_t>(c.bytes));
    std::array<std::uint8_t, LayoutBufferSize> layoutRecord{};
    EXPECT_EQ(FillLayoutRecord(probe, facts, layoutRecord), 0u);
    EXPECT_EQ(probe.readsOutside, 0u);
  }
}

}  // namespace
}  // namespace quillbrane
