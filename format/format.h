// Rendering of the report's numbers and identifiers: grouped decimals,
// uppercase hexadecimal and GUID text. Pure functions, independent of the
// user's locale.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace quillbrane {

// The only digit-group separator the report uses.
inline constexpr char GroupSeparator = '\'';

// Decimal text of `value` with `separator` between groups of three digits
// counted from the right: 1234567 -> 1'234'567. A negative value keeps its
// sign in front of the grouped digits.
std::string FormatGrouped(std::int64_t value, char separator);

// Uppercase hexadecimal of `value`, left-padded with '0' to at least `digits`
// digits, never truncated, without prefix.
std::string FormatHex(std::uint64_t value, int digits);

// The 38-character registry form of a GUID stored in its 16-byte binary
// layout: Data1, Data2 and Data3 little-endian, Data4 in stored order.
std::string FormatGuid(std::span<const std::uint8_t, 16> guid);

// Plain decimal without grouping.
std::string FormatDecimal(std::int64_t value);

}  // namespace quillbrane
