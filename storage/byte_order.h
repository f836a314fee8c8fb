// Little-endian loads and stores on byte buffers.
//
// Every platform record and on-disk structure the survey touches is
// little-endian and fixed-layout. These helpers work byte by byte, so they
// are independent of the host's byte order and alignment, and they check the
// bounds first: a load outside the buffer yields 0 and a store outside it
// does nothing, so a wrong offset can never read or write past a buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace quillbrane {

template <typename T>
inline T LoadLittle(std::span<const std::uint8_t> bytes, std::size_t offset) {
  if (offset > bytes.size() || bytes.size() - offset < sizeof(T)) return T{0};
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < sizeof(T); ++i) {
    value |= static_cast<std::uint64_t>(bytes[offset + i]) << (8 * i);
  }
  return static_cast<T>(value);
}

template <typename T>
inline void StoreLittle(std::span<std::uint8_t> bytes, std::size_t offset, T value) {
  if (offset > bytes.size() || bytes.size() - offset < sizeof(T)) return;
  auto bits = static_cast<std::uint64_t>(value);
  for (std::size_t i = 0; i < sizeof(T); ++i) {
    bytes[offset + i] = static_cast<std::uint8_t>(bits >> (8 * i));
  }
}

inline std::uint8_t LoadU8(std::span<const std::uint8_t> b, std::size_t o) { return LoadLittle<std::uint8_t>(b, o); }
inline std::uint16_t LoadU16(std::span<const std::uint8_t> b, std::size_t o) { return LoadLittle<std::uint16_t>(b, o); }
inline std::uint32_t LoadU32(std::span<const std::uint8_t> b, std::size_t o) { return LoadLittle<std::uint32_t>(b, o); }
inline std::uint64_t LoadU64(std::span<const std::uint8_t> b, std::size_t o) { return LoadLittle<std::uint64_t>(b, o); }
inline std::int64_t LoadI64(std::span<const std::uint8_t> b, std::size_t o) { return LoadLittle<std::int64_t>(b, o); }

inline void StoreU8(std::span<std::uint8_t> b, std::size_t o, std::uint8_t v) { StoreLittle(b, o, v); }
inline void StoreU16(std::span<std::uint8_t> b, std::size_t o, std::uint16_t v) { StoreLittle(b, o, v); }
inline void StoreU32(std::span<std::uint8_t> b, std::size_t o, std::uint32_t v) { StoreLittle(b, o, v); }
inline void StoreU64(std::span<std::uint8_t> b, std::size_t o, std::uint64_t v) { StoreLittle(b, o, v); }
inline void StoreI64(std::span<std::uint8_t> b, std::size_t o, std::int64_t v) { StoreLittle(b, o, v); }

// Copies `count` bytes at `offset` into `out`; bytes outside the source read
// as zero.
inline void LoadBytes(std::span<const std::uint8_t> bytes, std::size_t offset,
                      std::span<std::uint8_t> out) {
  for (std::size_t i = 0; i < out.size(); ++i) {
    out[i] = (offset <= bytes.size() && i < bytes.size() - offset) ? bytes[offset + i] : 0;
  }
}

// Copies `in` to `offset`; a store that would run past the buffer does nothing.
inline void StoreBytes(std::span<std::uint8_t> bytes, std::size_t offset,
                       std::span<const std::uint8_t> in) {
  if (offset > bytes.size() || bytes.size() - offset < in.size()) return;
  for (std::size_t i = 0; i < in.size(); ++i) bytes[offset + i] = in[i];
}

}  // namespace quillbrane
