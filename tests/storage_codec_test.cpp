// Platform-free storage code: CRC-32, UTF-16 conversion, the error tables
// and the geometry record built from disk bytes.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "disk_image.h"
#include "format/format.h"
#include "record_builders.h"
#include "storage/byte_order.h"
#include "storage/crc32.h"
#include "storage/disk_formats.h"
#include "storage/error_codes.h"
#include "storage/partition_table.h"
#include "storage/utf16.h"

namespace quillbrane {
namespace {

TEST(Crc32Test, MatchesPublishedCheckValue) {
  const std::string text = "123456789";
  const std::vector<std::uint8_t> bytes(text.begin(), text.end());
  EXPECT_EQ(Crc32(bytes), 0xCBF43926u);
  EXPECT_EQ(Crc32(std::span(bytes).subspan(4), Crc32(std::span(bytes).first(4))), 0xCBF43926u);
  EXPECT_EQ(Crc32({}), 0u);
}

TEST(Utf16Test, ConvertsToUtf8AndReplacesUnpairedSurrogates) {
  const struct {
    std::u16string in;
    std::string out;
  } cases[] = {
      {u"EFI", "EFI"},
      {u"Donn\u00e9es", "Donn\xC3\xA9" "es"},
      {u"\u20AC", "\xE2\x82\xAC"},
      {u"\U0001F600", "\xF0\x9F\x98\x80"},
      {std::u16string(1, u'\xD800') + u"a", "?a"},
      {u"a" + std::u16string(1, u'\xDC00'), "a?"},
      {std::u16string(1, u'\xDBFF') + std::u16string(1, u'\xD800'), "??"},
  };
  for (const auto& c : cases) {
    std::vector<std::uint16_t> units(c.in.begin(), c.in.end());
    char out[64];
    const std::size_t n = Utf16ToUtf8(units, out);
    EXPECT_EQ(std::string(out, n), c.out);
  }
  // Only whole characters that fit are written.
  const std::vector<std::uint16_t> euro = {0x20AC, 0x20AC};
  char small[4];
  EXPECT_EQ(Utf16ToUtf8(euro, small), 3u);
}

TEST(ErrorCodesTest, ErrnoMapsToWhatAWindowsUserWouldSee) {
  const struct {
    int errnoValue;
    std::uint32_t code;
  } cases[] = {
      {ENOENT, 2},  {ENXIO, 2},  {ENODEV, 2}, {ENOTDIR, 3}, {EMFILE, 4},   {ENFILE, 4},
      {EACCES, 5},  {EPERM, 5},  {EISDIR, 5}, {EBADF, 6},   {EROFS, 19},   {EINVAL, 87},
      {ENOSPC, 112}, {EBUSY, 170}, {ENAMETOOLONG, 206}, {EFBIG, 223}, {ENOTTY, 1}, {ENOSYS, 1},
      {EOPNOTSUPP, 50}, {EIO, 1117}, {ELOOP, 1921}, {EAGAIN, 0x20000000u + EAGAIN},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WindowsErrorFromErrno(c.errnoValue), c.code) << "errno " << c.errnoValue;
  }
#ifdef ENOMEDIUM
  EXPECT_EQ(WindowsErrorFromErrno(ENOMEDIUM), 21u);
#endif
}

TEST(ErrorCodesTest, TextsAreTheSystemsWordingWithCrLf) {
  EXPECT_EQ(WindowsErrorText(2), "The system cannot find the file specified.\r\n");
  EXPECT_EQ(WindowsErrorText(5), "Access is denied.\r\n");
  EXPECT_EQ(WindowsErrorText(50), "The request is not supported.\r\n");
  EXPECT_EQ(WindowsErrorText(1393), "The disk structure is corrupted and unreadable.\r\n");
  EXPECT_EQ(WindowsErrorText(1005),
            "The volume does not contain a recognized file system.\r\n"
            "Please make sure that all required file system drivers are loaded and that the volume "
            "is not corrupted.\r\n");
  EXPECT_EQ(WindowsErrorText(999999), "");
  EXPECT_EQ(WindowsErrorText(0x20000000u), "");
  const std::string fromErrno = WindowsErrorText(0x20000000u + EAGAIN);
  ASSERT_GE(fromErrno.size(), 3u);
  EXPECT_EQ(fromErrno.substr(fromErrno.size() - 2), "\r\n");
  EXPECT_EQ(fromErrno.find('\n'), fromErrno.size() - 1);
}

using test::DiskImage;
using test::GptSpec;

struct GeometryResult {
  std::uint32_t code;
  std::array<std::uint8_t, GeometryBufferSize> record;
};

GeometryResult Geometry(DiskImage& image, bool removable = false) {
  GeometryResult result{};
  MemoryDiskSource disk(image.Bytes());
  result.code = FillGeometryRecord(disk, image.Facts(removable), result.record);
  return result;
}

TEST(GeometryRecordTest, ProtectiveMbrWithIntactHeaderIsGpt) {
  for (std::uint32_t sectorSize : {512u, 4096u}) {
    DiskImage image(2048, sectorSize);
    image.WriteGpt(GptSpec{.diskGuid = test::ParseGuid("{DD27F98D-7519-4C9E-8041-F2BFA7B1EF61}")});
    const auto [code, record] = Geometry(image);
    ASSERT_EQ(code, 0u);
    EXPECT_EQ(LoadU32(record, geometry::BytesPerSector), sectorSize);
    EXPECT_EQ(LoadI64(record, geometry::DiskSize), 2048 * static_cast<std::int64_t>(sectorSize));
    EXPECT_EQ(LoadU32(record, geometry::SizeOfPartitionInfo), 24u);
    EXPECT_EQ(LoadU32(record, geometry::PartitionStyle), PartitionStyleGpt);
    EXPECT_EQ(FormatGuid(std::span<const std::uint8_t>(record).subspan<geometry::GptDiskId, 16>()),
              "{DD27F98D-7519-4C9E-8041-F2BFA7B1EF61}");
    EXPECT_EQ(LoadU32(record, geometry::MediaType), MediaTypeFixed);
    // Detection data stay zero.
    for (std::size_t i = geometry::PartitionInfo + 24; i < GeometryBufferSize; ++i) EXPECT_EQ(record[i], 0);
  }
}

TEST(GeometryRecordTest, CylindersFollowTheFixedTranslation) {
  const struct {
    std::size_t sectors;
    std::int64_t cylinders;
    std::uint32_t tracks;
    std::uint32_t sectorsPerTrack;
  } cases[] = {
      {255 * 63, 1, 255, 63},
      {255 * 63 * 2 - 1, 1, 255, 63},
      {204800, 12, 255, 63},  // 100 MiB
      {255 * 63 - 1, 255 * 63 - 1, 1, 1},
      {1, 1, 1, 1},
  };
  for (const auto& c : cases) {
    DiskImage image(c.sectors, 512);
    const auto [code, record] = Geometry(image);
    ASSERT_EQ(code, 0u);
    EXPECT_EQ(LoadI64(record, geometry::Cylinders), c.cylinders) << c.sectors;
    EXPECT_EQ(LoadU32(record, geometry::TracksPerCylinder), c.tracks) << c.sectors;
    EXPECT_EQ(LoadU32(record, geometry::SectorsPerTrack), c.sectorsPerTrack) << c.sectors;
  }
}

TEST(GeometryRecordTest, OtherwiseMbrWithSignatureAndChecksum) {
  DiskImage image(64, 512);
  image.SetBootSignature();
  image.SetSlot(0, 0x83, 1, 63);
  StoreU32(image.Sector(0), mbr::DiskSignature, 0x8F8378C0);
  const auto [code, record] = Geometry(image);
  ASSERT_EQ(code, 0u);
  EXPECT_EQ(LoadU32(record, geometry::PartitionStyle), PartitionStyleMbr);
  EXPECT_EQ(LoadU32(record, geometry::SizeOfPartitionInfo), 24u);
  EXPECT_EQ(LoadU32(record, geometry::MbrSignature), 0x8F8378C0u);
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < 512; i += 4) sum += LoadU32(image.Sector(0), i);
  EXPECT_EQ(static_cast<std::uint32_t>(sum + LoadU32(record, geometry::MbrCheckSum)), 0u);
  EXPECT_NE(LoadU32(record, geometry::MbrCheckSum), 0u);
}

