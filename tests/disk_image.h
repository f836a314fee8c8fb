// Disk images in memory for the partition-table tests: MBR and EBR slots, a
// whole GPT (protective MBR, primary and backup headers, entry arrays), and
// disk sources that count reads, fail on purpose or stand for a disk far
// larger than the bytes the test holds. Everything is written through the
// named on-disk offsets, and nothing is checked on the way in, so a test can
// build a hostile disk as easily as a correct one.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "record_builders.h"
#include "storage/disk_source.h"

namespace quillbrane::test {

struct MbrSlot {
  std::uint8_t type = 0;
  std::uint32_t start = 0;  // LBA, relative as the table's kind says
  std::uint32_t count = 0;  // sectors
  bool active = false;
};

struct GptPartition {
  Guid type{};  // all zero: an unused slot of the array
  Guid id{};
  std::uint64_t firstLba = 0;
  std::uint64_t lastLba = 0;
  std::uint64_t attributes = 0;
  std::u16string name{};  // at most 36 units are stored
};

struct GptSpec {
  Guid diskGuid{};
  std::uint32_t entryCount = 128;      // NumberOfPartitionEntries
  std::vector<GptPartition> entries{};  // array slots 0, 1, 2...
};

class DiskImage {
 public:
  DiskImage(std::uint64_t sectors, std::uint32_t sectorSize);

  std::span<std::uint8_t> Bytes() { return bytes_; }
  std::span<std::uint8_t> Sector(std::uint64_t lba);
  std::uint64_t Sectors() const { return bytes_.size() / sectorSize_; }
  std::uint64_t LastLba() const { return Sectors() - 1; }
  DiskFacts Facts(bool removable = false) const;

  // MBR or EBR at `lba` (0 for the MBR).
  void SetBootSignature(std::uint64_t lba = 0);
  void SetDiskSignature(std::uint32_t signature);
  void SetSlot(std::uint64_t lba, std::size_t slot, const MbrSlot& value);
  void SetSlot(std::size_t slot, std::uint8_t type, std::uint32_t start, std::uint32_t count) {
    SetSlot(0, slot, MbrSlot{type, start, count, false});
  }

  // A complete, valid GPT: a protective MBR, the primary header at LBA 1
  // with its array at LBA 2, the backup header at the last LBA with its
  // array just before it, usable area between the two arrays.
  void WriteGpt(const GptSpec& shape);
  // A bare GPT header at `lba` (signature, revision, size, MyLBA, disk GUID,
  // CRC); the older fixtures use it alone.
  void WriteGptHeader(std::uint64_t lba, const Guid& diskGuid);
  // Recomputes the header CRC-32 of the header at `lba` after a test edited
  // it, so that only the edit is wrong.
  void SealGptHeader(std::uint64_t lba);
  // Recomputes the entry-array CRC-32 of the header at `lba`, then its
  // header CRC-32.
  void SealGptArray(std::uint64_t lba);
  // The byte offset of the entry array of the header at `lba`.
  std::uint64_t GptArrayOffset(std::uint64_t lba);

 private:
  std::uint32_t sectorSize_;
  std::vector<std::uint8_t> bytes_;
};

// Forwards to another source and counts what was read; fails every read
// that touches [failFrom, failTo) with `failCode`, and every read once
// `budget` bytes (when not 0) have been read, so a decoder that reads far
// more than it should fails at once instead of running for hours. With
// `size` set, counts the reads asked for outside the first `size` bytes:
// a decoder must not ask for bytes past the device's end, whatever the
// source then answers.
class ProbeDisk final : public DiskSource {
 public:
  explicit ProbeDisk(DiskSource& inner, std::uint64_t sizeBytes = 0) : size(sizeBytes), inner_(inner) {}
  std::uint32_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override;

  std::uint64_t size = 0;
  std::uint64_t readsOutside = 0;

  std::uint64_t failFrom = 0;
  std::uint64_t failTo = 0;
  std::uint32_t failCode = 0;
  std::uint64_t budget = 0;
  std::uint64_t reads = 0;
  std::uint64_t bytesRead = 0;

 private:
  DiskSource& inner_;
};

// A disk of `sizeBytes` whose first bytes are `head` and whose remaining
// bytes read as zero: a terabyte disk for the cost of its first sectors.
class SparseDisk final : public DiskSource {
 public:
  SparseDisk(std::span<const std::uint8_t> head, std::uint64_t sizeBytes) : head_(head), size_(sizeBytes) {}
  std::uint32_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> out) override;

 private:
  std::span<const std::uint8_t> head_;
  std::uint64_t size_;
};

}  // namespace quillbrane::test
