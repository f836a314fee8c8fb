// The layout decoder on disk images built in memory: GPT headers and their
// checks, MBR tables with EBR chains, Windows' sanity rules and the
// super-floppy layout, the record's limits and hostile tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "disk_image.h"
#include "fake_storage.h"
#include "format/format.h"
#include "record_builders.h"
#include "storage/byte_order.h"
#include "storage/crc32.h"
#include "storage/disk_formats.h"
#include "storage/error_codes.h"
#include "storage/partition_table.h"
#include "survey/survey.h"

namespace quillbrane {
namespace {

using test::DiskImage;
using test::GptPartition;
using test::GptSpec;
using test::MbrSlot;
using test::ParseGuid;
using test::ProbeDisk;
using test::SparseDisk;

using Record = std::array<std::uint8_t, LayoutBufferSize>;

// What a failed request must leave in the caller's buffer: this pattern.
constexpr std::uint8_t Untouched = 0xA5;

const char* const EfiSystemType = "{C12A7328-F81F-11D2-BA4B-00A0C93EC93B}";
const char* const BasicDataType = "{EBD0A0A2-B9E5-4433-87C0-68B6B72699C7}";
const char* const LinuxDataType = "{0FC63DAF-8483-4772-8E79-3D69D8477DE4}";
const char* const DiskGuidText = "{DD27F98D-7519-4C9E-8041-F2BFA7B1EF61}";
const char* const ZeroGuid = "{00000000-0000-0000-0000-000000000000}";

struct Decoded {
  std::uint32_t code = 0;
  Record record{};
};

// Decodes into a zeroed record, as the survey does; on failure the record
// must still be all zero.
Decoded Decode(DiskSource& disk, const DiskFacts& facts) {
  Decoded result;
  result.code = FillLayoutRecord(disk, facts, result.record);
  return result;
}

Decoded Decode(DiskImage& image, bool removable = false) {
  MemoryDiskSource disk(image.Bytes());
  return Decode(disk, image.Facts(removable));
}

// Decodes into a record filled with a pattern and checks the pattern
// survives a failure.
std::uint32_t DecodeExpectingFailure(DiskSource& disk, const DiskFacts& facts) {
  Record record;
  record.fill(Untouched);
  const std::uint32_t code = FillLayoutRecord(disk, facts, record);
  EXPECT_NE(code, 0u);
  EXPECT_TRUE(std::all_of(record.begin(), record.end(), [](std::uint8_t b) { return b == Untouched; }))
      << "a failed request changed the buffer";
  return code;
}

std::uint32_t DecodeExpectingFailure(DiskImage& image, bool removable = false) {
  MemoryDiskSource disk(image.Bytes());
  return DecodeExpectingFailure(disk, image.Facts(removable));
}

std::span<const std::uint8_t> EntryBytes(const Record& record, std::size_t index) {
  return std::span<const std::uint8_t>(record).subspan(layout::EntryOffset(index), PartitionEntrySize);
}

std::string GuidAt(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return FormatGuid(bytes.subspan(offset).first<GuidSize>());
}

std::uint32_t Style(const Record& r) { return LoadU32(r, layout::PartitionStyle); }
std::uint32_t Count(const Record& r) { return LoadU32(r, layout::PartitionCount); }

// One MBR entry of the record, in comparable form.
struct MbrEntry {
  std::int64_t offset = 0;
  std::int64_t length = 0;
  std::uint32_t number = 0;
  int type = 0;
  bool boot = false;
  bool recognized = false;
  std::uint32_t hidden = 0;
  std::string id = ZeroGuid;
  bool operator==(const MbrEntry&) const = default;
};

std::ostream& operator<<(std::ostream& out, const MbrEntry& e) {
  return out << "{offset " << e.offset << ", length " << e.length << ", number " << e.number << ", type 0x"
             << FormatHex(static_cast<std::uint64_t>(e.type), 2) << ", boot " << e.boot << ", recognized "
             << e.recognized << ", hidden " << e.hidden << ", id " << e.id << "}";
}

MbrEntry ReadMbrEntry(const Record& record, std::size_t index) {
  const auto e = EntryBytes(record, index);
  EXPECT_EQ(LoadU32(e, entry::PartitionStyle), PartitionStyleMbr) << "entry " << index;
  EXPECT_EQ(LoadU8(e, entry::RewritePartition), 0) << "entry " << index;
  EXPECT_EQ(LoadU8(e, entry::IsServicePartition), 0) << "entry " << index;
  return MbrEntry{LoadI64(e, entry::StartingOffset),
                  LoadI64(e, entry::PartitionLength),
                  LoadU32(e, entry::PartitionNumber),
                  LoadU8(e, entry::MbrPartitionType),
                  LoadU8(e, entry::MbrBootIndicator) != 0,
                  LoadU8(e, entry::MbrRecognizedPartition) != 0,
                  LoadU32(e, entry::MbrHiddenSectors),
                  GuidAt(e, entry::MbrPartitionId)};
}

// Checks the record's entries against `expected` (one per slot) and that
// nothing is written past them.
void ExpectMbrEntries(const Record& record, const std::vector<MbrEntry>& expected) {
  ASSERT_EQ(Count(record), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(ReadMbrEntry(record, i), expected[i]) << "entry " << i;
    if (expected[i] == MbrEntry{}) {
      const auto e = EntryBytes(record, i);
      EXPECT_TRUE(std::all_of(e.begin(), e.end(), [](std::uint8_t b) { return b == 0; })) << "entry " << i;
    }
  }
  for (std::size_t i = layout::EntryOffset(expected.size()); i < LayoutBufferSize; ++i) {
    ASSERT_EQ(record[i], 0) << "byte " << i << " past the last entry";
  }
}

// The stable identifier of an MBR volume, spelled out independently of the
// decoder: Data1 = signature, Data4 = the byte offset, little-endian.
std::string MbrId(std::uint32_t signature, std::uint64_t offset) {
  std::string text = "{" + FormatHex(signature, 8) + "-0000-0000-";
  for (int i = 0; i < 8; ++i) {
    text += FormatHex((offset >> (8 * i)) & 0xFF, 2);
    if (i == 1) text += "-";
  }
  return text + "}";
}

TEST(MbrIdentifierTest, MatchesTheGoldenText) {
  EXPECT_EQ(MbrId(0x8F8378C0, 1048576), "{8F8378C0-0000-0000-0000-100000000000}");
}

// ---------------------------------------------------------------- GPT

GptSpec SampleGpt() {
  GptSpec shape;
  shape.diskGuid = ParseGuid(DiskGuidText);
  shape.entries = {
      {ParseGuid(EfiSystemType), ParseGuid("{1DCF10BC-637E-4C52-8203-087AE10A820B}"), 64, 127, 0x1, u"EFI system"},
      {},  // an unused slot between two partitions
      {ParseGuid(BasicDataType), ParseGuid("{A1D03A96-7238-46C6-BBB3-789CBE173EC7}"), 128, 255,
       0x8000000000000001ULL, u"Donn\u00e9es partag\u00e9es 0123456789ABCDEFGH"},  // 36 units, no NUL
      {ParseGuid(LinuxDataType), ParseGuid("{A7101B6C-468C-47DF-AFF6-CD444D12AF61}"), 256, 300, 0, u""},
  };
  return shape;
}

TEST(GptLayoutTest, EntriesInArrayOrderWithNamesAndAttributes) {
  for (const std::uint32_t sectorSize : {512u, 4096u}) {
    SCOPED_TRACE("sector size " + std::to_string(sectorSize));
    DiskImage image(1024, sectorSize);
    const GptSpec shape = SampleGpt();
    ASSERT_EQ(shape.entries[2].name.size(), entry::GptNameUnits);
    image.WriteGpt(shape);
    const auto [code, record] = Decode(image);
    ASSERT_EQ(code, 0u);
    EXPECT_EQ(Style(record), PartitionStyleGpt);
    EXPECT_EQ(Count(record), 3u);
    EXPECT_EQ(GuidAt(record, layout::GptDiskId), DiskGuidText);
    const std::uint64_t arraySectors = 128 * 128 / sectorSize;
    const std::uint64_t firstUsable = 2 + arraySectors;
    const std::uint64_t lastUsable = 1023 - arraySectors - 1;
    EXPECT_EQ(LoadI64(record, layout::GptStartingUsableOffset), static_cast<std::int64_t>(firstUsable * sectorSize));
    EXPECT_EQ(LoadI64(record, layout::GptUsableLength),
              static_cast<std::int64_t>((lastUsable - firstUsable + 1) * sectorSize));
    EXPECT_EQ(LoadU32(record, layout::GptMaxPartitionCount), 128u);

    const std::size_t used[] = {0, 2, 3};  // slots of the array that hold partitions
    for (std::size_t i = 0; i < 3; ++i) {
      const GptPartition& p = shape.entries[used[i]];
      const auto e = EntryBytes(record, i);
      SCOPED_TRACE("entry " + std::to_string(i));
      EXPECT_EQ(LoadU32(e, entry::PartitionStyle), PartitionStyleGpt);
      EXPECT_EQ(LoadI64(e, entry::StartingOffset), static_cast<std::int64_t>(p.firstLba * sectorSize));
      EXPECT_EQ(LoadI64(e, entry::PartitionLength),
                static_cast<std::int64_t>((p.lastLba - p.firstLba + 1) * sectorSize));
      EXPECT_EQ(LoadU32(e, entry::PartitionNumber), i + 1);
      EXPECT_EQ(LoadU8(e, entry::RewritePartition), 0);
      EXPECT_EQ(LoadU8(e, entry::IsServicePartition), 0);
      EXPECT_TRUE(std::equal(p.type.begin(), p.type.end(), e.begin() + entry::GptPartitionType));
      EXPECT_TRUE(std::equal(p.id.begin(), p.id.end(), e.begin() + entry::GptPartitionId));
      EXPECT_EQ(LoadU64(e, entry::GptAttributes), p.attributes);
      for (std::size_t u = 0; u < entry::GptNameUnits; ++u) {
        const std::uint16_t want = u < p.name.size() ? static_cast<std::uint16_t>(p.name[u]) : 0;
        ASSERT_EQ(LoadU16(e, entry::GptName + 2 * u), want) << "name unit " << u;
      }
    }
    // Golden bytes: the EFI system partition type as stored on disk.
    const std::array<std::uint8_t, 16> efi = {0x28, 0x73, 0x2A, 0xC1, 0x1F, 0xF8, 0xD2, 0x11,
                                              0xBA, 0x4B, 0x00, 0xA0, 0xC9, 0x3E, 0xC9, 0x3B};
    EXPECT_TRUE(std::equal(efi.begin(), efi.end(), EntryBytes(record, 0).begin() + entry::GptPartitionType));
    EXPECT_EQ(GuidAt(EntryBytes(record, 1), entry::GptPartitionId), "{A1D03A96-7238-46C6-BBB3-789CBE173EC7}");
    for (std::size_t i = layout::EntryOffset(3); i < LayoutBufferSize; ++i) ASSERT_EQ(record[i], 0) << i;
  }
}

// Gives the backup array's first entry its own name, so a test can tell
// which array the decoder used.
void NameBackupEntry(DiskImage& image, std::u16string_view name) {
  const auto at = static_cast<std::size_t>(image.GptArrayOffset(image.LastLba()));
  for (std::size_t u = 0; u < entry::GptNameUnits; ++u) {
    StoreU16(image.Bytes(), at + gpt::EntryName + 2 * u, u < name.size() ? name[u] : 0);
  }
  image.SealGptArray(image.LastLba());
}

std::u16string FirstEntryName(const Record& record) {
  std::u16string name;
  for (std::size_t u = 0; u < entry::GptNameUnits; ++u) {
    const std::uint16_t unit = LoadU16(EntryBytes(record, 0), entry::GptName + 2 * u);
    if (unit == 0) break;
    name += static_cast<char16_t>(unit);
  }
  return name;
}

TEST(GptLayoutTest, EachHeaderCheckRejectsTheHeaderAndTheBackupStandsIn) {
  using Breaker = std::function<void(DiskImage&, std::uint64_t lba)>;
  auto field32 = [](std::size_t offset, std::uint32_t value) -> Breaker {
    return [=](DiskImage& image, std::uint64_t lba) {
      StoreU32(image.Sector(lba), offset, value);
      image.SealGptHeader(lba);
    };
  };
  auto field64 = [](std::size_t offset, std::uint64_t value) -> Breaker {
    return [=](DiskImage& image, std::uint64_t lba) {
      StoreU64(image.Sector(lba), offset, value);
      image.SealGptHeader(lba);
    };
  };
  const struct {
    const char* what;
    Breaker breakHeader;
  } cases[] = {
      {"signature", field64(gpt::Signature, 0x5452415020494646ULL)},
      {"revision", field32(gpt::Revision, 0x00010001)},
      {"header size", field32(gpt::HeaderSize, 93)},
      {"header CRC",
       [](DiskImage& image, std::uint64_t lba) { image.Sector(lba)[gpt::DiskGuid] ^= 0x01; }},
      {"MyLBA", [](DiskImage& image, std::uint64_t lba) {
         StoreU64(image.Sector(lba), gpt::MyLba, lba == 1 ? image.LastLba() : 1);
         image.SealGptHeader(lba);
       }},
      {"entry size", field32(gpt::SizeOfPartitionEntry, 256)},
      {"array runs past the disk", field64(gpt::PartitionEntryLba, 1000)},
      {"array starts past the disk", field64(gpt::PartitionEntryLba, 0x0080000000000000ULL)},
      {"array LBA wraps", field64(gpt::PartitionEntryLba, ~0ULL)},
      {"entry count past the disk", field32(gpt::NumberOfPartitionEntries, 8000)},
      {"entry count at its maximum", field32(gpt::NumberOfPartitionEntries, 0xFFFFFFFF)},
      {"array CRC field", [](DiskImage& image, std::uint64_t lba) {
         auto header = image.Sector(lba);
         StoreU32(header, gpt::PartitionEntryArrayCrc32, LoadU32(header, gpt::PartitionEntryArrayCrc32) + 1);
         image.SealGptHeader(lba);
       }},
      {"array contents", [](DiskImage& image, std::uint64_t lba) {
         image.Bytes()[static_cast<std::size_t>(image.GptArrayOffset(lba)) + gpt::EntryName] ^= 0x20;
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    DiskImage image(1024, 512);
    image.WriteGpt(SampleGpt());
    NameBackupEntry(image, u"from the backup");

    const auto intact = Decode(image);
    ASSERT_EQ(intact.code, 0u);
    EXPECT_EQ(FirstEntryName(intact.record), u"EFI system");

    c.breakHeader(image, 1);
    const auto fromBackup = Decode(image);
    ASSERT_EQ(fromBackup.code, 0u);
    EXPECT_EQ(Style(fromBackup.record), PartitionStyleGpt);
    EXPECT_EQ(Count(fromBackup.record), 3u);
    EXPECT_EQ(GuidAt(fromBackup.record, layout::GptDiskId), DiskGuidText);
    EXPECT_EQ(FirstEntryName(fromBackup.record), u"from the backup");

    c.breakHeader(image, image.LastLba());
    EXPECT_EQ(DecodeExpectingFailure(image), ErrorDiskCorrupt);
  }
}

TEST(GptLayoutTest, ABackupIsOnlyTakenFromTheLastLba) {
  DiskImage image(1024, 512);
  image.WriteGpt(SampleGpt());
  image.Sector(1)[gpt::Signature] = 0;
  // The same valid backup, one sector too early: not where Windows looks.
  DiskImage moved(1025, 512);
  std::copy(image.Bytes().begin(), image.Bytes().end(), moved.Bytes().begin());
  EXPECT_EQ(Decode(image).code, 0u);
  EXPECT_EQ(DecodeExpectingFailure(moved), ErrorDiskCorrupt);
}

TEST(GptLayoutTest, MoreEntriesThanTheRecordHoldsFailWith122) {
  const struct {
    std::size_t used;
    std::size_t spacing;  // array slots per used entry: gaps do not count
    std::uint32_t code;
  } cases[] = {
      {16, 1, 0}, {16, 3, 0}, {17, 1, ErrorInsufficientBuffer}, {20, 1, ErrorInsufficientBuffer},
      {20, 2, ErrorInsufficientBuffer},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.used) + " partitions, one every " + std::to_string(c.spacing) + " slots");
    GptSpec shape;
    shape.diskGuid = ParseGuid(DiskGuidText);
    shape.entries.resize(c.used * c.spacing);
    for (std::size_t i = 0; i < c.used; ++i) {
      GptPartition& p = shape.entries[i * c.spacing];
      p.type = ParseGuid(BasicDataType);
      p.id = ParseGuid("{00000000-0000-4000-8000-000000000000}");
      p.id[0] = static_cast<std::uint8_t>(i + 1);
      p.firstLba = 100 + 10 * i;
      p.lastLba = p.firstLba + 9;
    }
    DiskImage image(1024, 512);
    image.WriteGpt(shape);
    if (c.code != 0) {
      EXPECT_EQ(DecodeExpectingFailure(image), c.code);
      continue;
    }
    const auto [code, record] = Decode(image);
    ASSERT_EQ(code, 0u);
    ASSERT_EQ(Count(record), c.used);
    for (std::size_t i = 0; i < c.used; ++i) {
      EXPECT_EQ(LoadU32(EntryBytes(record, i), entry::PartitionNumber), i + 1);
      EXPECT_EQ(LoadI64(EntryBytes(record, i), entry::StartingOffset), static_cast<std::int64_t>((100 + 10 * i) * 512));
      EXPECT_EQ(EntryBytes(record, i)[entry::GptPartitionId], i + 1);
    }
  }
}

TEST(GptLayoutTest, PartitionsOutsideTheDiskAreReportedAsStored) {
  GptSpec shape = SampleGpt();
  shape.entries = {{ParseGuid(BasicDataType), ParseGuid("{A7101B6C-468C-47DF-AFF6-CD444D12AF61}"),
                   0x0000100000000000ULL, 0x0000200000000000ULL, 0, u"far away"},
                  {ParseGuid(BasicDataType), ParseGuid("{A7101B6C-468C-47DF-AFF6-CD444D12AF62}"), 500, 400, 0, u"backwards"}};
  DiskImage image(1024, 512);
  image.WriteGpt(shape);
  const auto [code, record] = Decode(image);
  ASSERT_EQ(code, 0u);
  ASSERT_EQ(Count(record), 2u);
  EXPECT_EQ(LoadI64(EntryBytes(record, 0), entry::StartingOffset), static_cast<std::int64_t>(0x0000100000000000ULL * 512));
  EXPECT_EQ(LoadI64(EntryBytes(record, 0), entry::PartitionLength),
            static_cast<std::int64_t>((0x0000100000000000ULL + 1) * 512));
  EXPECT_EQ(LoadI64(EntryBytes(record, 1), entry::PartitionLength), -99 * 512);
}

// A 2 TiB disk whose only content is a protective MBR and a primary header
// that claims `entries` entries from LBA 2, with the CRC the array of that
// size (all zeros on this disk) really has.
struct HugeDisk {
  DiskImage head{64, 512};
  std::uint64_t size = 2ULL << 40;
  explicit HugeDisk(std::uint32_t entries) {
    head.SetBootSignature();
    head.SetSlot(0, mbr::TypeGptProtective, 1, 0xFFFFFFFF);
    head.WriteGptHeader(1, ParseGuid(DiskGuidText));
    auto header = head.Sector(1);
    StoreU64(header, gpt::PartitionEntryLba, 2);
    StoreU32(header, gpt::NumberOfPartitionEntries, entries);
    StoreU32(header, gpt::SizeOfPartitionEntry, gpt::EntrySizeValue);
    StoreU64(header, gpt::FirstUsableLba, 34);
    StoreU64(header, gpt::LastUsableLba, size / 512 - 34);
    const std::vector<std::uint8_t> zeros(std::min<std::size_t>(std::size_t{entries} * 128, 8 << 20));
    StoreU32(header, gpt::PartitionEntryArrayCrc32, Crc32(zeros));
    head.SealGptHeader(1);
  }
};

TEST(GptLayoutTest, AnEntryCountFromTheDiskCannotDriveAHugeRead) {
  const struct {
    std::uint32_t entries;
    std::uint32_t code;
  } cases[] = {
      {128, 0},
      {32768, 0},                     // a 4 MiB array: read, in sector-size pieces
      {32769, ErrorDiskCorrupt},      // larger arrays are refused unread
      {0xFFFFFFFF, ErrorDiskCorrupt}, // 512 GiB of entries, inside this disk
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.entries) + " entries");
    HugeDisk huge(c.entries);
    SparseDisk sparse(huge.head.Bytes(), huge.size);
    ProbeDisk disk(sparse);
    disk.budget = 16 << 20;
    const DiskFacts facts{huge.size, 512, false};
    if (c.code == 0) {
      const auto [code, record] = Decode(disk, facts);
      ASSERT_EQ(code, 0u);
      EXPECT_EQ(Style(record), PartitionStyleGpt);
      EXPECT_EQ(Count(record), 0u);
      EXPECT_EQ(LoadU32(record, layout::GptMaxPartitionCount), c.entries);
    } else {
      EXPECT_EQ(DecodeExpectingFailure(disk, facts), c.code);
    }
    // Sector 0, both headers, and the array twice (checked, then decoded).
    const std::uint64_t arrayBytes = std::uint64_t{c.entries <= 32768 ? c.entries : 0} * 128;
    EXPECT_LE(disk.bytesRead, 3 * 512 + 2 * arrayBytes);
    // The array is read in 64 KiB pieces: a 4 MiB array in 64 reads, not
    // in 8192 reads of one sector.
    EXPECT_LE(disk.reads, 3 + 2 * ((arrayBytes + 65535) / 65536));
  }
}

