// Whole reports of scripted machines, pinned byte for byte against golden
// files in tests/golden/, and the run's behaviour around them.
//
// To rewrite the golden files after an intended change of the report, run
// the test with QUILLBRANE_UPDATE_GOLDEN=1 and review the diff.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "fake_storage.h"
#include "record_builders.h"
#include "survey/survey.h"

namespace quillbrane {
namespace {

using test::BuildGeometry;
using test::BuildLayout;
using test::EntrySpec;
using test::FakeDrive;
using test::FakeStorage;
using test::FakeVolume;
using test::GeometrySpec;
using test::LayoutSpec;
using test::MemorySink;
using test::ParseGuid;

const char* const BasicDataType = "{EBD0A0A2-B9E5-4433-87C0-68B6B72699C7}";
const char* const EfiSystemType = "{C12A7328-F81F-11D2-BA4B-00A0C93EC93B}";

std::string Report(FakeStorage& storage) {
  MemorySink sink;
  ReportWriter report(sink);
  EXPECT_TRUE(WriteReport(storage, report));
  EXPECT_TRUE(sink.closed);
  return sink.written;
}

std::string GoldenPath(const std::string& name) {
  return std::string(QUILLBRANE_SOURCE_DIR) + "/tests/golden/" + name;
}

void ExpectMatchesGolden(const std::string& report, const std::string& name) {
  const std::string path = GoldenPath(name);
  if (std::getenv("QUILLBRANE_UPDATE_GOLDEN") != nullptr) {
    std::ofstream(path, std::ios::binary) << report;
  }
  std::ifstream file(path, std::ios::binary);
  ASSERT_TRUE(file) << "missing golden file " << path;
  std::stringstream golden;
  golden << file.rdbuf();
  EXPECT_EQ(report, golden.str()) << "report differs from " << path;
}

void AddStandardTexts(FakeStorage& storage) {
  storage.errorTexts[1] = "Incorrect function.\r\n";
  storage.errorTexts[2] = "The system cannot find the file specified.\r\n";
  storage.errorTexts[5] = "Access is denied.\r\n";
  storage.errorTexts[21] = "The device is not ready.\r\n";
  storage.errorTexts[50] = "The request is not supported.\r\n";
}

// Drive 0: GPT disk with named partitions and volumes mounted at two
// places, at none, and unknown. Drive 1: MBR disk with empty slots between
// its partitions. Drive 2: refused open. Drive 3: size-24 partition info on
// an MBR disk, refused layout. Drive 4: refused geometry, RAW layout with no
// entries. Drive 5: refused open with a code that has no text.
FakeStorage MixedMachine() {
  FakeStorage storage;
  AddStandardTexts(storage);

  FakeDrive gpt;
  gpt.geometry = BuildGeometry(GeometrySpec{
      .cylinders = 30401, .diskSize = 250059350016, .sizeOfPartitionInfo = 24,
      .partitionStyle = PartitionStyleGpt, .gptDiskId = ParseGuid("{6E2A1C55-0B47-4C3F-9A51-0D7E3F2B8C14}")});
  gpt.layout = BuildLayout(LayoutSpec{
      .style = PartitionStyleGpt,
      .partitionCount = 3,
      .diskId = ParseGuid("{6E2A1C55-0B47-4C3F-9A51-0D7E3F2B8C14}"),
      .startingUsableOffset = 17408,
      .usableLength = 250059297280,
      .maxPartitionCount = 128,
      .entries = {
          EntrySpec{.style = PartitionStyleGpt, .startingOffset = 1048576, .partitionLength = 104857600,
                    .partitionNumber = 1, .gptType = ParseGuid(EfiSystemType),
                    .gptId = ParseGuid("{0A1B2C3D-4E5F-4061-8293-A4B5C6D7E8F9}"),
                    .attributes = 0x8000000000000000ULL, .name = u"EFI system partition"},
          EntrySpec{.style = PartitionStyleGpt, .startingOffset = 105906176, .partitionLength = 249953394688,
                    .partitionNumber = 2, .gptType = ParseGuid(BasicDataType),
                    .gptId = ParseGuid("{11111111-2222-3333-4444-555555555555}"),
                    .attributes = 0x0000000000000001ULL,
                    .name = u"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"},
          EntrySpec{.style = PartitionStyleGpt, .startingOffset = 250059284480, .partitionLength = 1048576,
                    .partitionNumber = 3, .gptType = ParseGuid(BasicDataType),
                    .gptId = ParseGuid("{99999999-8888-7777-6666-555555555555}"),
                    .name = u"Donn\u00e9es \U0001F600"},
      }});
  storage.drives[0] = gpt;
  storage.volumes["\\\\?\\Volume{0A1B2C3D-4E5F-4061-8293-A4B5C6D7E8F9}\\"] = FakeVolume{
      .paths = {"C:\\", "D:\\mnt\\efi\\"}, .label = "SYSTEM", .fileSystem = "FAT32",
      .serialNumber = 0x1A2B, .maximumComponentLength = 255, .fileSystemFlags = 0x00020206};
  storage.volumes["\\\\?\\Volume{11111111-2222-3333-4444-555555555555}\\"] = FakeVolume{
      .paths = {}, .label = "", .fileSystem = "NTFS",
      .serialNumber = 0xDEADBEEF, .maximumComponentLength = 255, .fileSystemFlags = 0x03E706FF};

  FakeDrive mbr;
  mbr.geometry = BuildGeometry(GeometrySpec{
      .cylinders = 1044, .diskSize = 8589934592, .sizeOfPartitionInfo = 16,
      .partitionStyle = PartitionStyleMbr, .mbrSignature = 0x8F8378C0, .mbrCheckSum = 0x12345678,
      .detectionType = 2, .maxCylinders = 1023, .exCylinders = 1044});
  mbr.layout = BuildLayout(LayoutSpec{
      .style = PartitionStyleMbr,
      .partitionCount = 4,
      .mbrSignature = 0x8F8378C0,
      .mbrCheckSum = 0x12345678,
      .entries = {
          EntrySpec{.startingOffset = 1048576, .partitionLength = 4294967296, .partitionNumber = 1,
                    .mbrType = 0x07, .bootIndicator = 1, .recognized = 1, .hiddenSectors = 2048,
                    .mbrPartitionId = ParseGuid("{8F8378C0-0000-0000-0000-100000000000}")},
          EntrySpec{},
          EntrySpec{.startingOffset = 4296015872, .partitionLength = 4293918720, .partitionNumber = 2,
                    .mbrType = 0x83, .recognized = 1, .hiddenSectors = 8390656,
                    .mbrPartitionId = ParseGuid("{8F8378C0-0000-0000-0000-100000010000}")},
          EntrySpec{},
      }});
  storage.drives[1] = mbr;
  storage.volumes["\\\\?\\Volume{8F8378C0-0000-0000-0000-100000000000}\\"] = FakeVolume{
      .paths = {"E:\\"}, .driveType = DriveTypeRemovable, .label = "USB", .fileSystem = "NTFS",
      .serialNumber = 0x0BADF00D, .fileSystemFlags = 0x03E706FF};
  storage.volumes["\\\\?\\Volume{8F8378C0-0000-0000-0000-100000010000}\\"] = FakeVolume{
      .paths = {"/srv/"}, .informationSucceeds = false};

  storage.drives[2] = FakeDrive{.openError = 5};

  FakeDrive hybrid;
  hybrid.geometry = BuildGeometry(GeometrySpec{
      .cylinders = 15, .diskSize = 134217728, .sizeOfPartitionInfo = 24,
      .partitionStyle = PartitionStyleMbr, .gptDiskId = ParseGuid("{00000000-0000-0000-0000-0000C0FFEE00}")});
  hybrid.layoutError = 1;
  storage.drives[3] = hybrid;

  FakeDrive raw;
  raw.geometryError = 21;
  raw.layout = BuildLayout(LayoutSpec{.style = PartitionStyleRaw, .partitionCount = 0});
  storage.drives[4] = raw;

  storage.drives[5] = FakeDrive{.openError = 0x20000005};
  return storage;
}

TEST(SurveyTest, MixedMachineReport) {
  FakeStorage storage = MixedMachine();
  ExpectMatchesGolden(Report(storage), "mixed_machine.txt");
  EXPECT_EQ(storage.openHandles, 0);
}

// Texts from the disk that try to forge report lines, values outside the
// name tables, more entries than the record holds, and an unknown
// partition-info size.
FakeStorage HostileMachine() {
  FakeStorage storage;
  AddStandardTexts(storage);
  storage.errorTexts[1393] = "The disk structure is corrupted and unreadable.\r\n";

  FakeDrive disk;
  disk.geometry = BuildGeometry(GeometrySpec{
      .cylinders = 1, .mediaType = 99, .tracksPerCylinder = 1, .sectorsPerTrack = 1,
      .bytesPerSector = 4096, .diskSize = 4096, .sizeOfPartitionInfo = 0, .partitionStyle = 7});
  LayoutSpec layoutSpec{.style = PartitionStyleGpt, .partitionCount = 40, .maxPartitionCount = 0xFFFFFFFF};
  layoutSpec.entries.push_back(EntrySpec{
      .style = PartitionStyleGpt, .startingOffset = 4096, .partitionLength = 4096, .partitionNumber = 1,
      .rewritePartition = 1, .isServicePartition = 2, .gptType = ParseGuid(BasicDataType),
      .gptId = ParseGuid("{AAAAAAAA-0000-0000-0000-000000000001}"), .attributes = 0xFFFFFFFFFFFFFFFFULL,
      .name = std::u16string(u"evil\r\n> PartitionEntry[9]:") + u'\x7f' + u'\xD800' + u"x"});
  layoutSpec.entries.push_back(EntrySpec{.style = PartitionStyleRaw, .startingOffset = 8192,
                                         .partitionLength = 512, .partitionNumber = 2});
  layoutSpec.entries.push_back(EntrySpec{.style = 9, .partitionNumber = 3});
  layoutSpec.entries.push_back(EntrySpec{.style = PartitionStyleMbr, .mbrType = 0x05, .recognized = 0});
  for (int i = 4; i < 16; ++i) {
    layoutSpec.entries.push_back(EntrySpec{.style = PartitionStyleMbr, .partitionNumber = static_cast<std::uint32_t>(i),
                                           .mbrType = 0x0C, .recognized = static_cast<std::uint8_t>(i == 15 ? 7 : 0)});
  }
  disk.layout = BuildLayout(layoutSpec);
  storage.drives[0] = disk;
  storage.volumes["\\\\?\\Volume{AAAAAAAA-0000-0000-0000-000000000001}\\"] = FakeVolume{
      .paths = {"/mnt/a\nb/", "/mnt/\r\n    - Path(9): forged/"}, .driveType = 42,
      .label = "LABEL\r\n    - File system: forged", .fileSystem = "x\x01y",
      .serialNumber = 0xFFFFFFFF, .maximumComponentLength = 1234567, .fileSystemFlags = 0x80000};
  storage.volumes["\\\\?\\Volume{00000000-0000-0000-0000-000000000000}\\"] = FakeVolume{
      .paths = {std::string(1500, 'p')}, .pathsSucceed = false, .informationSucceeds = false};
  return storage;
}

TEST(SurveyTest, HostileMachineReport) {
  FakeStorage storage = HostileMachine();
  const std::string report = Report(storage);
  ExpectMatchesGolden(report, "hostile_machine.txt");
  // No text from the disk may start a line of its own.
  EXPECT_EQ(report.find("\r\n> PartitionEntry[9]"), std::string::npos);
  EXPECT_EQ(report.find("\r\n    - Path(9)"), std::string::npos);
  EXPECT_EQ(report.find("\r\n    - File system: forged"), std::string::npos);
  // Every LF is part of a CR LF.
  for (std::size_t i = 0; i < report.size(); ++i) {
    if (report[i] == '\n') {
      ASSERT_TRUE(i > 0 && report[i - 1] == '\r') << "bare LF at " << i;
    }
    if (report[i] == '\r') {
      ASSERT_TRUE(i + 1 < report.size() && report[i + 1] == '\n') << "bare CR at " << i;
    }
  }
}

TEST(SurveyTest, MachineWithoutDrives) {
  FakeStorage storage;
  AddStandardTexts(storage);
  std::string expected;
  for (int drive = 0; drive < 15; ++drive) {
    const std::string dashes(drive < 10 ? 19 : 20, '-');
    expected += dashes + "\r\n\\\\.\\PhysicalDrive" + std::to_string(drive) + ":\r\n" + dashes + "\r\n" +
                ">>> Drive open error #2: The system cannot find the file specified.\r\n\r\n";
  }
  EXPECT_EQ(Report(storage), expected);
  ASSERT_EQ(storage.calls.size(), 15u);
  EXPECT_EQ(storage.calls.front(), "Open \\\\.\\PhysicalDrive0");
  EXPECT_EQ(storage.calls.back(), "Open \\\\.\\PhysicalDrive14");
}

TEST(SurveyTest, EveryOpenedDriveIsQueriedInOrderAndClosed) {
  FakeStorage storage;
  storage.drives[7] = FakeDrive{};  // both queries refused
  Report(storage);
  const std::vector<std::string> expected = {"Open \\\\.\\PhysicalDrive7", "Geometry 7", "Layout 7", "Close 7"};
  const auto at = std::find(storage.calls.begin(), storage.calls.end(), expected[0]);
  ASSERT_NE(at, storage.calls.end());
  EXPECT_EQ(std::vector<std::string>(at, at + 4), expected);
  EXPECT_EQ(storage.openHandles, 0);
}

TEST(SurveyTest, AReportFailureStopsTheSurvey) {
  FakeStorage storage = MixedMachine();
  MemorySink sink;
  sink.capacity = 100;  // the first flush, inside drive 1's block, fails
  ReportWriter report(sink);
  EXPECT_FALSE(WriteReport(storage, report));
  EXPECT_EQ(report.ErrorCode(), 112u);
  EXPECT_TRUE(sink.closed);
  // What was flushed stays; the rest of the survey is not performed.
  EXPECT_EQ(sink.written.size(), 100u);
  const auto opens = std::count_if(storage.calls.begin(), storage.calls.end(),
                                   [](const std::string& call) { return call.rfind("Open", 0) == 0; });
  EXPECT_LT(opens, 15);
  EXPECT_EQ(storage.openHandles, 0);
}

TEST(SurveyTest, BannersAndRepeatChar) {
  EXPECT_EQ(RepeatChar('-', 3), "---");
  EXPECT_EQ(RepeatChar('-', 0), "");
  EXPECT_EQ(RepeatChar('-', -4), "");
  for (int drive : {0, 9, 10, 14}) {
    MemorySink sink;
    ReportWriter report(sink);
    WriteBanner(report, drive);
    report.Close();
    const std::string device = "\\\\.\\PhysicalDrive" + std::to_string(drive) + ":";
    const std::string dashes(device.size(), '-');
    EXPECT_EQ(sink.written, dashes + "\r\n" + device + "\r\n" + dashes + "\r\n") << "drive " << drive;
    EXPECT_EQ(dashes.size(), drive < 10 ? 19u : 20u);
  }
}

TEST(SurveyTest, FatalMessagesNameTheIoError) {
  const struct {
    std::uint32_t code;
    const char* description;
  } cases[] = {{2, "File not found"},     {3, "Invalid filename"}, {4, "Too many open files"},
               {5, "File access denied"}, {112, "I/O error 112"},  {1921, "I/O error 1921"}};
  for (const auto& c : cases) {
    const std::string message = ReportFailureMessage(c.code);
    EXPECT_NE(message.find(c.description), std::string::npos) << message;
    EXPECT_NE(message.find("Quillbrane.txt"), std::string::npos) << message;
  }
}

}  // namespace
}  // namespace quillbrane
