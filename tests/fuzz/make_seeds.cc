// fuzz_seeds SOURCE_DIR OUT_DIR: writes the seed corpora of the fuzz targets
// into OUT_DIR/table, OUT_DIR/filter and OUT_DIR/cmdline.
//
//   table    tables of every layout family made by the test writer, whole
//            and with the usual kinds of damage, in the table fuzzer's
//            input form (fuzz_table_input.h)
//   filter   every string literal of the expression and filter tests
//   cmdline  every string literal of the command-line tests
//
// Nothing here is committed: the corpora are made afresh before each run,
// so they follow the tests as these change.
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_table_input.h"
#include "tests/support/every_kind_table.h"
#include "tests/support/table_writer.h"

namespace {

namespace fs = std::filesystem;
using namespace tabdump::testing;

void WriteSeed(const fs::path& folder, const std::string& name, const std::string& bytes) {
  std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void WriteTableSeed(const fs::path& folder, const std::string& name, const TableDef& def) {
  const TableFiles files = BuildTable(def);
  const std::vector<std::uint8_t> joined = tabdump::fuzzing::JoinTableInput(files.dat, files.blb);
  WriteSeed(folder, name, std::string(joined.begin(), joined.end()));
}

// A small table with a memo of several blocks, in the given layout.
TableDef MemoTable(std::uint8_t version) {
  TableDef t;
  t.version = version;
  t.blob_block_size = 64;  // small blocks: chains of several blocks stay small
  t.fields = {{"Id", kInteger}, {"Name", kString, 0, 8}, {"Notes", kBlob, kSubMemo}, {"Paid", kBoolean}};
  t.records = {
      {0, {Value::Int32(1), Value::Str("Ada"), Value::Blob(std::string(150, 'x')), Value::Bool(true)}},
      {1, {Value::Int32(2), Value::Str("gone"), Value::Null(), Value::Null()}},
      {2, {Value::Int32(3), Value::Str("bad"), Value::Blob("short"), Value::Bool(false)}},
      {0, {Value::Int32(4), Value::Null(), Value::Blob(""), Value::Null()}},
  };
  return t;
}

void WriteTableSeeds(const fs::path& folder) {
  WriteTableSeed(folder, "every-kind", tabdump::fuzzing::EveryKindTable());
  for (int version = 1; version <= 7; ++version) {
    WriteTableSeed(folder, "memo-v" + std::to_string(version), MemoTable(static_cast<std::uint8_t>(version)));
  }
  TableDef looped = MemoTable(6);
  looped.records[0].values[2].blob_shape.loop = true;
  WriteTableSeed(folder, "loop", looped);
  TableDef claims = MemoTable(4);
  claims.records[0].values[2].blob_shape.total_length = 0x7FFFFFFF;
  WriteTableSeed(folder, "claims-2g", claims);
  TableDef past = MemoTable(6);
  past.records[0].values[2].blob_shape.last_next = 1000000;
  WriteTableSeed(folder, "past-end", past);
  TableDef cut = MemoTable(6);
  cut.dat_size = BuildTable(cut).dat.size() - 5;
  WriteTableSeed(folder, "cut", cut);
  TableDef counted = MemoTable(6);
  counted.record_count = 100;
  counted.trailing_bytes = {0, 1, 2};
  WriteTableSeed(folder, "miscounted", counted);
  TableDef encrypted = MemoTable(6);
  encrypted.encrypted = 1;
  WriteTableSeed(folder, "encrypted", encrypted);
}

// The C++ string literals of a source file, escapes decoded.  Comments and
// character literals are skipped; a quote inside a number (5'000) is a digit
// separator.
std::vector<std::string> StringLiterals(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  const std::string source = buffer.str();
  std::vector<std::string> literals;
  auto hex = [](char c) {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
  };
  std::size_t i = 0;
  while (i < source.size()) {
    const char c = source[i];
    if (c == '/' && i + 1 < source.size() && source[i + 1] == '/') {
      i = source.find('\n', i);
      if (i == std::string::npos) break;
    } else if (c == '\'') {
      const bool separator = i > 0 && std::isalnum(static_cast<unsigned char>(source[i - 1]));
      ++i;
      if (!separator) {
        while (i < source.size() && source[i] != '\'') i += source[i] == '\\' ? 2 : 1;
        ++i;
      }
    } else if (c == '"') {
      std::string literal;
      for (++i; i < source.size() && source[i] != '"'; ++i) {
        if (source[i] != '\\' || i + 1 >= source.size()) {
          literal += source[i];
          continue;
        }
        const char e = source[++i];
        switch (e) {
          case 'n': literal += '\n'; break;
          case 'r': literal += '\r'; break;
          case 't': literal += '\t'; break;
          case '0': literal += '\0'; break;
          case 'x': {
            int value = 0;
            while (i + 1 < source.size() && hex(source[i + 1]) >= 0) value = value * 16 + hex(source[++i]);
            literal += static_cast<char>(value);
            break;
          }
          default: literal += e; break;
        }
      }
      ++i;
      literals.push_back(literal);
    } else {
      ++i;
    }
  }
  return literals;
}

void WriteLiteralSeeds(const fs::path& folder, const std::vector<fs::path>& sources) {
  std::set<std::string> seen;
  for (const fs::path& source : sources) {
    for (const std::string& literal : StringLiterals(source)) {
      if (literal.empty() || !seen.insert(literal).second) continue;
      WriteSeed(folder, "literal-" + std::to_string(seen.size()), literal);
    }
  }
}

std::vector<fs::path> TestSources(const fs::path& folder, const std::string& name_part) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name.ends_with("_test.cc") && name.find(name_part) != std::string::npos) files.push_back(entry.path());
  }
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: fuzz_seeds SOURCE_DIR OUT_DIR\n";
    return 2;
  }
  const fs::path source = argv[1];
  const fs::path out = argv[2];
  for (const char* target : {"table", "filter", "cmdline"}) fs::create_directories(out / target);

  WriteTableSeeds(out / "table");
  std::vector<fs::path> filter_sources = TestSources(source / "tests" / "expr", "");
  const std::vector<fs::path> filter_end_to_end = TestSources(source / "tests" / "app", "filter");
  filter_sources.insert(filter_sources.end(), filter_end_to_end.begin(), filter_end_to_end.end());
  WriteLiteralSeeds(out / "filter", filter_sources);
  WriteLiteralSeeds(out / "cmdline", TestSources(source / "tests" / "app", "cmd_line"));
  return 0;
}
