// How the table fuzzer packs a table file and its BLOB file into one input:
// four little-endian bytes giving the table file's length, the table file,
// then the BLOB file.  A length beyond the input takes what is there; an
// empty BLOB part means that the table has no BLOB file.  The seed maker
// writes its seeds in this form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tabdump::fuzzing {

struct TableInput {
  std::vector<std::uint8_t> dat;
  std::vector<std::uint8_t> blb;
};

inline TableInput SplitTableInput(const std::uint8_t* data, std::size_t size) {
  TableInput input;
  if (size < 4) {
    input.dat.assign(data, data + size);
    return input;
  }
  const std::uint32_t declared = static_cast<std::uint32_t>(data[0]) | (static_cast<std::uint32_t>(data[1]) << 8) |
                                 (static_cast<std::uint32_t>(data[2]) << 16) |
                                 (static_cast<std::uint32_t>(data[3]) << 24);
  const std::size_t rest = size - 4;
  const std::size_t dat_size = declared < rest ? declared : rest;
  input.dat.assign(data + 4, data + 4 + dat_size);
  input.blb.assign(data + 4 + dat_size, data + size);
  return input;
}

inline std::vector<std::uint8_t> JoinTableInput(const std::vector<std::uint8_t>& dat,
                                                const std::vector<std::uint8_t>& blb) {
  std::vector<std::uint8_t> out;
  const auto n = static_cast<std::uint32_t>(dat.size());
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(n >> (8 * i)));
  out.insert(out.end(), dat.begin(), dat.end());
  out.insert(out.end(), blb.begin(), blb.end());
  return out;
}

}  // namespace tabdump::fuzzing
