#include "runtime/code_page.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>
#include <mutex>
#include <span>

#include "runtime/ascii_case.h"
#include "runtime/code_page_tables.h"

namespace tabdump {

namespace {

namespace tables = code_page_tables;
using tables::kNoCharacter;

enum class Kind { kSingleByte, kDoubleByte, kUtf8 };

// The UTF-8 form of one character of the Basic Multilingual Plane, made ready
// when the program is compiled: converting a byte is copying its four bytes
// and moving on by `length` (0: a lead byte, which is no character alone).
struct Utf8Unit {
  char bytes[3];
  std::uint8_t length;
};
static_assert(sizeof(Utf8Unit) == 4);

constexpr char Byte(unsigned value) { return static_cast<char>(static_cast<unsigned char>(value)); }

constexpr Utf8Unit EncodeBmp(char16_t c) {
  if (c < 0x80) return {{Byte(c), 0, 0}, 1};
  if (c < 0x800) return {{Byte(0xC0 | c >> 6), Byte(0x80 | (c & 0x3F)), 0}, 2};
  return {{Byte(0xE0 | c >> 12), Byte(0x80 | (c >> 6 & 0x3F)), Byte(0x80 | (c & 0x3F))}, 3};
}

constexpr std::array<Utf8Unit, 256> PreEncode(const char16_t (&characters)[256]) {
  std::array<Utf8Unit, 256> units{};
  for (std::size_t b = 0; b < 256; ++b) {
    if (characters[b] != kNoCharacter) units[b] = EncodeBmp(characters[b]);
  }
  return units;
}

// Every page keeps the bytes 0x00-0x7F as ASCII, which lets runs of ASCII be
// copied as they are, both ways.
constexpr bool KeepsAscii(const char16_t (&characters)[256]) {
  for (char16_t b = 0; b < 0x80; ++b) {
    if (characters[b] != b) return false;
  }
  return true;
}
static_assert(KeepsAscii(tables::kCp437) && KeepsAscii(tables::kCp850) && KeepsAscii(tables::kCp852) &&
              KeepsAscii(tables::kCp866) && KeepsAscii(tables::kCp874) && KeepsAscii(tables::kCp1250) &&
              KeepsAscii(tables::kCp1251) && KeepsAscii(tables::kCp1252) && KeepsAscii(tables::kCp1253) &&
              KeepsAscii(tables::kCp1254) && KeepsAscii(tables::kCp1255) && KeepsAscii(tables::kCp1256) &&
              KeepsAscii(tables::kCp1257) && KeepsAscii(tables::kCp1258) && KeepsAscii(tables::kCp932Single) &&
              KeepsAscii(tables::kCp936Single) && KeepsAscii(tables::kCp949Single) &&
              KeepsAscii(tables::kCp950Single));

constexpr char32_t kReplacement = 0xFFFD;
constexpr Utf8Unit kReplacementUnit = EncodeBmp(kReplacement);
constexpr std::uint16_t kNoBytes = 0xFFFF;  // in a reverse table; no page has a pair FF FF

}  // namespace

struct CodePage::Tables {
  int number;
  Kind kind;
  std::array<Utf8Unit, 256> units;   // of each byte (double-byte pages: the single bytes)
  const char16_t* characters;        // the same as characters
  const tables::DoubleByteRow* rows;  // double-byte pages: the pairs, by lead byte
  std::span<const std::uint16_t> aliases;
};

namespace {

constexpr CodePage::Tables Single(int number, const char16_t (&characters)[256],
                                  std::span<const std::uint16_t> aliases) {
  return {number, Kind::kSingleByte, PreEncode(characters), characters, nullptr, aliases};
}
constexpr CodePage::Tables Double(int number, const char16_t (&single)[256], const tables::DoubleByteRow* rows,
                                  std::span<const std::uint16_t> aliases) {
  return {number, Kind::kDoubleByte, PreEncode(single), single, rows, aliases};
}

constexpr CodePage::Tables kPages[] = {
    Single(437, tables::kCp437, tables::kCp437Aliases),
    Single(850, tables::kCp850, tables::kCp850Aliases),
    Single(852, tables::kCp852, tables::kCp852Aliases),
    Single(866, tables::kCp866, tables::kCp866Aliases),
    Single(874, tables::kCp874, tables::kCp874Aliases),
    Single(1250, tables::kCp1250, tables::kCp1250Aliases),
    Single(1251, tables::kCp1251, tables::kCp1251Aliases),
    Single(1252, tables::kCp1252, tables::kCp1252Aliases),
    Single(1253, tables::kCp1253, tables::kCp1253Aliases),
    Single(1254, tables::kCp1254, tables::kCp1254Aliases),
    Single(1255, tables::kCp1255, tables::kCp1255Aliases),
    Single(1256, tables::kCp1256, tables::kCp1256Aliases),
    Single(1257, tables::kCp1257, tables::kCp1257Aliases),
    Single(1258, tables::kCp1258, tables::kCp1258Aliases),
    Double(932, tables::kCp932Single, tables::kCp932Rows, tables::kCp932Aliases),
    Double(936, tables::kCp936Single, tables::kCp936Rows, tables::kCp936Aliases),
    Double(949, tables::kCp949Single, tables::kCp949Rows, tables::kCp949Aliases),
    Double(950, tables::kCp950Single, tables::kCp950Rows, tables::kCp950Aliases),
    {65001, Kind::kUtf8, {}, nullptr, nullptr, {}},
};

// The character of the pair lead, trail, or kNoCharacter.
char16_t PairCharacter(const tables::DoubleByteRow& row, unsigned char trail) {
  if (trail < row.first_trail || trail > row.last_trail) return kNoCharacter;
  return row.characters[trail - row.first_trail];
}

// The bytes of every character of the Basic Multilingual Plane in one page (a
// byte, or lead << 8 | trail), or kNoBytes; made the first time the page
// converts into bytes.
const std::uint16_t* ReverseTable(const CodePage::Tables& page) {
  constexpr std::size_t kCount = std::size(kPages);
  static std::once_flag made[kCount];
  static std::unique_ptr<std::uint16_t[]> reverse[kCount];
  const auto index = static_cast<std::size_t>(&page - kPages);
  std::call_once(made[index], [&page, &table = reverse[index]] {
    table = std::make_unique<std::uint16_t[]>(0x10000);
    std::fill_n(table.get(), 0x10000, kNoBytes);
    const auto add = [&](std::uint16_t bytes, char16_t c) {
      if (c == kNoCharacter || std::binary_search(page.aliases.begin(), page.aliases.end(), bytes)) return;
      if (table[c] == kNoBytes) table[c] = bytes;
    };
    for (unsigned b = 0; b < 256; ++b) add(static_cast<std::uint16_t>(b), page.characters[b]);
    if (page.kind != Kind::kDoubleByte) return;
    for (unsigned lead = 0x80; lead < 256; ++lead) {
      if (page.characters[lead] != kNoCharacter) continue;
      const tables::DoubleByteRow& row = page.rows[lead];
      for (unsigned trail = row.first_trail; trail <= row.last_trail; ++trail) {
        add(static_cast<std::uint16_t>(lead << 8 | trail), PairCharacter(row, static_cast<unsigned char>(trail)));
      }
    }
  });
  return reverse[index].get();
}

// Room for the UTF-8 form of n bytes: no byte or pair gives more than three
// bytes per input byte; the slack lets a conversion store whole words.
constexpr std::size_t kSlack = 8;
char* MakeRoom(std::string& out, std::size_t n) {
  const std::size_t old = out.size();
  out.resize(old + 3 * n + kSlack);
  return out.data() + old;
}

// Copies the run of ASCII bytes that starts at in[i], eight at a time where it
// can; returns where the run ends.
std::size_t CopyAscii(const unsigned char* in, std::size_t i, std::size_t n, char*& to) {
  while (i + 8 <= n) {
    std::uint64_t word;
    std::memcpy(&word, in + i, 8);
    if (word & 0x8080808080808080ULL) break;
    std::memcpy(to, &word, 8);
    to += 8;
    i += 8;
  }
  while (i < n && in[i] < 0x80) *to++ = static_cast<char>(in[i++]);
  return i;
}

void Put(const Utf8Unit& unit, char*& to) {
  std::memcpy(to, &unit, sizeof unit);
  to += unit.length;
}

void PutBmp(char16_t c, char*& to) { Put(EncodeBmp(c), to); }

// The reading of a UTF-8 sequence that starts with the byte in[i] >= 0x80:
// the length comes from the first byte, and the following bytes are taken one
// by one while they can still make a character (the end of the text ends the
// sequence too, so a character after a broken one is never lost).  Returns the
// end of what it took; `valid` says whether that is one whole character.
std::size_t ScanUtf8(const unsigned char* in, std::size_t i, std::size_t n, bool& valid) {
  valid = false;
  const unsigned char first = in[i];
  const unsigned following = first >= 0xC2 && first <= 0xDF ? 1 : first >= 0xE0 && first <= 0xEF ? 2
                             : first >= 0xF0 && first <= 0xF4                                    ? 3
                                                                                                  : 0;
  std::size_t at = i + 1;
  if (following == 0 || at == n) return at;
  static constexpr unsigned kMask[4] = {0x7F, 0x1F, 0x0F, 0x07};
  unsigned value = first & kMask[following];
  unsigned c;
  if (following == 3) {
    if ((c = in[at] ^ 0x80u) >= 0x40) return at;
    value = value << 6 | c;
    ++at;
    if (value < 0x10 || at == n) return at;  // overlong, or cut short
  }
  if (following >= 2) {
    if ((c = in[at] ^ 0x80u) >= 0x40) return at;
    value = value << 6 | c;
    if (value >= (0x110000 >> 6)) return at;  // above U+10FFFF: the byte is not taken
    ++at;
    if (value < 0x20) return at;                                              // overlong
    if (value >= (0xD800 >> 6) && value <= (0xDFFF >> 6)) return at;  // a surrogate
    if (at == n) return at;                                            // cut short
  }
  if ((c = in[at] ^ 0x80u) >= 0x40) return at;
  value = value << 6 | c;
  ++at;
  valid = value >= 0x80;
  return at;
}

// Reads one character of valid UTF-8 at text[i]; returns its length, 0 when
// the text is no valid UTF-8 there.
std::size_t DecodeUtf8(std::string_view text, std::size_t i, char32_t& c) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char first = byte(i);
  std::size_t length;
  char32_t min;
  if (first < 0x80) {
    c = first;
    return 1;
  } else if (first >= 0xC2 && first <= 0xDF) {
    length = 2, min = 0x80, c = first & 0x1Fu;
  } else if (first >= 0xE0 && first <= 0xEF) {
    length = 3, min = 0x800, c = first & 0x0Fu;
  } else if (first >= 0xF0 && first <= 0xF4) {
    length = 4, min = 0x10000, c = first & 0x07u;
  } else {
    return 0;
  }
  if (text.size() - i < length) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    c = c << 6 | (byte(i + k) & 0x3Fu);
  }
  if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

std::optional<CodePage> CodePage::Find(int number) {
  for (const Tables& page : kPages) {
    if (page.number == number) return CodePage(&page);
  }
  return std::nullopt;
}

std::optional<CodePage> CodePage::Find(std::string_view name) {
  if (EqualsIgnoreAsciiCase(name, "utf8") || EqualsIgnoreAsciiCase(name, "utf-8")) return Find(65001);
  for (std::string_view prefix : {"cp", "windows-"}) {
    if (name.size() > prefix.size() && EqualsIgnoreAsciiCase(name.substr(0, prefix.size()), prefix)) {
      name.remove_prefix(prefix.size());
      break;
    }
  }
  if (name.empty() || name.size() > 5) return std::nullopt;
  int number = 0;
  for (char ch : name) {
    if (ch < '0' || ch > '9') return std::nullopt;
    number = number * 10 + (ch - '0');
  }
  return Find(number);
}

int CodePage::number() const { return tables_->number; }

bool CodePage::is_utf8() const { return tables_->kind == Kind::kUtf8; }

std::size_t CodePage::AppendUtf8(std::string_view bytes, std::string& out) const {
  const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  char* to = MakeRoom(out, n);
  std::size_t replaced = 0;
  const Tables& page = *tables_;
  std::size_t i = 0;
  switch (page.kind) {
    case Kind::kSingleByte:
      while (i < n) {
        i = CopyAscii(in, i, n, to);
        while (i < n && in[i] >= 0x80) Put(page.units[in[i++]], to);
      }
      break;
    case Kind::kDoubleByte:
      while (i < n) {
        i = CopyAscii(in, i, n, to);
        if (i == n) break;
        const Utf8Unit& unit = page.units[in[i]];
        if (unit.length != 0) {
          Put(unit, to);
          ++i;
          continue;
        }
        // A lead byte.  Windows does not take a NUL as its trail byte.
        if (i + 1 == n || in[i + 1] == 0) {
          Put(kReplacementUnit, to);
          ++replaced;
          ++i;
          continue;
        }
        const char16_t c = PairCharacter(page.rows[in[i]], in[i + 1]);
        if (c == kNoCharacter) {
          // The lead byte alone is replaced; the byte after it is read anew,
          // so that an ASCII character after a broken pair is kept.
          Put(kReplacementUnit, to);
          ++replaced;
          ++i;
          continue;
        }
        PutBmp(c, to);
        i += 2;
      }
      break;
    case Kind::kUtf8:
      while (i < n) {
        i = CopyAscii(in, i, n, to);
        if (i == n) break;
        bool valid;
        const std::size_t end = ScanUtf8(in, i, n, valid);
        if (valid) {
          std::memcpy(to, in + i, end - i);
          to += end - i;
        } else {
          Put(kReplacementUnit, to);
          ++replaced;
        }
        i = end;
      }
      break;
  }
  out.resize(static_cast<std::size_t>(to - out.data()));
  return replaced;
}

std::optional<UnmappableCharacter> CodePage::AppendEncoded(std::string_view utf8, std::string& out) const {
  const std::uint16_t* reverse = tables_->kind == Kind::kUtf8 ? nullptr : ReverseTable(*tables_);
  std::size_t i = 0;
  while (i < utf8.size()) {
    std::size_t ascii = i;
    while (ascii < utf8.size() && static_cast<unsigned char>(utf8[ascii]) < 0x80) ++ascii;
    out.append(utf8, i, ascii - i);
    i = ascii;
    if (i == utf8.size()) break;
    char32_t c;
    const std::size_t length = DecodeUtf8(utf8, i, c);
    if (length == 0) return UnmappableCharacter{i, kReplacement, true};
    if (reverse == nullptr) {
      out.append(utf8, i, length);
    } else {
      const std::uint16_t bytes = c <= 0xFFFF ? reverse[c] : kNoBytes;
      if (bytes == kNoBytes) return UnmappableCharacter{i, c, false};
      if (bytes > 0xFF) out += static_cast<char>(bytes >> 8);
      out += static_cast<char>(bytes & 0xFF);
    }
    i += length;
  }
  return std::nullopt;
}

}  // namespace tabdump
