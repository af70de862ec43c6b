// make_table: writes DBISAM tables for demos and benchmarks.
//
//   make_table example <customers.dat>
//       the shipped example table (and its .blb beside it)
//   make_table bench <N> <table.dat> [rows.csv]
//       N generated rows, streamed to the table in constant memory; with a
//       second path, the same rows as CSV (comma-separated, double quotes
//       around values holding a comma or a quote, quotes doubled, CR LF line
//       ends, a first line of field names; null gives an empty value,
//       Booleans 1 or 0, dates YYYY-MM-DD, time stamps YYYY-MM-DD HH:MM:SS,
//       Float and currency with two decimals)
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/table_writer.h"

namespace {

using namespace tabdump::testing;

constexpr std::int64_t kMsPerSecond = 1000;

std::int64_t Clock(int hours, int minutes, int seconds) {
  return ((hours * 60LL + minutes) * 60 + seconds) * kMsPerSecond;
}

// The example table: a small customer list that touches most field types,
// holds a null, a deleted record, and a memo that needs two BLOB blocks.
TableDef ExampleTable() {
  TableDef t;
  t.version = 6;
  t.description = "Example customers";
  t.fields = {
      {"Id", kInteger, kSubAutoInc, 4},
      {"Name", kString, 0, 30},
      {"City", kString, 0, 20},
      {"Amount", kFloat, 0, 8},
      {"Credit", kFloat, kSubCurrency, 8},
      {"Since", kDate, 0, 4},
      {"LastSeen", kTimeStamp, 0, 8},
      {"Active", kBoolean, 0, 2},
      {"Notes", kBlob, kSubMemo, 0},
  };
  const std::string sentence =
      "Founding customer. Orders arrive by post every quarter and are paid on receipt. "
      "Prefers printed invoices; do not send reminders by telephone. ";
  std::string long_note;
  while (long_note.size() < 600) long_note += sentence;  // more than one block's 494 data bytes

  const auto row = [](std::int32_t id, std::string name, std::optional<std::string> city, double amount,
                      double credit, std::int32_t since, double last_seen, bool active,
                      std::optional<std::string> notes, std::uint8_t status = 0) {
    return RecordDef{status,
                      {Value::Int32(id), Value::Str(name), city ? Value::Str(*city) : Value::Null(),
                       Value::Float(amount), Value::Float(credit), Value::Date(since),
                       Value::TimeStamp(last_seen), Value::Bool(active),
                       notes ? Value::Blob(*notes) : Value::Null()}};
  };
  t.records = {
      row(1, "Ada Lovelace", "London", 1250.50, 300.00, DayNumber(1999, 3, 15),
          StampMs(DayNumber(2024, 5, 1), Clock(9, 30, 0)), true, long_note),
      row(2, "Bob O'Hara", "Dublin", -75.25, 0.00, DayNumber(2001, 7, 4),
          StampMs(DayNumber(2024, 5, 2), Clock(14, 5, 30)), false, "Prefers email."),
      row(3, "Chen Wei", std::nullopt, 0.10, 19.99, DayNumber(2010, 11, 30),
          StampMs(DayNumber(2023, 12, 31), Clock(23, 59, 59)), true, std::nullopt),
      row(4, "Dora \"Dee\" Banks, Ltd.", "Lagos", 98765.43, 1000.00, DayNumber(2015, 2, 28),
          StampMs(DayNumber(2024, 1, 15), Clock(8, 0, 0)), true, "Key account;\r\nreview yearly."),
      row(5, "Eve Gone", "Oslo", 10.00, 5.00, DayNumber(2018, 6, 1),
          StampMs(DayNumber(2019, 6, 1), Clock(12, 0, 0)), false, std::nullopt, /*status=*/1),
      row(6, "Frank Ito", "Tokyo", 42.00, 12.34, DayNumber(2020, 2, 29),
          StampMs(DayNumber(2024, 2, 29), Clock(0, 0, 1)), false, std::nullopt),
  };
  return t;
}

// --- benchmark rows ---------------------------------------------------------

// splitmix64: a fixed, portable sequence, so every machine builds the same rows.
class Draws {
 public:
  explicit Draws(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  std::uint64_t Below(std::uint64_t n) { return Next() % n; }

 private:
  std::uint64_t state_;
};

struct BenchRow {
  std::int32_t id = 0;
  std::string name;
  std::optional<std::string> city;
  std::int64_t amount_cents = 0;
  std::int16_t qty = 0;
  std::int64_t price_cents = 0;
  std::optional<std::int32_t> created;  // day number
  std::int32_t stamp_day = 0;
  std::int64_t stamp_ms_of_day = 0;
  bool active = false;
};

std::vector<FieldDef> BenchFields() {
  return {
      {"Id", kInteger, 0, 4},          {"Name", kString, 0, 30},  {"City", kString, 0, 20},
      {"Amount", kFloat, 0, 8},        {"Qty", kShortInt, 0, 2},  {"Price", kFloat, kSubCurrency, 8},
      {"Created", kDate, 0, 4},        {"Stamp", kTimeStamp, 0, 8}, {"Active", kBoolean, 0, 2},
  };
}

BenchRow MakeBenchRow(std::int32_t id, Draws& d) {
  static constexpr std::string_view kFirst[] = {"Ada", "Bob", "Chen", "Dora", "Emil",
                                                "Fatima", "Gus", "Hana", "Ivan", "Jo"};
  static constexpr std::string_view kLast[] = {"Smith", "O'Hara", "Nguyen", "Smith, Jr.", "Lovelace",
                                               "\"Kid\" Curry", "Okafor", "van Dijk", "Berg, \"Ole\"", "Ito"};
  static constexpr std::string_view kCities[] = {"London", "Dublin", "Paris", "New York, NY",
                                                 "Lagos", "Tokyo", "Sao Paulo", "Oslo"};
  static const std::int32_t first_day = DayNumber(2000, 1, 1);
  static const std::int32_t day_span = DayNumber(2025, 1, 1) - first_day;

  BenchRow r;
  r.id = id;
  r.name = std::string(kFirst[d.Below(std::size(kFirst))]) + " " + std::string(kLast[d.Below(std::size(kLast))]);
  if (d.Below(8) != 0) r.city = std::string(kCities[d.Below(std::size(kCities))]);
  r.amount_cents = static_cast<std::int64_t>(d.Below(2'000'001)) - 500'000;
  r.qty = static_cast<std::int16_t>(d.Below(1000));
  r.price_cents = static_cast<std::int64_t>(d.Below(100'000));
  if (d.Below(10) != 0) r.created = first_day + static_cast<std::int32_t>(d.Below(static_cast<std::uint64_t>(day_span)));
  r.stamp_day = first_day + static_cast<std::int32_t>(d.Below(static_cast<std::uint64_t>(day_span)));
  r.stamp_ms_of_day = static_cast<std::int64_t>(d.Below(86'400)) * kMsPerSecond;
  r.active = d.Below(2) == 1;
  return r;
}

RecordDef BenchRecord(const BenchRow& r) {
  return {0,
          {Value::Int32(r.id), Value::Str(r.name), r.city ? Value::Str(*r.city) : Value::Null(),
           Value::Float(static_cast<double>(r.amount_cents) / 100.0), Value::Int16(r.qty),
           Value::Float(static_cast<double>(r.price_cents) / 100.0),
           r.created ? Value::Date(*r.created) : Value::Null(),
           Value::TimeStamp(StampMs(r.stamp_day, r.stamp_ms_of_day)), Value::Bool(r.active)}};
}

// --- CSV text -----------------------------------------------------------------

std::string Quoted(const std::string& s) {
  if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
  std::string out = "\"";
  for (char c : s) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string Cents(std::int64_t cents) {
  const std::int64_t magnitude = cents < 0 ? -cents : cents;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%s%lld.%02lld", cents < 0 ? "-" : "", static_cast<long long>(magnitude / 100),
                static_cast<long long>(magnitude % 100));
  return buf;
}

std::string IsoDate(std::int32_t day_number) {
  using namespace std::chrono;
  const year_month_day ymd{sys_days{year{1} / January / 1} + days{day_number - 1}};
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02u-%02u", static_cast<int>(ymd.year()), static_cast<unsigned>(ymd.month()),
                static_cast<unsigned>(ymd.day()));
  return buf;
}

std::string IsoStamp(std::int32_t day_number, std::int64_t ms_of_day) {
  const long long seconds = ms_of_day / kMsPerSecond;
  char buf[32];
  std::snprintf(buf, sizeof buf, " %02lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60, seconds % 60);
  return IsoDate(day_number) + buf;
}

std::string CsvLine(const BenchRow& r) {
  std::string line = std::to_string(r.id) + "," + Quoted(r.name) + "," + (r.city ? Quoted(*r.city) : "") + "," +
                     Cents(r.amount_cents) + "," + std::to_string(r.qty) + "," + Cents(r.price_cents) + "," +
                     (r.created ? IsoDate(*r.created) : "") + "," + IsoStamp(r.stamp_day, r.stamp_ms_of_day) + "," +
                     (r.active ? "1" : "0");
  return line + "\r\n";
}

void WriteBench(std::int32_t rows, const std::string& dat_path, const std::string* csv_path) {
  TableDef def;
  def.version = 6;
  def.fields = BenchFields();
  def.record_count = rows;
  TableFileWriter table(def, dat_path);
  std::ofstream csv;
  if (csv_path) {
    csv.open(*csv_path, std::ios::binary | std::ios::trunc);
    if (!csv) throw std::runtime_error("cannot create " + *csv_path);
    std::string names;
    for (const FieldDef& f : def.fields) names += (names.empty() ? "" : ",") + f.name;
    csv << names << "\r\n";
  }
  Draws draws(20240501);
  for (std::int32_t id = 1; id <= rows; ++id) {
    const BenchRow r = MakeBenchRow(id, draws);
    table.Add(BenchRecord(r));
    if (csv_path) csv << CsvLine(r);
  }
  table.Close();
  if (csv_path) {
    csv.close();
    if (!csv) throw std::runtime_error("cannot write " + *csv_path);
  }
}

int Usage() {
  std::cerr << "usage: make_table example <customers.dat>\n"
               "       make_table bench <N> <table.dat> [rows.csv]\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  try {
    if (args.size() == 2 && args[0] == "example") {
      WriteTable(ExampleTable(), args[1]);
      return 0;
    }
    if ((args.size() == 3 || args.size() == 4) && args[0] == "bench") {
      std::int32_t rows = 0;
      const std::string& n = args[1];
      const auto [end, err] = std::from_chars(n.data(), n.data() + n.size(), rows);
      if (err != std::errc() || end != n.data() + n.size() || rows < 0) return Usage();
      WriteBench(rows, args[2], args.size() == 4 ? &args[3] : nullptr);
      return 0;
    }
  } catch (const std::exception& e) {
    std::cerr << "make_table: " << e.what() << "\n";
    return 1;
  }
  return Usage();
}
