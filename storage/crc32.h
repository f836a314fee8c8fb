// CRC-32 (IEEE 802.3, reflected polynomial 0xEDB88320), as the GPT header and
// entry-array checksums use it.
#pragma once

#include <cstdint>
#include <span>

namespace quillbrane {

// The CRC-32 of `bytes`; `previous` continues an earlier CRC over bytes
// that came before.
std::uint32_t Crc32(std::span<const std::uint8_t> bytes, std::uint32_t previous = 0);

}  // namespace quillbrane
