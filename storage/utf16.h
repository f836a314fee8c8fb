// UTF-16 to UTF-8, for platforms whose 8-bit code page is UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace quillbrane {

// Converts `text` to UTF-8 into `out`, writing only whole characters that
// fit. An unpaired surrogate becomes '?'. Returns the bytes written.
std::size_t Utf16ToUtf8(std::span<const std::uint16_t> text, std::span<char> out);

}  // namespace quillbrane
