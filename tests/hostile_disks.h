// A catalogue of hostile disks: partition tables written by a buggy or
// malicious partitioner, each with what the layout query must answer for it
// and why. The same images are decoded in memory by the platform-free
// tests, written to files for the end-to-end survey of loop disks and the
// benchmark, and seeded into the partition-table fuzzer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillbrane::test {

// One entry the report writes for the disk: its index in the layout record
// (the report's PartitionEntry[index]) and its byte range as stored.
struct ShownEntry {
  std::size_t index = 0;
  std::int64_t offset = 0;
  std::int64_t length = 0;
  // For GPT entries whose name matters: the name line's text as the Linux
  // report writes it (UTF-8, control bytes as '?'). Empty: not checked.
  std::string name{};
};

// GPT header values the report shows, in bytes, when a case checks them.
struct UsableArea {
  std::int64_t startingOffset = 0;
  std::int64_t length = 0;
  std::uint32_t maxPartitionCount = 0;
};

struct HostileDisk {
  std::string name;           // a file name: letters, digits and '-'
  std::uint32_t sectorSize = 512;
  std::vector<std::uint8_t> bytes{};  // the whole disk
  // The layout query's answer: 0 and the layout below, or its error code
  // (122: more entries than the record holds, 1393: no valid GPT header).
  std::uint32_t code = 0;
  std::uint32_t style = 0;    // PartitionStyleMbr, Gpt or Raw
  std::uint32_t count = 0;    // PartitionCount
  std::optional<UsableArea> usable{};
  std::vector<ShownEntry> shown{};  // every entry the report writes, in order
  std::string reason;         // why that answer is right
};

// Every disk of the catalogue, built afresh. No two have the same size in
// bytes, so a report's drive block can be matched to its disk by DiskSize.
std::vector<HostileDisk> HostileDisks();

}  // namespace quillbrane::test
