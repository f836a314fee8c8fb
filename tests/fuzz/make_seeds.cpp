// Writes a few small disks into a directory as seeds for the
// partition-table fuzzer: a GPT disk, an MBR disk with a chain of logical
// partitions, and a disk with no table. Each file starts with the control
// byte the fuzzer reads (0: 512-byte sectors, fixed disk).
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "storage/byte_order.h"
#include "storage/crc32.h"
#include "storage/disk_formats.h"

namespace {

using namespace quillbrane;
constexpr std::size_t Sector = 512;

void SetSlot(std::span<std::uint8_t> table, std::size_t slot, std::uint8_t type, std::uint32_t start,
             std::uint32_t count) {
  StoreU8(table, mbr::SlotOffset(slot) + mbr::SlotType, type);
  StoreU32(table, mbr::SlotOffset(slot) + mbr::SlotStartLba, start);
  StoreU32(table, mbr::SlotOffset(slot) + mbr::SlotSectorCount, count);
}

std::vector<std::uint8_t> GptDisk() {
  const std::size_t sectors = 128;
  std::vector<std::uint8_t> disk(sectors * Sector);
  std::span<std::uint8_t> bytes(disk);
  StoreU16(bytes, mbr::BootSignature, mbr::BootSignatureValue);
  SetSlot(bytes, 0, mbr::TypeGptProtective, 1, sectors - 1);
  const std::size_t entries = 16;  // a short array keeps the seed small
  auto array = bytes.subspan(2 * Sector, entries * gpt::EntrySizeValue);
  for (std::size_t i = 0; i < 3; ++i) {
    auto e = array.subspan(i * gpt::EntrySizeValue, gpt::EntrySizeValue);
    StoreU32(e, gpt::EntryTypeGuid, 0xEBD0A0A2);
    StoreU32(e, gpt::EntryUniqueGuid, 0x1000 + static_cast<std::uint32_t>(i));
    StoreU64(e, gpt::EntryStartingLba, 8 + i * 16);
    StoreU64(e, gpt::EntryEndingLba, 8 + i * 16 + 15);
    StoreU16(e, gpt::EntryName, 'p');
  }
  auto writeHeader = [&](std::uint64_t myLba, std::uint64_t alternate, std::uint64_t entryLba) {
    auto h = bytes.subspan(myLba * Sector, Sector);
    StoreU64(h, gpt::Signature, gpt::SignatureValue);
    StoreU32(h, gpt::Revision, gpt::RevisionValue);
    StoreU32(h, gpt::HeaderSize, gpt::HeaderSizeValue);
    StoreU64(h, gpt::MyLba, myLba);
    StoreU64(h, gpt::AlternateLba, alternate);
    StoreU64(h, gpt::FirstUsableLba, 8);
    StoreU64(h, gpt::LastUsableLba, sectors - 8);
    StoreU32(h, gpt::DiskGuid, 0xDD27F98D);
    StoreU64(h, gpt::PartitionEntryLba, entryLba);
    StoreU32(h, gpt::NumberOfPartitionEntries, entries);
    StoreU32(h, gpt::SizeOfPartitionEntry, gpt::EntrySizeValue);
    StoreU32(h, gpt::PartitionEntryArrayCrc32, Crc32(array));
    StoreU32(h, gpt::HeaderCrc32, Crc32(h.first(gpt::HeaderSizeValue)));
  };
  writeHeader(1, sectors - 1, 2);
  StoreBytes(bytes, (sectors - 6) * Sector, array);
  writeHeader(sectors - 1, 1, sectors - 6);
  return disk;
}

std::vector<std::uint8_t> MbrDiskWithLogicals() {
  const std::size_t sectors = 256;
  std::vector<std::uint8_t> disk(sectors * Sector);
  std::span<std::uint8_t> bytes(disk);
  StoreU16(bytes, mbr::BootSignature, mbr::BootSignatureValue);
  StoreU32(bytes, mbr::DiskSignature, 0x8F8378C0);
  SetSlot(bytes, 0, 0x83, 8, 56);
  SetSlot(bytes, 1, mbr::TypeExtendedLba, 64, 192);
  // EBRs at 64, 128 and 192: each a logical and a link to the next.
  for (std::uint32_t k = 0; k < 3; ++k) {
    auto ebr = bytes.subspan((64 + 64 * k) * Sector, Sector);
    StoreU16(ebr, mbr::BootSignature, mbr::BootSignatureValue);
    SetSlot(ebr, 0, 0x07, 8, 48);
    if (k < 2) SetSlot(ebr, 1, mbr::TypeExtendedChs, 64 * (k + 1), 64);
  }
  return disk;
}

void WriteSeed(const std::string& dir, const std::string& name, const std::vector<std::uint8_t>& disk) {
  const std::string path = dir + "/" + name;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return;
  const std::uint8_t control = 0;
  std::fwrite(&control, 1, 1, file);
  std::fwrite(disk.data(), 1, disk.size(), file);
  std::fclose(file);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
    return 2;
  }
  WriteSeed(argv[1], "seed-gpt", GptDisk());
  WriteSeed(argv[1], "seed-mbr-logicals", MbrDiskWithLogicals());
  WriteSeed(argv[1], "seed-blank", std::vector<std::uint8_t>(4 * Sector));
  return 0;
}