TEST(GeometryRecordTest, AProtectiveMbrWithABrokenHeaderReadsAsMbr) {
  DiskImage image(64, 512);
  image.SetBootSignature();
  image.SetSlot(0, mbr::TypeGptProtective, 1, 63);
  image.WriteGptHeader(1, test::ParseGuid("{DD27F98D-7519-4C9E-8041-F2BFA7B1EF61}"));
  image.Sector(1)[gpt::DiskGuid] ^= 1;  // the header CRC no longer holds
  EXPECT_EQ(LoadU32(Geometry(image).record, geometry::PartitionStyle), PartitionStyleMbr);

  DiskImage hybrid(128, 512);  // a hybrid MBR is not protective, even before a valid GPT
  hybrid.WriteGpt(GptSpec{.diskGuid = test::ParseGuid("{DD27F98D-7519-4C9E-8041-F2BFA7B1EF61}")});
  hybrid.SetSlot(0, mbr::TypeGptProtective, 1, 33);
  hybrid.SetSlot(1, 0x0C, 34, 60);
  EXPECT_EQ(LoadU32(Geometry(hybrid).record, geometry::PartitionStyle), PartitionStyleMbr);
}

TEST(GeometryRecordTest, RemovableDisksKeepAnEmptyMbrIdentity) {
  DiskImage image(64, 512);
  image.SetBootSignature();
  StoreU32(image.Sector(0), mbr::DiskSignature, 0x12345678);
  const auto [code, record] = Geometry(image, true);
  ASSERT_EQ(code, 0u);
  EXPECT_EQ(LoadU32(record, geometry::MediaType), MediaTypeRemovable);
  EXPECT_EQ(LoadU32(record, geometry::PartitionStyle), PartitionStyleMbr);
  EXPECT_EQ(LoadU32(record, geometry::MbrSignature), 0u);
  EXPECT_EQ(LoadU32(record, geometry::MbrCheckSum), 0u);
}

TEST(GeometryRecordTest, EmptyDevicesFail) {
  MemoryDiskSource empty({});
  std::array<std::uint8_t, GeometryBufferSize> record{};
  EXPECT_EQ(FillGeometryRecord(empty, DiskFacts{0, 512, true}, record), ErrorNotReady);
  EXPECT_EQ(FillGeometryRecord(empty, DiskFacts{0, 512, false}, record), ErrorDeviceNotConnected);
}

}  // namespace
}  // namespace quillbrane
