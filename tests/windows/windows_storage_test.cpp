// The Windows storage queries against the machine the test runs on (a real
// Windows or Wine): what the platform answers for the first drive, for
// drives and volumes that do not exist, and how its texts reach the caller.
// Built only on Windows.
#include <windows.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "fake_storage.h"
#include "format/format.h"
#include "format/report_text.h"
#include "sections/sections.h"
#include "storage/byte_order.h"
#include "storage/platform.h"
#include "survey/survey_context.h"

namespace quillbrane {
namespace {

constexpr const char* FirstDrive = "\\\\.\\PhysicalDrive0";
constexpr const char* UnknownVolume = "\\\\?\\Volume{5D1E9C0A-7A3B-4C2D-8E9F-0123456789AB}\\";

std::string Grouped(std::int64_t value) { return FormatGrouped(value, GroupSeparator); }

std::string ErrorText(StorageQueries& storage, std::uint32_t code) {
  std::array<char, ErrorTextCapacity> text{};
  text.fill('x');  // the text must be terminated, whatever was there before
  storage.LastErrorText(code, text);
  return std::string(TextUpToNul(text));
}

TEST(WindowsStorageTest, OpenFailuresKeepTheSystemsCodeAndText) {
  struct Case {
    const char* path;
    std::uint32_t code;
  };
  const Case cases[] = {
      {"\\\\.\\PhysicalDrive99", 2},         // a drive past the machine's last one
      {"\\\\.\\PhysicalDrive4294967296", 2},
      {"C:\\quillbrane-no-such-folder\\file", 3},
  };
  const auto storage = CreatePlatformStorage();
  for (const Case& c : cases) {
    DriveHandle handle;
    EXPECT_FALSE(storage->OpenPhysicalDrive(c.path, handle)) << c.path;
    EXPECT_EQ(handle.value, 0u) << c.path;
    const std::uint32_t code = storage->LastErrorCode();
    EXPECT_EQ(code, c.code) << c.path;
    const std::string text = ErrorText(*storage, code);
    ASSERT_GE(text.size(), 3u) << c.path;
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << c.path << ": " << text;
  }
}

TEST(WindowsStorageTest, ErrorTextsComeFromTheSystemPerCode) {
  const auto storage = CreatePlatformStorage();
  const std::string notFound = ErrorText(*storage, 2);
  const std::string denied = ErrorText(*storage, 5);
  EXPECT_FALSE(notFound.empty());
  EXPECT_FALSE(denied.empty());
  EXPECT_NE(notFound, denied);
  // A code with the customer bit set has no system text at all.
  EXPECT_EQ(ErrorText(*storage, 0x20001234u), "");
}

TEST(WindowsStorageTest, FirstDriveGeometryReachesTheReportUnchanged) {
  const auto storage = CreatePlatformStorage();
  DriveHandle handle;
  ASSERT_TRUE(storage->OpenPhysicalDrive(FirstDrive, handle)) << "error " << storage->LastErrorCode();
  ASSERT_NE(handle.value, 0u);

  // The same request made here with the platform's own declarations.
  const HANDLE drive = CreateFileA(FirstDrive, 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(drive, INVALID_HANDLE_VALUE);
  alignas(8) std::array<std::uint8_t, GeometryBufferSize> direct{};
  DWORD returned = 0;
  ASSERT_TRUE(DeviceIoControl(drive, IOCTL_DISK_GET_DRIVE_GEOMETRY_EX, nullptr, 0, direct.data(),
                              static_cast<DWORD>(direct.size()), &returned, nullptr));
  CloseHandle(drive);
  DISK_GEOMETRY_EX expected{};
  std::memcpy(&expected, direct.data(), sizeof(expected));
  DISK_PARTITION_INFO partitionInfo{};
  std::memcpy(&partitionInfo, direct.data() + offsetof(DISK_GEOMETRY_EX, Data), sizeof(partitionInfo));
  ASSERT_GT(expected.Geometry.BytesPerSector, 0u);

  test::MemorySink sink;
  ReportWriter report(sink);
  SurveyBuffers buffers;
  SurveyContext context{*storage, report, buffers};
  WriteGeometrySection(context, handle);
  ASSERT_TRUE(report.Close());
  storage->CloseDrive(handle);
  const std::string& text = sink.written;

  EXPECT_TRUE(std::equal(direct.begin(), direct.end(), buffers.geometry.begin()))
      << "the record passed through the seam differs from the platform's";
  EXPECT_EQ(text.rfind("\r\nIOCTL_DISK_GET_DRIVE_GEOMETRY_EX:\r\n", 0), 0u) << text;
  const std::string lines[] = {
      "- Cylinders: " + Grouped(expected.Geometry.Cylinders.QuadPart),
      "- TracksPerCylinder: " + Grouped(expected.Geometry.TracksPerCylinder),
      "- SectorsPerTrack: " + Grouped(expected.Geometry.SectorsPerTrack),
      "- BytesPerSector: " + Grouped(expected.Geometry.BytesPerSector),
      "- DiskSize: " + Grouped(expected.DiskSize.QuadPart),
  };
  for (const std::string& line : lines) EXPECT_NE(text.find(line + "\r\n"), std::string::npos) << line << "\n" << text;
  switch (partitionInfo.SizeOfPartitionInfo) {
    case 16:
      EXPECT_NE(text.find("- Signature: " + FormatHex(partitionInfo.Mbr.Signature, 8) + " (hex)\r\n"),
                std::string::npos) << text;
      EXPECT_NE(text.find("- DetectionType: "), std::string::npos) << text;
      break;
    case 24:
      EXPECT_NE(text.find("- GUID: {"), std::string::npos) << text;
      EXPECT_NE(text.find("- DetectionType: "), std::string::npos) << text;
      break;
    default:
      EXPECT_EQ(text.find("- DetectionType: "), std::string::npos) << text;
      break;
  }
}

TEST(WindowsStorageTest, ARefusedLayoutKeepsItsCodeAndAClosedHandleIsInvalid) {
  const auto storage = CreatePlatformStorage();
  DriveHandle handle;
  ASSERT_TRUE(storage->OpenPhysicalDrive(FirstDrive, handle));
  std::array<std::uint8_t, LayoutBufferSize> layout{};
  if (!storage->QueryLayout(handle, layout)) {
    // Wine refuses the request; a Windows disk answers it.
    EXPECT_NE(storage->LastErrorCode(), 0u);
    EXPECT_NE(ErrorText(*storage, storage->LastErrorCode()), "");
  } else {
    EXPECT_LE(LoadU32(layout, layout::PartitionStyle), PartitionStyleRaw);
  }
  storage->CloseDrive(handle);

  std::array<std::uint8_t, GeometryBufferSize> geometry{};
  EXPECT_FALSE(storage->QueryGeometry(handle, geometry));
  EXPECT_EQ(storage->LastErrorCode(), static_cast<std::uint32_t>(ERROR_INVALID_HANDLE));
}

TEST(WindowsStorageTest, VolumeQueriesOnTheSystemDriveAndOnAnUnknownVolume) {
  const auto storage = CreatePlatformStorage();
  EXPECT_EQ(storage->DriveType("C:\\"), DriveTypeFixed);
  EXPECT_EQ(storage->DriveType(UnknownVolume), DriveTypeNoRootDir);

  VolumeInformationResult system;
  ASSERT_TRUE(storage->VolumeInformation("C:\\", system)) << "error " << storage->LastErrorCode();
  EXPECT_NE(TextUpToNul(system.fileSystem), "");
  EXPECT_GT(system.maximumComponentLength, 0u);

  VolumeInformationResult unknown;
  EXPECT_FALSE(storage->VolumeInformation(UnknownVolume, unknown));
  EXPECT_NE(storage->LastErrorCode(), 0u);

  std::array<char, VolumeTextCapacity> paths{};
  EXPECT_FALSE(storage->VolumePathNames(UnknownVolume, paths));
  EXPECT_NE(storage->LastErrorCode(), 0u);
  EXPECT_EQ(paths[0], '\0');
}

TEST(WindowsStorageTest, VolumePathNamesListTheSystemDrive) {
  std::array<char, MAX_PATH> volumeName{};
  if (!GetVolumeNameForVolumeMountPointA("C:\\", volumeName.data(), static_cast<DWORD>(volumeName.size()))) {
    GTEST_SKIP() << "the system drive has no volume name here (error " << GetLastError() << ")";
  }
  const auto storage = CreatePlatformStorage();
  std::array<char, VolumeTextCapacity> paths{};
  ASSERT_TRUE(storage->VolumePathNames(volumeName.data(), paths)) << "error " << storage->LastErrorCode();
  std::vector<std::string> listed;
  for (std::size_t at = 0; at < paths.size() && paths[at] != '\0';) {
    listed.emplace_back(TextUpToNul(std::span<const char>(paths).subspan(at)));
    at += listed.back().size() + 1;
  }
  EXPECT_NE(std::find(listed.begin(), listed.end(), "C:\\"), listed.end()) << volumeName.data();
}

std::string Ansi(StorageQueries& storage, std::u16string_view text, std::size_t room) {
  std::vector<char> out(room, '#');
  const std::span<const std::uint16_t> units(reinterpret_cast<const std::uint16_t*>(text.data()), text.size());
  const std::size_t written = storage.WideToAnsi(units, out);
  EXPECT_LE(written, room);
  return std::string(out.data(), written);
}

TEST(WindowsStorageTest, WideToAnsiWritesWholeCharactersThatFit) {
  const auto storage = CreatePlatformStorage();
  struct Case {
    std::u16string_view text;
    std::size_t room;
    std::string expected;
  };
  const Case cases[] = {
      {u"EFI system partition", 64, "EFI system partition"},
      {u"Basic data partition", 5, "Basic"},
      {u"", 8, ""},
      {u"abc", 0, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Ansi(*storage, c.text, c.room), c.expected) << c.expected << " in " << c.room;
  }
  // Whatever the code page makes of a character outside the BMP, a
  // shortened result is the whole conversion of a shorter text, never half
  // of a character.
  const std::u16string_view withPair = u"AB\U0001F600C";
  const std::string whole = Ansi(*storage, withPair, 64);
  ASSERT_GE(whole.size(), 4u);
  const std::string prefixes[] = {"", Ansi(*storage, withPair.substr(0, 1), 64),
                                  Ansi(*storage, withPair.substr(0, 2), 64),
                                  Ansi(*storage, withPair.substr(0, 4), 64), whole};
  for (std::size_t room = 0; room <= whole.size(); ++room) {
    std::string longest;
    for (const std::string& prefix : prefixes) {
      if (prefix.size() <= room) longest = prefix;
    }
    EXPECT_EQ(Ansi(*storage, withPair, room), longest) << "room " << room;
  }
}

}  // namespace
}  // namespace quillbrane