TEST(GptLayoutTest, ADiskWithoutAValidHeaderFailsWith1393) {
  const struct {
    const char* what;
    std::function<void(DiskImage&)> build;
  } cases[] = {
      {"protective MBR alone", [](DiskImage& image) { image.SetSlot(0, mbr::TypeGptProtective, 1, 0xFFFFFFFF); }},
      {"bare headers without entry size",
       [](DiskImage& image) {
         image.SetSlot(0, mbr::TypeGptProtective, 1, 1023);
         image.WriteGptHeader(1, ParseGuid(DiskGuidText));
         image.WriteGptHeader(image.LastLba(), ParseGuid(DiskGuidText));
       }},
      {"both arrays damaged",
       [](DiskImage& image) {
         image.WriteGpt(SampleGpt());
         image.Bytes()[static_cast<std::size_t>(image.GptArrayOffset(1))] ^= 1;
         image.Bytes()[static_cast<std::size_t>(image.GptArrayOffset(image.LastLba()))] ^= 1;
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    DiskImage image(1024, 512);
    image.SetBootSignature();
    c.build(image);
    EXPECT_EQ(DecodeExpectingFailure(image), ErrorDiskCorrupt);
  }
  // Too small to hold a header at all.
  DiskImage tiny(1, 512);
  tiny.SetBootSignature();
  tiny.SetSlot(0, mbr::TypeGptProtective, 1, 0xFFFFFFFF);
  EXPECT_EQ(DecodeExpectingFailure(tiny), ErrorDiskCorrupt);
}

TEST(GptLayoutTest, AHeaderWrittenForOtherSectorsIsNotFound) {
  // A GPT made for 512-byte sectors, seen by a device of 4096-byte sectors:
  // LBA 1 is byte 4096, where there is no header.
  DiskImage image(8192, 512);
  image.WriteGpt(SampleGpt());
  MemoryDiskSource disk(image.Bytes());
  EXPECT_EQ(DecodeExpectingFailure(disk, DiskFacts{image.Bytes().size(), 4096, false}), ErrorDiskCorrupt);
}

// ---------------------------------------------------------------- style choice

TEST(LayoutStyleTest, ProtectiveMbrIsGptAndAHybridMbrIsMbr) {
  const struct {
    const char* what;
    std::vector<MbrSlot> slots;
    std::uint32_t style;
    std::uint32_t count;
  } cases[] = {
      {"protective", {{0xEE, 1, 1023}}, PartitionStyleGpt, 3},
      {"protective, size 0xFFFFFFFF", {{0xEE, 1, 0xFFFFFFFF}}, PartitionStyleGpt, 3},
      {"protective, active", {{0xEE, 1, 1023, true}}, PartitionStyleGpt, 3},
      {"hybrid", {{0xEE, 1, 63}, {0x0C, 64, 192, true}}, PartitionStyleMbr, 4},
      {"0xEE in slot 1", {{0x00, 0, 0}, {0xEE, 1, 1023}}, PartitionStyleMbr, 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    DiskImage image(1024, 512);
    image.WriteGpt(SampleGpt());
    image.SetDiskSignature(0x01020304);
    for (std::size_t slot = 0; slot < mbr::SlotCount; ++slot) {
      image.SetSlot(0, slot, slot < c.slots.size() ? c.slots[slot] : MbrSlot{});
    }
    const auto [code, record] = Decode(image);
    ASSERT_EQ(code, 0u);
    EXPECT_EQ(Style(record), c.style);
    EXPECT_EQ(Count(record), c.count);
  }

  // The hybrid MBR's entries, the 0xEE one included, as MBR partitions.
  DiskImage image(1024, 512);
  image.WriteGpt(SampleGpt());
  image.SetDiskSignature(0x01020304);
  image.SetSlot(0, 0, MbrSlot{0xEE, 1, 63});
  image.SetSlot(0, 1, MbrSlot{0x0C, 64, 192, true});
  const auto [code, record] = Decode(image);
  ASSERT_EQ(code, 0u);
  ExpectMbrEntries(record, {
                               {512, 63 * 512, 1, 0xEE, false, true, 1, MbrId(0x01020304, 512)},
                               {64 * 512, 192 * 512, 2, 0x0C, true, true, 64, MbrId(0x01020304, 64 * 512)},
                               {},
                               {},
                           });
}

TEST(LayoutStyleTest, GeometryReportsTheSameStyleAndDiskGuid) {
  const struct {
    const char* what;
    std::function<void(DiskImage&)> build;
    std::uint32_t style;  // of the geometry record; the layout fails when GPT has no valid header
    bool layoutFails;
  } cases[] = {
      {"intact GPT", [](DiskImage& image) { image.WriteGpt(SampleGpt()); }, PartitionStyleGpt, false},
      {"primary header damaged",
       [](DiskImage& image) {
         image.WriteGpt(SampleGpt());
         image.Sector(1)[gpt::DiskGuid] ^= 1;
       },
       PartitionStyleGpt, false},
      {"primary array damaged",
       [](DiskImage& image) {
         image.WriteGpt(SampleGpt());
         image.Bytes()[static_cast<std::size_t>(image.GptArrayOffset(1))] ^= 1;
       },
       PartitionStyleGpt, false},
      {"both damaged",
       [](DiskImage& image) {
         image.WriteGpt(SampleGpt());
         image.Sector(1)[gpt::DiskGuid] ^= 1;
         image.Sector(image.LastLba())[gpt::DiskGuid] ^= 1;
       },
       PartitionStyleMbr, true},
      {"hybrid",
       [](DiskImage& image) {
         image.WriteGpt(SampleGpt());
         image.SetSlot(1, 0x0C, 64, 192);
       },
       PartitionStyleMbr, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    DiskImage image(1024, 512);
    c.build(image);
    MemoryDiskSource disk(image.Bytes());
    std::array<std::uint8_t, GeometryBufferSize> geometryRecord{};
    ASSERT_EQ(FillGeometryRecord(disk, image.Facts(), geometryRecord), 0u);
    EXPECT_EQ(LoadU32(geometryRecord, geometry::PartitionStyle), c.style);
    if (c.layoutFails) {
      EXPECT_EQ(DecodeExpectingFailure(image), ErrorDiskCorrupt);
      continue;
    }
    const auto [code, record] = Decode(image);
    ASSERT_EQ(code, 0u);
    EXPECT_EQ(Style(record), c.style);
    if (c.style == PartitionStyleGpt) {
      EXPECT_EQ(GuidAt(geometryRecord, geometry::GptDiskId), GuidAt(record, layout::GptDiskId));
    } else {
      EXPECT_EQ(LoadU32(geometryRecord, geometry::MbrSignature), LoadU32(record, layout::MbrSignature));
      EXPECT_EQ(LoadU32(geometryRecord, geometry::MbrCheckSum), LoadU32(record, layout::MbrCheckSum));
    }
  }
}

// ---------------------------------------------------------------- MBR

TEST(MbrLayoutTest, PrimariesFillFourSlotsWithStableIdentifiers) {
  DiskImage image(16384, 512);
  image.SetBootSignature();
  image.SetDiskSignature(0x8F8378C0);
  image.SetSlot(0, 0, MbrSlot{0x83, 2048, 2048, true});
  image.SetSlot(0, 2, MbrSlot{0x07, 4096, 100});
  image.SetSlot(0, 3, MbrSlot{0x85, 8192, 8192});  // Linux extended: an ordinary partition here
  // A valid-looking EBR where the 0x85 partition starts: not followed.
  image.SetBootSignature(8192);
  image.SetSlot(8192, 0, MbrSlot{0x83, 63, 100});
  const auto [code, record] = Decode(image);
  ASSERT_EQ(code, 0u);
  EXPECT_EQ(Style(record), PartitionStyleMbr);
  EXPECT_EQ(LoadU32(record, layout::MbrSignature), 0x8F8378C0u);
  std::uint32_t sum = LoadU32(record, layout::MbrCheckSum);
  for (std::size_t i = 0; i < 512; i += 4) sum += LoadU32(image.Sector(0), i);
  EXPECT_EQ(sum, 0u);
  ExpectMbrEntries(record, {
                               {1048576, 1048576, 1, 0x83, true, true, 2048, "{8F8378C0-0000-0000-0000-100000000000}"},
                               {},
                               {2097152, 51200, 2, 0x07, false, true, 4096, "{8F8378C0-0000-0000-0000-200000000000}"},
                               {4194304, 4194304, 3, 0x85, false, true, 8192, MbrId(0x8F8378C0, 4194304)},
                           });
}

TEST(MbrLayoutTest, AnEmptyTableStillFillsFourSlots) {
  DiskImage image(64, 512);
  image.SetBootSignature();
  image.SetDiskSignature(0xCAFEF00D);
  // Garbage in unused slots is not looked at.
  StoreU32(image.Sector(0), mbr::SlotOffset(1) + mbr::SlotStartLba, 0xFFFFFFFF);
  StoreU32(image.Sector(0), mbr::SlotOffset(1) + mbr::SlotSectorCount, 0xFFFFFFFF);
  const auto [code, record] = Decode(image);
  ASSERT_EQ(code, 0u);
  EXPECT_EQ(Style(record), PartitionStyleMbr);
  EXPECT_EQ(LoadU32(record, layout::MbrSignature), 0xCAFEF00Du);
  ExpectMbrEntries(record, {{}, {}, {}, {}});
}

// The chain used by several tests: a primary, then an extended partition at
// LBA 4096 (slot 2) whose EBRs hold three logicals, the links and logicals
// in varying slots. Sizes in sectors of any size.
constexpr std::uint32_t ChainSignature = 0x1BADB002;
void WriteThreeLogicals(DiskImage& image, std::uint8_t extendedType = mbr::TypeExtendedLba) {
  image.SetBootSignature();
  image.SetDiskSignature(ChainSignature);
  image.SetSlot(0, 0, MbrSlot{0x83, 2048, 2048});
  image.SetSlot(0, 2, MbrSlot{extendedType, 4096, 12288});
  image.SetBootSignature(4096);  // EBR 1: logical in slot 0, link in slot 1
  image.SetSlot(4096, 0, MbrSlot{0x83, 63, 1000});
  image.SetSlot(4096, 1, MbrSlot{mbr::TypeExtendedChs, 2048, 3000});
  image.SetBootSignature(6144);  // EBR 2: link in slot 0, logical in slot 2
  image.SetSlot(6144, 0, MbrSlot{mbr::TypeExtendedChs, 4096, 2000});
  image.SetSlot(6144, 2, MbrSlot{0x07, 100, 1000});
  image.SetBootSignature(8192);  // EBR 3: the last, active logical
  image.SetSlot(8192, 0, MbrSlot{0x0C, 2048, 4096, true});
}

std::vector<MbrEntry> ThreeLogicalsEntries(std::int64_t s, std::uint8_t extendedType = mbr::TypeExtendedLba) {
  return {
      {2048 * s, 2048 * s, 1, 0x83, false, true, 2048, MbrId(ChainSignature, 2048 * s)},
      {},
      {4096 * s, 12288 * s, 0, extendedType, false, false, 4096, ZeroGuid},
      {},
      // EBR 1 at 4096: the logical is relative to its EBR, the link to the
      // extended partition.
      {(4096 + 63) * s, 1000 * s, 2, 0x83, false, true, 63, MbrId(ChainSignature, (4096 + 63) * s)},
      {(4096 + 2048) * s, 3000 * s, 0, 0x05, false, false, 2048, ZeroGuid},
      {},
      {},
      // EBR 2 at 6144.
      {(4096 + 4096) * s, 2000 * s, 0, 0x05, false, false, 4096, ZeroGuid},
      {},
      {(6144 + 100) * s, 1000 * s, 3, 0x07, false, true, 100, MbrId(ChainSignature, (6144 + 100) * s)},
      {},
      // EBR 3 at 8192.
      {(8192 + 2048) * s, 4096 * s, 4, 0x0C, true, true, 2048, MbrId(ChainSignature, (8192 + 2048) * s)},
      {},
      {},
      {},
  };
}

TEST(MbrLayoutTest, AnEbrChainOfThreeLogicals) {
  const struct {
    std::uint32_t sectorSize;
    std::uint8_t extendedType;
  } cases[] = {{512, mbr::TypeExtendedLba}, {512, mbr::TypeExtendedChs}, {4096, mbr::TypeExtendedLba}};
  for (const auto& c : cases) {
    SCOPED_TRACE("sector size " + std::to_string(c.sectorSize) + ", extended type " +
                 FormatHex(c.extendedType, 2));
    DiskImage image(16384, c.sectorSize);
    WriteThreeLogicals(image, c.extendedType);
    const auto [code, record] = Decode(image);
    ASSERT_EQ(code, 0u);
    ExpectMbrEntries(record, ThreeLogicalsEntries(c.sectorSize, c.extendedType));
  }
}

TEST(MbrLayoutTest, TheReportShowsOnlyPartitionsWithTheirSlotIndexes) {
  DiskImage image(16384, 512);
  WriteThreeLogicals(image);
  const auto [code, record] = Decode(image);
  ASSERT_EQ(code, 0u);
  test::FakeStorage storage;
  storage.drives[0].layout = record;
  test::MemorySink sink;
  ReportWriter report(sink);
  ASSERT_TRUE(WriteReport(storage, report));
  std::vector<std::string> headings;
  for (std::size_t at = sink.written.find("> PartitionEntry["); at != std::string::npos;
       at = sink.written.find("> PartitionEntry[", at + 1)) {
    headings.push_back(sink.written.substr(at, sink.written.find('\r', at) - at));
  }
  EXPECT_EQ(headings, (std::vector<std::string>{"> PartitionEntry[0]:", "> PartitionEntry[4]:",
                                                "> PartitionEntry[10]:", "> PartitionEntry[12]:"}));
  EXPECT_NE(sink.written.find("  * HiddenSectors: 100\r\n"), std::string::npos);
  EXPECT_NE(sink.written.find("  * PartitionId: {1BADB002-0000-0000-0000-500000000000}\r\n"), std::string::npos)
      << "the last logical, at byte 5'242'880";
}

TEST(MbrLayoutTest, ChainsEndAtLoopsTheDiskEndAndMissingSignatures) {
  // MBR: a primary and an extended partition at LBA 100; EBR 1 at 100 holds
  // a logical and a link; the case decides where the link goes.
  const std::uint64_t sectors = 1000;
  const struct {
    const char* what;
    std::function<void(DiskImage&)> link;
    std::uint32_t count;
    std::uint32_t partitions;
  } cases[] = {
      {"no link", [](DiskImage&) {}, 8, 2},
      {"link to itself", [](DiskImage& image) { image.SetSlot(100, 1, MbrSlot{0x05, 0, 50}); }, 8, 2},
      {"link back to an earlier EBR",
       [](DiskImage& image) {
         image.SetSlot(100, 1, MbrSlot{0x05, 200, 50});
         image.SetBootSignature(300);
         image.SetSlot(300, 0, MbrSlot{0x83, 1, 10});
         image.SetSlot(300, 1, MbrSlot{0x05, 0, 50});  // back to EBR 1
       },
       12, 3},
      {"link to the last sector",
       [](DiskImage& image) {
         image.SetSlot(100, 1, MbrSlot{0x05, 899, 1});
         image.SetBootSignature(999);
       },
       12, 2},
      {"link just past the disk",
       [](DiskImage& image) { image.SetSlot(100, 1, MbrSlot{0x05, 900, 1}); }, 8, 2},
      {"link far past the disk",
       [](DiskImage& image) { image.SetSlot(100, 1, MbrSlot{0x0F, 0xFFFFFFFF, 1}); }, 8, 2},
      {"link to an EBR without signature",
       [](DiskImage& image) {
         image.SetSlot(100, 1, MbrSlot{0x05, 200, 50});
         image.SetSlot(300, 0, MbrSlot{0x83, 1, 10});
       },
       8, 2},
      {"link through a Linux extended entry",
       [](DiskImage& image) {
         image.SetSlot(100, 1, MbrSlot{0x85, 200, 50});
         image.SetBootSignature(300);
         image.SetSlot(300, 0, MbrSlot{0x83, 1, 10});
       },
       8, 3},
      {"two links: only the first is followed",
       [](DiskImage& image) {
         image.SetSlot(100, 1, MbrSlot{0x05, 200, 50});
         image.SetSlot(100, 2, MbrSlot{0x05, 400, 50});
         image.SetBootSignature(300);
         image.SetSlot(300, 0, MbrSlot{0x83, 1, 10});
         image.SetBootSignature(500);
         image.SetSlot(500, 0, MbrSlot{0x83, 1, 10});
         image.SetSlot(500, 1, MbrSlot{0x83, 20, 10});
       },
       12, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    DiskImage image(sectors, 512);
    image.SetBootSignature();
    image.SetSlot(0, 0, MbrSlot{0x83, 1, 99});
    image.SetSlot(0, 1, MbrSlot{0x0F, 100, 900});
    image.SetBootSignature(100);
    image.SetSlot(100, 0, MbrSlot{0x83, 1, 10});
    c.link(image);
    MemoryDiskSource memory(image.Bytes());
    ProbeDisk disk(memory);
    const auto [code, record] = Decode(disk, image.Facts());
    ASSERT_EQ(code, 0u);
    EXPECT_EQ(Style(record), PartitionStyleMbr);
    EXPECT_EQ(Count(record), c.count);
    std::uint32_t partitions = 0;
    for (std::size_t i = 0; i < c.count; ++i) {
      if (ReadMbrEntry(record, i).recognized) {
        EXPECT_EQ(ReadMbrEntry(record, i).number, ++partitions) << i;
      }
    }
    EXPECT_EQ(partitions, c.partitions);
    EXPECT_LE(disk.reads, 5u);
  }
}

TEST(MbrLayoutTest, AnExtendedPartitionOutsideTheChainReadsNoEbr) {
  const struct {
    const char* what;
    std::uint32_t start;
  } cases[] = {{"at LBA 0, the MBR itself", 0}, {"at the sector count", 1000}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    DiskImage image(1000, 512);
    image.SetBootSignature();
    image.SetSlot(0, 0, MbrSlot{0x05, c.start, 10});
    MemoryDiskSource memory(image.Bytes());
    ProbeDisk disk(memory);
    const auto [code, record] = Decode(disk, image.Facts());
    ASSERT_EQ(code, 0u);
    EXPECT_EQ(Count(record), 4u);
    EXPECT_EQ(ReadMbrEntry(record, 0),
              (MbrEntry{c.start * 512LL, 10 * 512, 0, 0x05, false, false, c.start, ZeroGuid}));
    EXPECT_EQ(disk.reads, 1u);
  }
}

TEST(MbrLayoutTest, FourLogicalsDoNotFitAndFailWith122) {
  // Three logicals fill the record exactly; a fourth EBR does not fit,
  // unless it has no signature and so holds no table.
  const struct {
    const char* what;
    bool fourthSigned;
    std::uint32_t code;
  } cases[] = {{"fourth EBR", true, ErrorInsufficientBuffer}, {"unsigned fourth EBR", false, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    DiskImage image(16384, 512);
    WriteThreeLogicals(image);
    image.SetSlot(8192, 1, MbrSlot{0x05, 8192, 100});
    if (c.fourthSigned) image.SetBootSignature(12288);
    image.SetSlot(12288, 0, MbrSlot{0x83, 1, 10});
    if (c.code != 0) {
      EXPECT_EQ(DecodeExpectingFailure(image), c.code);
      continue;
    }
    const auto [code, record] = Decode(image);
    ASSERT_EQ(code, 0u);
    auto expected = ThreeLogicalsEntries(512);
    expected[13] = MbrEntry{(4096 + 8192) * 512LL, 100 * 512, 0, 0x05, false, false, 8192, ZeroGuid};
    ExpectMbrEntries(record, expected);
  }
}

// ---------------------------------------------------------------- sanity and super-floppy

// The super-floppy layout of a disk of `bytes` bytes.
void ExpectSuperFloppy(const Record& record, std::int64_t bytes) {
  EXPECT_EQ(Style(record), PartitionStyleMbr);
  EXPECT_EQ(LoadU32(record, layout::MbrSignature), 1u);
  EXPECT_EQ(LoadU32(record, layout::MbrCheckSum), 0u);
  ExpectMbrEntries(record, {{0, bytes, 1, 0x04, false, true, 0, "{00000001-0000-0000-0000-000000000000}"}});
}

TEST(MbrSanityTest, AnInsaneTableReadsAsASuperFloppy) {
  const std::uint32_t sectors = 1000;
  const struct {
    const char* what;
    std::vector<MbrSlot> slots;
    bool sane;
  } cases[] = {
      {"starts at the sector count", {{0x83, 1000, 1}}, true},
      {"starts past the sector count", {{0x83, 1001, 1}}, false},
      {"ends at twice the sector count", {{0x83, 10, 1990}}, true},
      {"ends past twice the sector count", {{0x83, 10, 1991}}, false},
      {"extended partition too long", {{0x83, 1, 99}, {0x0F, 100, 1901}}, false},
      {"start and size at their maximum", {{0x83, 0xFFFFFFFF, 0xFFFFFFFF}}, false},
      {"bad entry in the last slot", {{0x83, 1, 99}, {}, {}, {0x07, 1001, 1}}, false},
      {"two extended partitions", {{0x05, 100, 100}, {0x0F, 200, 100}}, false},
      {"an extended and a Linux extended", {{0x05, 100, 100}, {0x85, 200, 100}}, true},
      {"past the disk but within the limits", {{0x83, 900, 900}}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (const bool removable : {false, true}) {
      DiskImage image(sectors, 512);
      image.SetBootSignature();
      image.SetDiskSignature(0x11223344);
      for (std::size_t slot = 0; slot < c.slots.size(); ++slot) image.SetSlot(0, slot, c.slots[slot]);
      const auto [code, record] = Decode(image, removable);
      ASSERT_EQ(code, 0u);
      if (!c.sane) {
        ExpectSuperFloppy(record, sectors * 512);
        continue;
      }
      EXPECT_EQ(LoadU32(record, layout::MbrSignature), 0x11223344u);
      ASSERT_EQ(Count(record), 4u);
      const MbrSlot& first = c.slots[0];
      EXPECT_EQ(ReadMbrEntry(record, 0).offset, std::int64_t{first.start} * 512);
      EXPECT_EQ(ReadMbrEntry(record, 0).length, std::int64_t{first.count} * 512);
    }
  }
}

TEST(MbrSanityTest, RemovableAndFixedDisksWithoutATable) {
  const struct {
    const char* what;
    bool removable;
    bool signature;
    std::uint8_t firstByte;
    bool partition;  // a 0x83 entry in slot 0
    std::uint32_t style;
    std::uint32_t count;  // 1 with style MBR: the super-floppy layout
  } cases[] = {
      {"fixed, no signature", false, false, 0x00, false, PartitionStyleRaw, 0},
      {"fixed, no signature, FAT boot sector", false, false, 0xEB, false, PartitionStyleRaw, 0},
      {"fixed, no signature, a slot filled", false, false, 0x00, true, PartitionStyleRaw, 0},
      {"fixed, empty table behind a jump", false, true, 0xEB, false, PartitionStyleMbr, 4},
      {"removable, no signature", true, false, 0x00, false, PartitionStyleMbr, 1},
      {"removable, no signature, a slot filled", true, false, 0x00, true, PartitionStyleMbr, 1},
      {"removable, empty table behind a short jump", true, true, 0xEB, false, PartitionStyleMbr, 1},
      {"removable, empty table behind a near jump", true, true, 0xE9, false, PartitionStyleMbr, 1},
      {"removable, empty table, no jump", true, true, 0xFA, false, PartitionStyleMbr, 4},
      {"removable, a partition behind a jump", true, true, 0xEB, true, PartitionStyleMbr, 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    DiskImage image(2880, 512);
    image.Sector(0)[mbr::BootCode] = c.firstByte;
    if (c.signature) image.SetBootSignature();
    if (c.partition) image.SetSlot(0, 0x83, 63, 2000);
    image.SetDiskSignature(0x55667788);
    const auto [code, record] = Decode(image, c.removable);
    ASSERT_EQ(code, 0u);
    EXPECT_EQ(Style(record), c.style);
    if (c.style == PartitionStyleRaw) {
      EXPECT_EQ(Count(record), 0u);
      EXPECT_TRUE(std::all_of(record.begin() + 4, record.end(), [](std::uint8_t b) { return b == 0; }));
    } else if (c.count == 1) {
      ExpectSuperFloppy(record, 2880 * 512);
    } else {
      EXPECT_EQ(Count(record), 4u);
      EXPECT_EQ(LoadU32(record, layout::MbrSignature), 0x55667788u);
      EXPECT_EQ(ReadMbrEntry(record, 0).recognized, c.partition);
    }
  }
}

TEST(MbrSanityTest, SuperFloppiesCoverWholeSectorsOfAnySize) {
  DiskImage big(2048, 4096);
  ExpectSuperFloppy(Decode(big, true).record, 2048 * 4096);
  // A device shorter than one sector holds no table and reads as empty.
  std::vector<std::uint8_t> scrap(300);
  MemoryDiskSource disk(scrap);
  const auto removable = Decode(disk, DiskFacts{scrap.size(), 512, true});
  ASSERT_EQ(removable.code, 0u);
  ExpectSuperFloppy(removable.record, 0);
  const auto fixed = Decode(disk, DiskFacts{scrap.size(), 512, false});
  ASSERT_EQ(fixed.code, 0u);
  EXPECT_EQ(Style(fixed.record), PartitionStyleRaw);
}

// ---------------------------------------------------------------- failures

TEST(LayoutFailureTest, ReadErrorsFailWithTheirCodeAndLeaveTheBufferAlone) {
  constexpr std::uint32_t CrcError = 23;
  const struct {
    const char* what;
    bool gpt;
    std::uint64_t failSector;
    bool breakPrimary;
  } cases[] = {
      {"MBR sector", false, 0, false},
      {"second EBR", false, 6144, false},
      {"third EBR", false, 8192, false},
      {"primary GPT header", true, 1, false},
      {"primary entry array", true, 5, false},
      {"backup header, after a bad primary", true, 1023, true},
      {"backup entry array, after a bad primary", true, 1000, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    DiskImage image(c.gpt ? 1024 : 16384, 512);
    if (c.gpt) {
      image.WriteGpt(SampleGpt());
      if (c.breakPrimary) image.Sector(1)[0] = 0;
    } else {
      WriteThreeLogicals(image);
    }
    MemoryDiskSource memory(image.Bytes());
    ProbeDisk disk(memory);
    disk.failFrom = c.failSector * 512;
    disk.failTo = disk.failFrom + 512;
    disk.failCode = CrcError;
    EXPECT_EQ(DecodeExpectingFailure(disk, image.Facts()), CrcError);
  }
}

TEST(LayoutFailureTest, DevicesThatCannotBeReadFailLikeTheGeometryQuery) {
  MemoryDiskSource empty({});
  std::vector<std::uint8_t> bytes(4096);
  MemoryDiskSource small(bytes);
  EXPECT_EQ(DecodeExpectingFailure(empty, DiskFacts{0, 512, true}), ErrorNotReady);
  EXPECT_EQ(DecodeExpectingFailure(empty, DiskFacts{0, 512, false}), ErrorDeviceNotConnected);
  EXPECT_EQ(DecodeExpectingFailure(small, DiskFacts{4096, 1000, false}), ErrorInvalidFunction);
  EXPECT_EQ(DecodeExpectingFailure(small, DiskFacts{4096, 8192, false}), ErrorInvalidFunction);
}

}  // namespace
}  // namespace quillbrane
