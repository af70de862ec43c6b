// Little-endian integers and doubles, decoded byte by byte so that the
// result does not depend on the machine's byte order or alignment.  Callers
// check that the bytes are present before decoding.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace tabdump {

inline std::uint16_t DecodeFixed16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t DecodeFixed32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline std::uint64_t DecodeFixed64(const std::uint8_t* p) {
  return static_cast<std::uint64_t>(DecodeFixed32(p)) |
         (static_cast<std::uint64_t>(DecodeFixed32(p + 4)) << 32);
}

inline std::int32_t DecodeSigned32(const std::uint8_t* p) {
  return static_cast<std::int32_t>(DecodeFixed32(p));
}

inline double DecodeDouble(const std::uint8_t* p) { return std::bit_cast<double>(DecodeFixed64(p)); }

inline void EncodeFixed16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

inline void EncodeFixed32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// The first `width` (at most 8) bytes as an unsigned little-endian number;
// missing upper bytes count as zero.
inline std::uint64_t DecodeZeroExtended(const std::uint8_t* p, std::size_t width) {
  // The usual widths in one load each.
  if (width >= 8) return DecodeFixed64(p);
  if (width == 4) return DecodeFixed32(p);
  if (width == 2) return DecodeFixed16(p);
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < width && i < 8; ++i) v |= static_cast<std::uint64_t>(p[i]) << (8 * i);
  return v;
}

}  // namespace tabdump
