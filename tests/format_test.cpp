#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "format/format.h"
#include "format/name_tables.h"
#include "format/report_text.h"
#include "record_builders.h"

namespace quillbrane {
namespace {

TEST(FormatGroupedTest, GroupsDigitsInThreesFromTheRight) {
  const struct {
    std::int64_t value;
    const char* expected;
  } cases[] = {
      {0, "0"},
      {7, "7"},
      {999, "999"},
      {1000, "1'000"},
      {65535, "65'535"},
      {123456, "123'456"},
      {1234567, "1'234'567"},
      {123456789, "123'456'789"},
      {250059350016, "250'059'350'016"},
      {std::numeric_limits<std::int64_t>::max(), "9'223'372'036'854'775'807"},
      {-1234, "-1'234"},
      {-123, "-123"},
      {std::numeric_limits<std::int64_t>::min(), "-9'223'372'036'854'775'808"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatGrouped(c.value, GroupSeparator), c.expected) << "value " << c.value;
  }
  EXPECT_EQ(FormatGrouped(1234567, '.'), "1.234.567");
}

TEST(FormatHexTest, PadsToWidthAndNeverTruncates) {
  const struct {
    std::uint64_t value;
    int digits;
    const char* expected;
  } cases[] = {
      {7, 2, "07"},
      {0xAB, 2, "AB"},
      {0x1ABC, 2, "1ABC"},
      {0, 8, "00000000"},
      {0xDEADBEEF, 8, "DEADBEEF"},
      {0x12, 8, "00000012"},
      {0x8000000000000000ULL, 16, "8000000000000000"},
      {0x0000000100000000ULL, 16, "0000000100000000"},
      {0xFFFFFFFFFFFFFFFFULL, 16, "FFFFFFFFFFFFFFFF"},
      {0x123456789ULL, 8, "123456789"},
      {0, 0, "0"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatHex(c.value, c.digits), c.expected) << "value " << c.value << " digits " << c.digits;
  }
}

TEST(FormatGuidTest, ReversesTheFirstThreeGroupsOnly) {
  // The EFI system partition type as stored on disk.
  const std::array<std::uint8_t, 16> esp = {0x28, 0x73, 0x2A, 0xC1, 0x1F, 0xF8, 0xD2, 0x11,
                                            0xBA, 0x4B, 0x00, 0xA0, 0xC9, 0x3E, 0xC9, 0x3B};
  EXPECT_EQ(FormatGuid(esp), "{C12A7328-F81F-11D2-BA4B-00A0C93EC93B}");
  const std::array<std::uint8_t, 16> zero{};
  EXPECT_EQ(FormatGuid(zero), "{00000000-0000-0000-0000-000000000000}");
  const std::array<std::uint8_t, 16> counting = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  EXPECT_EQ(FormatGuid(counting), "{03020100-0504-0706-0809-0A0B0C0D0E0F}");
  EXPECT_EQ(FormatGuid(test::ParseGuid("{ebd0a0a2-b9e5-4433-87c0-68b6b72699c7}")),
            "{EBD0A0A2-B9E5-4433-87C0-68B6B72699C7}");
}

TEST(NameTablesTest, NamesAndOutOfRangeValues) {
  const struct {
    NameTable table;
    std::uint32_t value;
    const char* expected;
  } cases[] = {
      {YesNoNames, 0, "No"},
      {YesNoNames, 1, "Yes"},
      {YesNoNames, 2, "2"},
      {YesNoNames, 255, "255"},
      {PartitionStyleNames, 0, "MBR"},
      {PartitionStyleNames, 1, "GPT"},
      {PartitionStyleNames, 2, "RAW"},
      {PartitionStyleNames, 3, "3"},
      {DetectionTypeNames, 0, "None"},
      {DetectionTypeNames, 1, "Int13"},
      {DetectionTypeNames, 2, "ExInt13"},
      {DetectionTypeNames, 3, "3"},
      {MediaTypeNames, 0, "Unknown"},
      {MediaTypeNames, 11, "RemovableMedia"},
      {MediaTypeNames, 12, "FixedMedia"},
      {MediaTypeNames, 13, "F3_120M_512"},
      {MediaTypeNames, 18, "F3_1Pt23_1024"},
      {MediaTypeNames, 25, "F3_32M_512"},
      {MediaTypeNames, 26, "26"},
      {DriveTypeNames, 0, "Unknown type"},
      {DriveTypeNames, 1, "Invalid"},
      {DriveTypeNames, 2, "Removable"},
      {DriveTypeNames, 3, "Fixed"},
      {DriveTypeNames, 4, "Remote"},
      {DriveTypeNames, 5, "CD-ROM"},
      {DriveTypeNames, 6, "RAM disk"},
      {DriveTypeNames, 7, "7"},
      {DriveTypeNames, 0xFFFFFFFF, "4294967295"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NameOf(c.table, c.value), c.expected) << "value " << c.value;
  }
  EXPECT_EQ(MediaTypeNames.size(), 26u);
}

TEST(ReportTextTest, ControlBytesCannotEndALine) {
  EXPECT_EQ(ReportSafeText("Data\r\n> PartitionEntry[9]:"), "Data??" "> PartitionEntry[9]:");
  EXPECT_EQ(ReportSafeText(std::string("a\0b\x1f\x7f\x80\xC3\xA9", 8)), "a?b??\x80\xC3\xA9");
  EXPECT_EQ(SystemMessageText("Line one.\r\nLine two.\r\n"), "Line one.\r\nLine two.\r\n");
  EXPECT_EQ(SystemMessageText("bad\nline\r"), "bad?line?");
  const char buffer[6] = {'a', 'b', '\0', 'c', 'd', 'e'};
  EXPECT_EQ(TextUpToNul(buffer), "ab");
  const char full[3] = {'x', 'y', 'z'};
  EXPECT_EQ(TextUpToNul(full), "xyz");
}

}  // namespace
}  // namespace quillbrane
