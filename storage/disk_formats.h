// Byte positions of the on-disk partition-table formats: the MBR and EBR
// sector (the IBM PC partition table) and the GPT header and entry (UEFI
// specification, chapter "GUID Partition Table (GPT) Disk Layout").
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillbrane {

// MBR and EBR: one sector whose first 512 bytes hold the table.
namespace mbr {
inline constexpr std::size_t TableSize = 512;
inline constexpr std::size_t BootCode = 0;          // first byte of the boot code
inline constexpr std::size_t DiskSignature = 440;   // unsigned 32-bit
inline constexpr std::size_t PartitionTable = 446;  // four 16-byte slots
inline constexpr std::size_t SlotSize = 16;
inline constexpr std::size_t SlotCount = 4;
inline constexpr std::size_t BootSignature = 510;   // 0x55 0xAA
inline constexpr std::uint16_t BootSignatureValue = 0xAA55;
// Within a slot.
inline constexpr std::size_t SlotBootIndicator = 0;  // 0x80 = active
inline constexpr std::size_t SlotType = 4;
inline constexpr std::size_t SlotStartLba = 8;       // unsigned 32-bit
inline constexpr std::size_t SlotSectorCount = 12;   // unsigned 32-bit
inline constexpr std::uint8_t BootIndicatorActive = 0x80;
inline constexpr std::uint8_t TypeEmpty = 0x00;
inline constexpr std::uint8_t TypeExtendedChs = 0x05;
inline constexpr std::uint8_t TypeExtendedLba = 0x0F;
inline constexpr std::uint8_t TypeGptProtective = 0xEE;
inline constexpr std::uint8_t TypeFat16Small = 0x04;
// The x86 jumps a boot sector starts with (short and near JMP): a sector
// that starts with one and has an empty table is a FAT boot sector.
inline constexpr std::uint8_t JumpShort = 0xEB;
inline constexpr std::uint8_t JumpNear = 0xE9;

inline constexpr std::size_t SlotOffset(std::size_t slot) { return PartitionTable + slot * SlotSize; }
static_assert(SlotOffset(SlotCount) == BootSignature);
}  // namespace mbr

// GPT header, at LBA 1 (primary) and at the disk's last LBA (backup).
namespace gpt {
inline constexpr std::uint64_t SignatureValue = 0x5452415020494645ULL;  // "EFI PART"
inline constexpr std::uint32_t RevisionValue = 0x00010000;
inline constexpr std::uint32_t HeaderSizeValue = 92;
inline constexpr std::uint32_t EntrySizeValue = 128;

inline constexpr std::size_t Signature = 0;                 // 8 bytes
inline constexpr std::size_t Revision = 8;                  // unsigned 32-bit
inline constexpr std::size_t HeaderSize = 12;               // unsigned 32-bit
inline constexpr std::size_t HeaderCrc32 = 16;              // unsigned 32-bit
inline constexpr std::size_t MyLba = 24;                    // unsigned 64-bit
inline constexpr std::size_t AlternateLba = 32;             // unsigned 64-bit
inline constexpr std::size_t FirstUsableLba = 40;           // unsigned 64-bit
inline constexpr std::size_t LastUsableLba = 48;            // unsigned 64-bit
inline constexpr std::size_t DiskGuid = 56;                 // 16 bytes
inline constexpr std::size_t PartitionEntryLba = 72;        // unsigned 64-bit
inline constexpr std::size_t NumberOfPartitionEntries = 80; // unsigned 32-bit
inline constexpr std::size_t SizeOfPartitionEntry = 84;     // unsigned 32-bit
inline constexpr std::size_t PartitionEntryArrayCrc32 = 88; // unsigned 32-bit

// GPT partition entry.
inline constexpr std::size_t EntryTypeGuid = 0;        // 16 bytes
inline constexpr std::size_t EntryUniqueGuid = 16;     // 16 bytes
inline constexpr std::size_t EntryStartingLba = 32;    // unsigned 64-bit
inline constexpr std::size_t EntryEndingLba = 40;      // unsigned 64-bit
inline constexpr std::size_t EntryAttributes = 48;     // unsigned 64-bit
inline constexpr std::size_t EntryName = 56;           // 36 UTF-16 units
inline constexpr std::size_t EntryNameUnits = 36;
static_assert(EntryName + EntryNameUnits * 2 == EntrySizeValue);
}  // namespace gpt

}  // namespace quillbrane
