// The hostile-disk catalogue. Each case says, in `reason`, why the answer
// is the one Windows' partition manager gives (the rules the layout decoder
// follows), and where the Linux kernel (block/partitions/msdos.c, efi.c) or
// util-linux (libblkid, libfdisk) behave differently, what they do instead.
#include "hostile_disks.h"

#include <algorithm>
#include <functional>

#include "disk_image.h"
#include "storage/byte_order.h"
#include "storage/disk_formats.h"
#include "storage/error_codes.h"
#include "storage/records.h"

namespace quillbrane::test {
namespace {

constexpr const char* BasicDataType = "{EBD0A0A2-B9E5-4433-87C0-68B6B72699C7}";
constexpr const char* LinuxDataType = "{0FC63DAF-8483-4772-8E79-3D69D8477DE4}";

// Partitions of the GPT cases: LBAs 64 to 191 are usable whatever the
// sector size (the 128-entry array ends at LBA 33 with 512-byte sectors).
GptSpec ThreePartitionGpt(const char* diskGuid = "{5EB1A2C3-0D4E-4F60-8172-93A4B5C6D7E8}") {
  GptSpec shape;
  shape.diskGuid = ParseGuid(diskGuid);
  shape.entries = {
      {ParseGuid(BasicDataType), ParseGuid("{11111111-2222-4333-8444-555555555501}"), 64, 95, 0, u"one"},
      {ParseGuid(LinuxDataType), ParseGuid("{11111111-2222-4333-8444-555555555502}"), 96, 127, 0, u"two"},
      {ParseGuid(BasicDataType), ParseGuid("{11111111-2222-4333-8444-555555555503}"), 128, 191, 0, u"three"},
  };
  return shape;
}

std::vector<ShownEntry> ThreePartitionsShown(std::int64_t s) {
  return {{0, 64 * s, 32 * s}, {1, 96 * s, 32 * s}, {2, 128 * s, 64 * s}};
}

// Applies `edit` to both GPT headers, then recomputes each header's CRC, so
// that only the edit is wrong: a partitioner that wrote the same mistake
// into both copies.
void EditBothHeaders(DiskImage& image, const std::function<void(std::span<std::uint8_t>)>& edit) {
  for (const std::uint64_t lba : {std::uint64_t{1}, image.LastLba()}) {
    edit(image.Sector(lba));
    image.SealGptHeader(lba);
  }
}

// The same, for edits after which the entry array's CRC is recomputed too.
void EditBothHeadersAndArrays(DiskImage& image, const std::function<void(std::span<std::uint8_t>)>& edit) {
  for (const std::uint64_t lba : {std::uint64_t{1}, image.LastLba()}) {
    edit(image.Sector(lba));
    image.SealGptArray(lba);
  }
}

// The MBR chain most MBR cases start from: a primary at LBA 1 (99 sectors),
// the extended partition from LBA 100 to the disk's end, and its first EBR
// at LBA 100 with one logical partition at relative LBA 1 (10 sectors).
void WriteChainStart(DiskImage& image) {
  image.SetBootSignature();
  image.SetDiskSignature(0x0BADC0DE);
  image.SetSlot(0, 0, MbrSlot{0x83, 1, 99});
  image.SetSlot(0, 1, MbrSlot{mbr::TypeExtendedLba, 100, static_cast<std::uint32_t>(image.Sectors() - 100)});
  image.SetBootSignature(100);
  image.SetSlot(100, 0, MbrSlot{0x83, 1, 10});
}

std::vector<ShownEntry> ChainStartShown(std::int64_t s) { return {{0, 1 * s, 99 * s}, {4, 101 * s, 10 * s}}; }

struct Case {
  const char* name;
  std::uint32_t sectorSize;
  std::function<void(DiskImage&)> build;
  std::uint32_t code;
  std::uint32_t style;
  std::uint32_t count;
  // The expectations may depend on the disk's size in sectors.
  std::function<std::vector<ShownEntry>(std::int64_t sectors)> shown;
  std::function<std::optional<UsableArea>(std::int64_t sectors)> usable;
  const char* reason;
  std::uint64_t extraSectors = 0;  // for a disk that must be larger than most
};

std::vector<ShownEntry> None(std::int64_t) { return {}; }
std::optional<UsableArea> Unchecked(std::int64_t) { return std::nullopt; }

// The usable area WriteGpt gives a disk of `sectors` 512-byte sectors.
UsableArea WrittenUsable(std::int64_t sectors) { return {34 * 512, (sectors - 34 - 34 + 1) * 512, 128}; }

std::vector<Case> Cases() {
  constexpr std::int64_t S = 512;
  constexpr std::int64_t K = 4096;
  return {
      // ------------------------------------------------------------ MBR and EBR chains
      {"ebr-loop-to-itself", 512,
       [](DiskImage& image) {
         WriteChainStart(image);
         image.SetSlot(100, 1, MbrSlot{mbr::TypeExtendedChs, 0, 50});
       },
       0, PartitionStyleMbr, 8, [](std::int64_t) { return ChainStartShown(S); }, Unchecked,
       "A link back to an EBR already read ends the chain, so the one EBR gives its four slots. The kernel "
       "(msdos.c parse_extended) reads it again up to its limit of 100 EBRs, sfdisk repeats the logical up to "
       "its limit of 60 partitions, partx lists it once."},
      {"ebr-loop-to-earlier", 512,
       [](DiskImage& image) {
         WriteChainStart(image);
         image.SetSlot(100, 1, MbrSlot{mbr::TypeExtendedChs, 200, 50});
         image.SetBootSignature(300);
         image.SetSlot(300, 0, MbrSlot{0x07, 1, 10});
         image.SetSlot(300, 1, MbrSlot{mbr::TypeExtendedChs, 0, 50});  // back to the EBR at 100
       },
       0, PartitionStyleMbr, 12,
       [](std::int64_t) {
         auto shown = ChainStartShown(S);
         shown.push_back({8, 301 * S, 10 * S});
         return shown;
       },
       Unchecked, "Two EBRs, then a link to the first one again: the chain ends at the EBR already read (sfdisk and partx "
       "also list the two logicals once)."},
      {"ebr-loop-to-mbr", 512,
       [](DiskImage& image) {
         image.SetBootSignature();
         image.SetSlot(0, 0, MbrSlot{0x83, 64, 100});
         image.SetSlot(0, 1, MbrSlot{mbr::TypeExtendedLba, 0, 64});  // the extended partition is the MBR
       },
       0, PartitionStyleMbr, 4, [](std::int64_t) { return std::vector<ShownEntry>{{0, 64 * S, 100 * S}}; },
       Unchecked,
       "An extended partition at LBA 0 links to the MBR itself, the first table read: no EBR is read, the "
       "container slot is not shown. sfdisk says 'Bad offset in primary extended partition' and lists no "
       "logical either."},
      {"ebr-chain-past-disk", 512,
       [](DiskImage& image) {
         WriteChainStart(image);
         image.SetSlot(100, 1, MbrSlot{mbr::TypeExtendedLba, 0xFFFFFF00u, 50});
       },
       0, PartitionStyleMbr, 8, [](std::int64_t) { return ChainStartShown(S); }, Unchecked,
       "A link to an LBA past the disk ends the chain without a read; sfdisk fails to read that EBR and stops "
       "there too, with the same logical."},
      {"ebr-link-to-last-sector-unsigned", 512,
       [](DiskImage& image) {
         WriteChainStart(image);
         image.SetSlot(100, 1, MbrSlot{mbr::TypeExtendedLba, static_cast<std::uint32_t>(image.LastLba() - 100), 1});
       },
       0, PartitionStyleMbr, 8, [](std::int64_t) { return ChainStartShown(S); }, Unchecked,
       "The link's target, the disk's last sector, is read and has no 0xAA55: no table there, the chain ends "
       "(as in the kernel and libblkid)."},
      {"logical-outside-extended", 512,
       [](DiskImage& image) {
         image.SetBootSignature();
         image.SetSlot(0, 0, MbrSlot{mbr::TypeExtendedLba, 100, 100});
         image.SetBootSignature(100);
         image.SetSlot(100, 0, MbrSlot{0x83, 500, 50});  // LBA 600: past the extended partition's end
         image.SetSlot(100, 2, MbrSlot{0x07, 300, 20});  // LBA 400, in slot 3
       },
       0, PartitionStyleMbr, 8,
       [](std::int64_t) { return std::vector<ShownEntry>{{4, 600 * S, 50 * S}, {6, 400 * S, 20 * S}}; }, Unchecked,
       "Windows reports every EBR slot as stored, relative to its EBR, without checking that it lies inside "
       "the extended partition. The kernel, sfdisk and partx keep the slot-1 logical and drop the slot-3 one "
       "that leaves the container (they check slots 3 and 4 only)."},
      {"two-extended-partitions", 512,
       [](DiskImage& image) {
         image.SetBootSignature();
         image.SetDiskSignature(0x22222222);
         image.SetSlot(0, 0, MbrSlot{mbr::TypeExtendedChs, 100, 100});
         image.SetSlot(0, 1, MbrSlot{mbr::TypeExtendedLba, 300, 100});
         image.SetBootSignature(100);
         image.SetSlot(100, 0, MbrSlot{0x83, 1, 10});
       },
       0, PartitionStyleMbr, 1,
       [](std::int64_t sectors) { return std::vector<ShownEntry>{{0, 0, sectors * S}}; }, Unchecked,
       "More than one container makes the table invalid to Windows, which then reads the disk as a "
       "super-floppy: one partition from byte 0 over the whole disk. sfdisk ignores the second extended "
       "partition; partx lists both and follows the first."},
      {"overlapping-partitions", 512,
       [](DiskImage& image) {
         image.SetBootSignature();
         image.SetSlot(0, 0, MbrSlot{0x83, 64, 200});
         image.SetSlot(0, 1, MbrSlot{0x07, 128, 200});
         image.SetSlot(0, 3, MbrSlot{0x0C, 64, 200});  // the same range twice
       },
       0, PartitionStyleMbr, 4,
       [](std::int64_t) {
         return std::vector<ShownEntry>{{0, 64 * S, 200 * S}, {1, 128 * S, 200 * S}, {3, 64 * S, 200 * S}};
       },
       Unchecked, "Neither Windows nor the kernel checks for overlap; sfdisk only warns. All three are shown."},
      {"primary-past-disk", 512,
       [](DiskImage& image) {
         image.SetBootSignature();
         image.SetSlot(0, 0, MbrSlot{0x83, 64, static_cast<std::uint32_t>(2 * image.Sectors() - 64)});
       },
       0, PartitionStyleMbr, 4,
       [](std::int64_t sectors) { return std::vector<ShownEntry>{{0, 64 * S, (2 * sectors - 64) * S}}; },
       Unchecked,
       "Ending past the disk but not past twice its sector count passes Windows' sanity check: shown as "
       "stored. sfdisk and partx show it as stored too."},
      {"primary-starts-past-disk", 512,
       [](DiskImage& image) {
         image.SetBootSignature();
         image.SetSlot(0, 0, MbrSlot{0x83, 64, 100});
         image.SetSlot(0, 1, MbrSlot{0x83, static_cast<std::uint32_t>(image.Sectors() + 1), 100});
       },
       0, PartitionStyleMbr, 1,
       [](std::int64_t sectors) { return std::vector<ShownEntry>{{0, 0, sectors * S}}; }, Unchecked,
       "An entry starting past the last sector fails Windows' sanity check: the table is invalid and the disk "
       "reads as a super-floppy. sfdisk and partx list both entries as stored."},
      {"four-logical-partitions", 512,
       [](DiskImage& image) {
         image.SetBootSignature();
         image.SetSlot(0, 0, MbrSlot{mbr::TypeExtendedLba, 100, static_cast<std::uint32_t>(image.Sectors() - 100)});
         for (std::uint32_t k = 0; k < 4; ++k) {
           const std::uint64_t ebr = 100 + 100 * k;
           image.SetBootSignature(ebr);
           image.SetSlot(ebr, 0, MbrSlot{0x83, 1, 50});
           if (k < 3) image.SetSlot(ebr, 1, MbrSlot{mbr::TypeExtendedChs, 100 * (k + 1), 100});
         }
       },
       ErrorInsufficientBuffer, 0, 0, None, Unchecked,
       "Four EBRs and the MBR need 20 entries; the record holds 16, so the request fails with 122, as it "
       "does on Windows for an MBR disk with four or more logical partitions (sfdisk lists all four)."},
      {"extended-at-disk-end", 512,
       [](DiskImage& image) {
         image.SetBootSignature();
         image.SetSlot(0, 0, MbrSlot{0x83, 64, 100});
         image.SetSlot(0, 1, MbrSlot{mbr::TypeExtendedLba, static_cast<std::uint32_t>(image.Sectors()), 10});
       },
       0, PartitionStyleMbr, 4, [](std::int64_t) { return std::vector<ShownEntry>{{0, 64 * S, 100 * S}}; },
       Unchecked,
       "An extended partition that starts at the sector count passes the sanity check (start <= sectors) but "
       "its EBR lies outside the disk: nothing is read there."},
      {"mbr-chain-4096-byte-sectors", 4096,
       [](DiskImage& image) {
         WriteChainStart(image);
         image.SetSlot(100, 1, MbrSlot{mbr::TypeExtendedLba, 100, 50});
         image.SetBootSignature(200);
         image.SetSlot(200, 0, MbrSlot{0x07, 2, 20});
       },
       0, PartitionStyleMbr, 12,
       [](std::int64_t) {
         return std::vector<ShownEntry>{{0, 1 * K, 99 * K}, {4, 101 * K, 10 * K}, {8, 202 * K, 20 * K}};
       },
       Unchecked, "On a 4096-byte-sector disk every LBA counts 4096 bytes, the EBRs' included."},
      {"no-boot-signature", 512, [](DiskImage& image) { std::fill(image.Bytes().begin(), image.Bytes().end(), 0xFF); },
       0, PartitionStyleRaw, 0, None, Unchecked,
       "A fixed disk whose sector 0 does not end in 0xAA55 has no table: RAW with no entries."},

      // ------------------------------------------------------------ GPT headers
      {"gpt-entry-count-0", 512,
       [](DiskImage& image) {
         image.WriteGpt(ThreePartitionGpt());
         EditBothHeadersAndArrays(image, [](auto h) { StoreU32(h, gpt::NumberOfPartitionEntries, 0); });
       },
       0, PartitionStyleGpt, 0, None,
       [](std::int64_t sectors) {
         UsableArea area = WrittenUsable(sectors);
         area.maxPartitionCount = 0;
         return std::optional<UsableArea>(area);
       },
       "An empty array (CRC-32 0) passes every check Windows makes: a GPT disk with no partitions and "
       "MaxPartitionCount 0. libblkid (blkid says PTTYPE=PMBR), sfdisk and the kernel refuse a header "
       "without entries."},
      {"gpt-entry-count-4", 512,
       [](DiskImage& image) {
         image.WriteGpt(ThreePartitionGpt());
         EditBothHeadersAndArrays(image, [](auto h) { StoreU32(h, gpt::NumberOfPartitionEntries, 4); });
       },
       0, PartitionStyleGpt, 3, [](std::int64_t) { return ThreePartitionsShown(S); },
       [](std::int64_t sectors) {
         UsableArea area = WrittenUsable(sectors);
         area.maxPartitionCount = 4;
         return std::optional<UsableArea>(area);
       },
       "A 512-byte array of four entries is smaller than the 16 KiB the UEFI specification reserves, but "
       "nothing requires 128 entries: valid, three partitions."},
      {"gpt-entry-count-max", 512,
       [](DiskImage& image) {
         image.WriteGpt(ThreePartitionGpt());
         EditBothHeaders(image, [](auto h) { StoreU32(h, gpt::NumberOfPartitionEntries, 0xFFFFFFFF); });
       },
       ErrorDiskCorrupt, 0, 0, None, Unchecked,
       "0xFFFFFFFF entries would be a 512 GiB array, far past this disk: both headers are invalid, 1393, and "
       "nothing of that size is read or allocated (the kernel refuses arrays over its largest allocation)."},
      {"gpt-array-past-disk", 512,
       [](DiskImage& image) {
         image.WriteGpt(ThreePartitionGpt());
         const std::uint64_t lba = image.LastLba() - 8;  // 32 sectors of entries from here
         EditBothHeaders(image, [lba](auto h) { StoreU64(h, gpt::PartitionEntryLba, lba); });
       },
       ErrorDiskCorrupt, 0, 0, None, Unchecked,
       "An entry array that runs past the last sector fails the array check in both headers: 1393."},
      {"gpt-entry-size-0", 512,
       [](DiskImage& image) {
         image.WriteGpt(ThreePartitionGpt());
         EditBothHeaders(image, [](auto h) { StoreU32(h, gpt::SizeOfPartitionEntry, 0); });
       },
       ErrorDiskCorrupt, 0, 0, None, Unchecked,
       "SizeOfPartitionEntry must be 128 for Windows, the kernel (efi.c) and libblkid alike: 1393 (blkid "
       "says PTTYPE=PMBR)."},
      {"gpt-entry-size-127", 512,
       [](DiskImage& image) {
         image.WriteGpt(ThreePartitionGpt());
         EditBothHeaders(image, [](auto h) { StoreU32(h, gpt::SizeOfPartitionEntry, 127); });
       },
       ErrorDiskCorrupt, 0, 0, None, Unchecked, "An entry size that is not 128 (nor a multiple of 8): 1393."},
      {"gpt-entry-size-256", 512,
       [](DiskImage& image) {
         image.WriteGpt(ThreePartitionGpt());
         EditBothHeaders(image, [](auto h) { StoreU32(h, gpt::SizeOfPartitionEntry, 256); });
       },
       ErrorDiskCorrupt, 0, 0, None, Unchecked,
       "256 is allowed by the UEFI specification but not by Windows or the kernel, which want exactly 128: "
       "1393."},
      {"gpt-my-lba-wrong", 512,
       [](DiskImage& image) {
         image.WriteGpt(ThreePartitionGpt());
         EditBothHeaders(image, [](auto h) { StoreU64(h, gpt::MyLba, 7); });
       },
       ErrorDiskCorrupt, 0, 0, None, Unchecked,
       "Right CRC, wrong MyLBA in both copies: neither header is where it says it is, 1393 (the kernel checks "
       "MyLBA too)."},
      {"gpt-my-lba-wrong-in-primary", 512,
       [](DiskImage& image) {
         image.WriteGpt(ThreePartitionGpt());
         StoreU64(image.Sector(1), gpt::MyLba, image.LastLba());
         image.SealGptHeader(1);
       },
       0, PartitionStyleGpt, 3, [](std::int64_t) { return ThreePartitionsShown(S); },
       [](std::int64_t sectors) { return std::optional<UsableArea>(WrittenUsable(sectors)); },
       "A primary that claims the backup's LBA is invalid; the intact backup at the last LBA stands in."},
      {"gpt-both-arrays-damaged", 512,
       [](DiskImage& image) {
         image.WriteGpt(ThreePartitionGpt());
         for (const std::uint64_t lba : {std::uint64_t{1}, image.LastLba()}) {
           image.Bytes()[static_cast<std::size_t>(image.GptArrayOffset(lba)) + gpt::EntryName] ^= 0x20;
         }
       },
       ErrorDiskCorrupt, 0, 0, None, Unchecked, "Both entry arrays fail their CRC-32: no valid header, 1393."},
      {"gpt-first-usable-after-last", 512,
       [](DiskImage& image) {
         image.WriteGpt(ThreePartitionGpt());
         const std::uint64_t last = image.LastLba();
         EditBothHeaders(image, [last](auto h) {
           StoreU64(h, gpt::FirstUsableLba, last - 40);
           StoreU64(h, gpt::LastUsableLba, 40);
         });
       },
       0, PartitionStyleGpt, 3, [](std::int64_t) { return ThreePartitionsShown(S); },
       [](std::int64_t sectors) {
         const std::int64_t first = sectors - 1 - 40;
         return std::optional<UsableArea>(UsableArea{first * S, (40 - first + 1) * S, 128});
       },
       "Windows does not check the usable range: the header is used and UsableLength is shown as the "
       "arithmetic gives it, negative. The kernel's is_gpt_valid and libblkid refuse such a header (blkid "
       "says PTTYPE=PMBR)."},
      {"gpt-entry-ends-before-start", 512,
       [](DiskImage& image) {
         GptSpec shape = ThreePartitionGpt();
         shape.entries[1].firstLba = 150;
         shape.entries[1].lastLba = 100;
         image.WriteGpt(shape);
       },
       0, PartitionStyleGpt, 3,
       [](std::int64_t) {
         return std::vector<ShownEntry>{{0, 64 * S, 32 * S}, {1, 150 * S, -49 * S}, {2, 128 * S, 64 * S}};
       },
       Unchecked,
       "Entries are copied as stored: PartitionLength = (EndingLBA - StartingLBA + 1) x sector, negative "
       "here. partx shows the size wrapped to 2^64 - 49 sectors, sfdisk shows 0."},
      {"gpt-entry-below-first-usable", 512,
       [](DiskImage& image) {
         GptSpec shape = ThreePartitionGpt();
         shape.entries[0].firstLba = 0;  // over the protective MBR, the header and the array
         shape.entries[0].lastLba = 40;
         image.WriteGpt(shape);
       },
       0, PartitionStyleGpt, 3,
       [](std::int64_t) {
         return std::vector<ShownEntry>{{0, 0, 41 * S}, {1, 96 * S, 32 * S}, {2, 128 * S, 64 * S}};
       },
       Unchecked, "Windows does not check entries against the usable area: shown as stored."},
      {"gpt-entry-lbas-near-2-64", 512,
       [](DiskImage& image) {
         GptSpec shape = ThreePartitionGpt();
         shape.entries[2].firstLba = 0xFFFFFFFFFFFFFF00ULL;
         shape.entries[2].lastLba = 0xFFFFFFFFFFFFFFFFULL;
         image.WriteGpt(shape);
       },
       0, PartitionStyleGpt, 3,
       [](std::int64_t) {
         // 0xFFFFFFFFFFFFFF00 x 512 wraps to -131072 in 64 bits; 256 sectors long.
         return std::vector<ShownEntry>{{0, 64 * S, 32 * S}, {1, 96 * S, 32 * S}, {2, -131072, 256 * S}};
       },
       Unchecked,
       "LBA x sector in 64-bit arithmetic wraps, as the 64-bit offsets of Windows' record do; nothing is read "
       "there. sfdisk lists the entry as stored, partx drops it."},
      {"gpt-disk-smaller-than-claimed", 512,
       [](DiskImage& image) {
         // Written for a disk twice this size, then copied onto this one.
         DiskImage larger(2 * image.Sectors(), 512);
         GptSpec shape = ThreePartitionGpt();
         shape.entries[2].lastLba = larger.LastLba() - 40;
         larger.WriteGpt(shape);
         std::copy_n(larger.Bytes().begin(), image.Bytes().size(), image.Bytes().begin());
       },
       0, PartitionStyleGpt, 3,
       [](std::int64_t sectors) {
         return std::vector<ShownEntry>{{0, 64 * S, 32 * S}, {1, 96 * S, 32 * S}, {2, 128 * S, (2 * sectors - 168) * S}};
       },
       [](std::int64_t sectors) { return std::optional<UsableArea>(WrittenUsable(2 * sectors)); },
       "The primary header and its array lie inside the disk and are intact, so Windows' checks pass and they "
       "are used as they are; the usable area and the last partition run past the disk's end, as the header "
       "says. The kernel and libblkid refuse a LastUsableLBA past the disk (partx lists nothing)."},
      {"gpt-4096-byte-sectors", 4096, [](DiskImage& image) { image.WriteGpt(ThreePartitionGpt()); }, 0,
       PartitionStyleGpt, 3, [](std::int64_t) { return ThreePartitionsShown(K); },
       [](std::int64_t sectors) {
         // 128 entries fill 4 sectors of 4096 bytes.
         return std::optional<UsableArea>(UsableArea{6 * K, (sectors - 6 - 6 + 1) * K, 128});
       },
       "The header is at LBA 1, byte 4096, and every LBA counts 4096 bytes."},
      {"gpt-for-512-on-4096-byte-sectors", 4096,
       [](DiskImage& image) {
         DiskImage small(image.Sectors() * 8, 512);
         small.WriteGpt(ThreePartitionGpt());
         std::copy(small.Bytes().begin(), small.Bytes().end(), image.Bytes().begin());
       },
       ErrorDiskCorrupt, 0, 0, None, Unchecked,
       "A GPT written for 512-byte sectors has its header at byte 512; a 4096-byte-sector device looks at byte "
       "4096 and at its own last LBA and finds none: 1393."},
      {"gpt-protective-entry-not-at-lba-1", 512,
       [](DiskImage& image) {
         image.WriteGpt(ThreePartitionGpt());
         image.SetSlot(0, mbr::TypeGptProtective, 2, static_cast<std::uint32_t>(image.LastLba() - 1));
       },
       0, PartitionStyleGpt, 3, [](std::int64_t) { return ThreePartitionsShown(S); }, Unchecked,
       "Windows takes slot 0 of type 0xEE with slots 1 to 3 empty for a protective MBR wherever it starts, "
       "and so do sfdisk and partx; only the kernel's is_pmbr_valid wants it to start at LBA 1."},
      {"gpt-array-on-the-mbr", 512,
       [](DiskImage& image) {
         image.WriteGpt(ThreePartitionGpt());
         EditBothHeaders(image, [](auto h) {
           StoreU64(h, gpt::PartitionEntryLba, 0);
           StoreU32(h, gpt::NumberOfPartitionEntries, 4);
         });
         image.SealGptArray(1);
         image.SealGptArray(image.LastLba());
       },
       0, PartitionStyleGpt, 0, None, Unchecked,
       "An array at LBA 0 overlaps the protective MBR; it lies inside the disk and its CRC-32 is right, so it "
       "is used. The MBR's bytes hold no type GUID in the four 128-byte entries: no partition."},
      {"gpt-entry-array-4-mib", 512,
       [](DiskImage& image) {
         GptSpec shape = ThreePartitionGpt();
         shape.entryCount = 32768;  // the largest array read: 4 MiB, 8192 sectors
         for (GptPartition& p : shape.entries) {
           p.firstLba += 9000;
           p.lastLba += 9000;
         }
         image.WriteGpt(shape);
       },
       0, PartitionStyleGpt, 3,
       [](std::int64_t) {
         return std::vector<ShownEntry>{{0, 9064 * S, 32 * S}, {1, 9096 * S, 32 * S}, {2, 9128 * S, 64 * S}};
       },
       [](std::int64_t sectors) {
         return std::optional<UsableArea>(UsableArea{8194 * S, (sectors - 8194 - 8194 + 1) * S, 32768});
       },
       "An array of 32768 entries (4 MiB) is the largest accepted, as the kernel accepts arrays up to its "
       "largest allocation; it is read a sector at a time, never allocated whole.",
       17000},
      {"gpt-seventeen-partitions", 512,
       [](DiskImage& image) {
         GptSpec shape = ThreePartitionGpt();
         shape.entries.clear();
         for (std::uint64_t i = 0; i < 17; ++i) {
           GptPartition p;
           p.type = ParseGuid(BasicDataType);
           p.id = ParseGuid("{22222222-2222-4333-8444-555555555500}");
           p.id[15] = static_cast<std::uint8_t>(i);
           p.firstLba = 64 + 8 * i;
           p.lastLba = 71 + 8 * i;
           shape.entries.push_back(p);
         }
         image.WriteGpt(shape);
       },
       ErrorInsufficientBuffer, 0, 0, None, Unchecked,
       "17 partitions do not fit the 16 entries of the record: 122, and Windows also fails a buffer too small "
       "for the layout."},

      // ------------------------------------------------------------ clones and names
      {"gpt-clone-original", 512, [](DiskImage& image) { image.WriteGpt(ThreePartitionGpt()); }, 0,
       PartitionStyleGpt, 3, [](std::int64_t) { return ThreePartitionsShown(S); }, Unchecked,
       "The original of a cloned disk."},
      {"gpt-clone-copy", 512,
       [](DiskImage& image) {
         // The original copied byte for byte onto a larger disk: the same disk
         // GUID and partition GUIDs, the backup header left where it was.
         DiskImage original(image.Sectors() - 8, 512);
         original.WriteGpt(ThreePartitionGpt());
         std::copy(original.Bytes().begin(), original.Bytes().end(), image.Bytes().begin());
       },
       0, PartitionStyleGpt, 3, [](std::int64_t) { return ThreePartitionsShown(S); },
       [](std::int64_t sectors) { return std::optional<UsableArea>(WrittenUsable(sectors - 8)); },
       "A clone reports the same GUIDs as its original; the layout of each disk is its own, and its primary "
       "header is valid even though the backup is no longer at the last LBA."},
      {"gpt-names-with-control-bytes", 512,
       [](DiskImage& image) {
         GptSpec shape = ThreePartitionGpt();
         shape.entries[0].name = u"CR\rLF\nEND";
         shape.entries[1].name = u"x\r\n> PartitionEntry[9]:";
         shape.entries[2].name = u"\x01\x1B[2J\x7F\t";
         image.WriteGpt(shape);
       },
       0, PartitionStyleGpt, 3,
       [](std::int64_t) {
         auto shown = ThreePartitionsShown(S);
         shown[0].name = "CR?LF?END";
         shown[1].name = "x?" "?> PartitionEntry[9]:";  // split: "??>" is a trigraph
         shown[2].name = "??[2J??";
         return shown;
       },
       Unchecked,
       "Names are copied as stored; the report writes every control byte as '?', so a name can neither end a "
       "line nor forge the next one."},
      {"gpt-names-invalid-utf16", 512,
       [](DiskImage& image) {
         GptSpec shape = ThreePartitionGpt();
         // A lone high surrogate, a lone low one, a high one followed by a
         // high one, then a proper pair (U+1F600) and U+FFFF.
         shape.entries[0].name = std::u16string{0xD800, u'a', 0xDC00, 0xDC00, 0xD800, 0xD83D, 0xDE00, 0xFFFF};
         shape.entries[1].name = std::u16string(36, u'\xDBFF');  // 36 units, no NUL, all unpaired
         image.WriteGpt(shape);
       },
       0, PartitionStyleGpt, 3,
       [](std::int64_t) {
         auto shown = ThreePartitionsShown(S);
         shown[0].name = "?a???\xF0\x9F\x98\x80\xEF\xBF\xBF";
         shown[1].name = std::string(36, '?');
         return shown;
       },
       Unchecked,
       "The record keeps the 36 units as stored; an unpaired surrogate becomes '?' when the name is converted "
       "to 8-bit text, as WideCharToMultiByte replaces what it cannot convert."},
  };
}

}  // namespace

std::vector<HostileDisk> HostileDisks() {
  std::vector<HostileDisk> disks;
  std::uint64_t sectors = 1024;
  for (const Case& c : Cases()) {
    // A size of its own for every disk: 8 sectors more than the one before.
    DiskImage image(sectors + c.extraSectors, c.sectorSize);
    c.build(image);
    HostileDisk disk;
    disk.name = c.name;
    disk.sectorSize = c.sectorSize;
    disk.bytes.assign(image.Bytes().begin(), image.Bytes().end());
    disk.code = c.code;
    disk.style = c.style;
    disk.count = c.count;
    disk.shown = c.shown(static_cast<std::int64_t>(sectors + c.extraSectors));
    disk.usable = c.usable(static_cast<std::int64_t>(sectors + c.extraSectors));
    disk.reason = c.reason;
    disks.push_back(std::move(disk));
    sectors += 8;
  }
  return disks;
}

}  // namespace quillbrane::test
