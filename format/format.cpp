// Number and GUID rendering for the report.
#include "format/format.h"

#include <cstddef>

namespace quillbrane {
namespace {

constexpr char HexDigits[] = "0123456789ABCDEF";

std::string UnsignedDecimal(std::uint64_t value) {
  char digits[20];
  std::size_t n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  std::string text;
  text.reserve(n);
  while (n > 0) text.push_back(digits[--n]);
  return text;
}

std::uint64_t Magnitude(std::int64_t value) {
  // Negating in unsigned arithmetic keeps INT64_MIN well defined.
  return value < 0 ? ~static_cast<std::uint64_t>(value) + 1 : static_cast<std::uint64_t>(value);
}

}  // namespace

std::string FormatDecimal(std::int64_t value) {
  std::string digits = UnsignedDecimal(Magnitude(value));
  return value < 0 ? "-" + digits : digits;
}

std::string FormatGrouped(std::int64_t value, char separator) {
  const std::string digits = UnsignedDecimal(Magnitude(value));
  std::string text;
  text.reserve(digits.size() + digits.size() / 3 + 1);
  if (value < 0) text.push_back('-');
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i != 0 && (digits.size() - i) % 3 == 0) text.push_back(separator);
    text.push_back(digits[i]);
  }
  return text;
}

std::string FormatHex(std::uint64_t value, int digits) {
  char reversed[16];
  int n = 0;
  do {
    reversed[n++] = HexDigits[value & 0xF];
    value >>= 4;
  } while (value != 0);
  std::string text;
  if (digits > n) text.assign(static_cast<std::size_t>(digits - n), '0');
  while (n > 0) text.push_back(reversed[--n]);
  return text;
}

std::string FormatGuid(std::span<const std::uint8_t, 16> guid) {
  // Data1 (4 bytes), Data2 and Data3 (2 bytes each) are little-endian
  // numbers: their stored bytes print in reverse. Data4 prints as stored.
  static constexpr int Order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  std::string text;
  text.reserve(38);
  text.push_back('{');
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) text.push_back('-');
    const std::uint8_t byte = guid[static_cast<std::size_t>(Order[i])];
    text.push_back(HexDigits[byte >> 4]);
    text.push_back(HexDigits[byte & 0xF]);
  }
  text.push_back('}');
  return text;
}

}  // namespace quillbrane
