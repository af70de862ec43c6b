// /info: the description of a table and of a folder, as text written out
// here by hand, and as JSON read back by Python's json and compared key by
// key.  The same cases run against TABDUMP.EXE under Wine.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/app/end_to_end_fixture.h"
#include "tests/support/table_writer.h"

namespace tabdump::testing {
namespace {

class Info : public EndToEnd {};

// Three fields, a record of each status, one BLOB value in one block.
TableDef Shop() {
  TableDef t;
  t.description = "Shop";
  t.fields = {{"Id", kInteger}, {"Name", kString, 0, 10}, {"Notes", kBlob, kSubMemo}};
  t.records = {{0, {Value::Int32(1), Value::Str("Ann"), Value::Blob("hello")}},
               {1, {Value::Int32(2), Value::Str("Bob"), Value::Null()}},
               {2, {Value::Int32(3), Value::Str("Cy"), Value::Null()}}};
  return t;
}

// Worked out by hand: the record holds the status byte, then each field's
// presence byte and value (4, 11 and 8 bytes): 27 bytes.  The header counts
// the one normal record.  The BLOB file is its 512-byte header and one block
// of 512 bytes.
TEST_F(Info, TextOfASmallTable) {
  Write(Shop());
  const RunResult r = Run({Arg("t.dat"), "-", "/info"});
  EXPECT_EQ(r.status, 0) << r.errors;
  EXPECT_EQ(r.output,
            "Table            t.dat\n"
            "Layout version   6\n"
            "Record size      27 bytes\n"
            "Header count     1 record\n"
            "Description      Shop\n"
            "Encrypted        no\n"
            "BLOB block size  512 bytes\n"
            "Records in file  1 normal, 1 deleted, 1 damaged\n"
            "Partial record   none\n"
            "BLOB file        t.blb: present, 1,024 bytes; 1 BLOB value, 0 damaged\n"
            "Fields           3\n"
            "\n"
            "#  Name   Type         Size  Bytes  SQLite   PostgreSQL   MySQL\n"
            "1  Id     Integer         0      4  INTEGER  INTEGER      INT\n"
            "2  Name   String         10     11  TEXT     VARCHAR(10)  VARCHAR(10)\n"
            "3  Notes  BLOB (memo)     0      8  TEXT     TEXT         LONGTEXT\n");
  EXPECT_EQ(r.errors, "");
}

// An encrypted table is described from its header; its fields cannot be.
TEST_F(Info, EncryptedTableFromItsHeader) {
  TableDef t = IdName();
  t.encrypted = 1;
  t.description = "Locked";
  Write(t);
  const RunResult r = Run({Arg("t.dat"), Arg("info.txt"), "/info"}, "info.txt");
  EXPECT_EQ(r.status, 0) << r.output << r.errors;
  EXPECT_EQ(r.target,
            "Table            t.dat\n"
            "Layout version   6\n"
            "Record size      18 bytes\n"
            "Header count     1 record\n"
            "Description      Locked\n"
            "Encrypted        yes: its fields and records are encrypted too and are not described\n"
            "BLOB block size  512 bytes\n");
}

// Names and the description in code page 1252: converted, and the columns
// count characters; JSON, which must be UTF-8, refuses them without it.
TEST_F(Info, CodePage) {
  TableDef t;
  t.description = "Caf\xE9s";
  t.fields = {{"Caf\xE9", kInteger}, {"Id", kInteger}};
  Write(t);
  const RunResult converted = Run({Arg("t.dat"), "-", "/info", "/codepage=1252"});
  EXPECT_EQ(converted.status, 0) << converted.errors;
  EXPECT_NE(converted.output.find("Description      Caf\xC3\xA9s\n"), std::string::npos) << converted.output;
  EXPECT_NE(converted.output.find("\n#  Name  Type     Size  Bytes  SQLite   PostgreSQL  MySQL\n"
                                  "1  Caf\xC3\xA9  Integer     0      4  INTEGER  INTEGER     INT\n"
                                  "2  Id    Integer     0      4  INTEGER  INTEGER     INT\n"),
            std::string::npos)
      << converted.output;
  const RunResult stored = Run({Arg("t.dat"), "-", "/info"});
  EXPECT_EQ(stored.status, 0);
  EXPECT_NE(stored.output.find("Description      Caf\xE9s\n"), std::string::npos) << stored.output;
  std::ofstream(Path("info.json")) << "kept";
  const RunResult json = Run({Arg("t.dat"), Arg("info.json"), "/info", "/json"}, "info.json");
  EXPECT_EQ(json.status, 1);
  EXPECT_NE(json.output.find("The table's description is not valid UTF-8; name the table's code page with "
                             "/codepage="),
            std::string::npos)
      << json.output;
  EXPECT_EQ(json.target, "kept");
}

// Nothing read is ever written: the table and its BLOB file are refused as
// targets.
TEST_F(Info, TargetThatIsReadIsRefused) {
  Write(Shop());
  const std::string table = ReadFile(Path("t.dat"));
  for (const char* target : {"t.dat", "t.blb"}) {
    const RunResult r = Run({Arg("t.dat"), Arg(target), "/info"}, target);
    EXPECT_EQ(r.status, 1) << target;
    EXPECT_EQ(r.output.substr(0, ReportHead("EFCreateError").size()), ReportHead("EFCreateError")) << r.output;
  }
  EXPECT_EQ(ReadFile(Path("t.dat")), table);
}

// A folder of tables of every kind of damage and layout, described in one
// JSON document, read back by Python's json and compared key by key.
TEST_F(Info, JsonOfAFolder) {
  std::filesystem::create_directories(Path("db"));
  TableDef every;
  every.fields = {{"Id", kInteger, kSubAutoInc}, {"S", kString, 0, 10},   {"D", kDate},
                  {"M", kBlob, kSubMemo},        {"FM", kBlob, 24},        {"X", kBlob, kSubBinary},
                  {"O", kBoolean},               {"SI", kShortInt},        {"I", kInteger},
                  {"F", kFloat},                 {"C", kFloat, kSubCurrency}, {"B", kBcd, 0, 6},
                  {"R", kBytes, 0, 3},           {"T", kTime},             {"TS", kTimeStamp},
                  {"W", kUShortInt},             {"U", kUInteger, 0, 4},   {"Dbl", kDouble, 0, 8},
                  {"VB", kVarBytes, 0, 5},       {"L", kLargeInt},         {"UL", kULargeInt, 0, 8},
                  {"Odd", 42, 0, 3}};
  std::vector<Value> values(every.fields.size(), Value::Null());
  values[0] = Value::Int32(1);
  values[3] = Value::Blob("memo");
  values[5] = Value::Blob("bin");
  std::vector<Value> damaged = values;
  damaged[0] = Value::Int32(2);
  every.records = {{0, values}, {2, damaged}};
  Write(every, "db/every.dat");

  TableDef cut = IdName();  // records of 1 + 5 + 12 = 18 bytes after 512 + 2 x 768 bytes
  cut.records = {cut.records[0], cut.records[0], cut.records[0]};
  cut.dat_size = 2048 + 2 * 18 + 5;
  Write(cut, "db/cut.dat");

  TableDef noblob;
  noblob.fields = {{"Id", kInteger}, {"M", kBlob, kSubMemo}};
  noblob.records = {{0, {Value::Int32(1), Value::Blob("a")}}, {0, {Value::Int32(2), Value::Blob("b")}}};
  noblob.blob_file = false;
  Write(noblob, "db/noblob.dat");

  TableDef chain;
  chain.fields = {{"M", kBlob, kSubMemo}};
  BlobShape beyond;
  beyond.total_length = 100;  // claims more than its one block holds
  beyond.last_next = 99;      // and goes on beyond the file
  chain.records = {{0, {Value::Blob("whole")}}, {0, {Value::Blob("cut short", beyond)}}};
  Write(chain, "db/chain.dat");

  TableDef secret = IdName();
  secret.encrypted = 1;
  secret.description = "Locked";
  Write(secret, "db/secret.dat");

  TableDef old = IdName();
  old.version = 4;
  old.records.push_back({1, {Value::Int32(8), Value::Str("gone")}});
  Write(old, "db/old.dat");

  std::ofstream(Path("check.py")) << R"(import json, sys
doc = json.load(open(sys.argv[1], encoding='utf-8'), parse_constant=lambda c: sys.exit(c))
expect_failed = sys.argv[2] == 'bad'
names = [t['file'] for t in doc['tables']]
assert names == (['bad.dat'] if expect_failed else []) + ['chain.dat', 'cut.dat', 'every.dat', 'noblob.dat', 'old.dat', 'secret.dat'], names
tables = {t['file']: t for t in doc['tables']}
if expect_failed:
    assert list(tables['bad.dat']) == ['file', 'error'], tables['bad.dat']
    assert tables['bad.dat']['error'].startswith('Invalid table: the file holds 10 bytes'), tables['bad.dat']
keys = ['file', 'version', 'record_size', 'header_record_count', 'description', 'encrypted', 'blob_block_size',
        'records', 'partial_record', 'blob_file', 'fields']
for name in names[1 if expect_failed else 0:]:
    assert list(tables[name]) == keys, (name, list(tables[name]))

e = tables['every.dat']
sql = {'INT': ('INTEGER', 'INTEGER', 'INT'), 'BIN': ('BLOB', 'BYTEA', 'LONGBLOB'), 'FLT': ('REAL', 'DOUBLE PRECISION', 'DOUBLE'),
       'MEMO': ('TEXT', 'TEXT', 'LONGTEXT'), 'TIME': ('TEXT', 'TIME(3)', 'TIME(3)')}
want = [('Id', 'AutoInc', 6, 29, sql['INT']), ('S', 'String', 1, 0, ('TEXT', 'VARCHAR(10)', 'VARCHAR(10)')),
        ('D', 'Date', 2, 0, ('TEXT', 'DATE', 'DATE')), ('M', 'BLOB (memo)', 3, 22, sql['MEMO']),
        ('FM', 'BLOB (formatted memo)', 3, 24, sql['MEMO']), ('X', 'BLOB (binary)', 3, 23, sql['BIN']),
        ('O', 'Boolean', 4, 0, ('INTEGER', 'BOOLEAN', 'BOOLEAN')), ('SI', 'Short Integer', 5, 0, sql['INT']),
        ('I', 'Integer', 6, 0, sql['INT']), ('F', 'Float', 7, 0, sql['FLT']),
        ('C', 'Currency', 7, 21, ('NUMERIC', 'NUMERIC(19,4)', 'DECIMAL(19,4)')),
        ('B', 'BCD', 8, 0, ('NUMERIC', 'NUMERIC', 'DECIMAL(65,30)')), ('R', 'Bytes', 9, 0, sql['BIN']),
        ('T', 'Time', 10, 0, sql['TIME']), ('TS', 'Time Stamp', 11, 0, ('TEXT', 'TIMESTAMP(3)', 'DATETIME(3)')),
        ('W', 'Unsigned Short Integer', 12, 0, sql['INT']), ('U', 'Unsigned Integer', 13, 0, ('INTEGER', 'BIGINT', 'INT UNSIGNED')),
        ('Dbl', 'Double', 14, 0, sql['FLT']), ('VB', 'Var Bytes', 15, 0, sql['BIN']),
        ('L', 'Large Integer', 18, 0, ('INTEGER', 'BIGINT', 'BIGINT')),
        ('UL', 'Unsigned Large Integer', 19, 0, ('TEXT', 'NUMERIC(20)', 'BIGINT UNSIGNED')),
        ('Odd', 'unknown type 42', 42, 0, sql['BIN'])]
assert len(e['fields']) == len(want), len(e['fields'])
for n, (f, (name, type_name, code, sub, types)) in enumerate(zip(e['fields'], want), 1):
    assert (f['number'], f['name'], f['type'], f['type_code'], f['sub_type_code']) == (n, name, type_name, code, sub), f
    assert (f['sql']['sqlite'], f['sql']['postgres'], f['sql']['mysql']) == types, f
    assert list(f) == ['number', 'name', 'type', 'type_code', 'sub_type_code', 'size', 'bytes', 'sql'], f
assert (e['fields'][1]['size'], e['fields'][1]['bytes']) == (10, 11)
assert e['records'] == {'normal': 1, 'deleted': 0, 'damaged': 1}, e['records']
assert e['header_record_count'] == 1 and e['version'] == 6 and e['encrypted'] is False
# Four chains of one block each (the damaged record's two too), after the 512-byte header.
assert e['blob_file'] == {'name': 'every.blb', 'present': True, 'size': 2560, 'values': 2, 'damaged': 0}, e['blob_file']

c = tables['cut.dat']
assert c['record_size'] == 18 and c['header_record_count'] == 3
assert c['records'] == {'normal': 3, 'deleted': 0, 'damaged': 0}, c['records']
assert c['partial_record'] == {'record': 3, 'bytes': 5}, c['partial_record']
assert c['blob_file'] is None and [f['name'] for f in c['fields']] == ['Id', 'Name']

assert tables['noblob.dat']['blob_file'] == {'name': 'noblob.blb', 'present': False, 'size': None, 'values': 2, 'damaged': 0}
assert tables['chain.dat']['blob_file'] == {'name': 'chain.blb', 'present': True, 'size': 1536, 'values': 2, 'damaged': 1}, tables['chain.dat']['blob_file']

s = tables['secret.dat']
assert (s['encrypted'], s['description'], s['record_size'], s['header_record_count']) == (True, 'Locked', 18, 1), s
assert s['records'] is None and s['fields'] is None and s['blob_file'] is None and s['partial_record'] is None, s

o = tables['old.dat']
assert (o['version'], o['header_record_count'], o['record_size']) == (4, 1, 18), o
assert o['records'] == {'normal': 1, 'deleted': 1, 'damaged': 0}, o['records']
assert [(f['name'], f['type'], f['size'], f['bytes']) for f in o['fields']] == [('Id', 'Integer', 0, 4), ('Name', 'String', 10, 11)], o['fields']

assert doc['folder'].endswith('db'), doc['folder']
assert doc['totals'] == {'tables': 7 if expect_failed else 6, 'failed': 1 if expect_failed else 0,
                         'records': {'normal': 9, 'deleted': 1, 'damaged': 1},
                         'blob_values': 6, 'blob_damaged': 1}, doc['totals']
print('ok')
)";
  const RunResult r = Run({Arg("db"), Arg("info.json"), "/info", "/json"}, "info.json");
  EXPECT_EQ(r.status, 0) << r.output << r.errors;
  EXPECT_EQ(r.errors, "");
  const RunResult python = InFolder("python3 check.py info.json good");
  EXPECT_EQ(python.output, "ok\n");

  // A file that is no table: told on standard error, listed with its error,
  // the others described; the exit status says one failed.
  std::ofstream(Path("db/bad.dat"), std::ios::binary) << std::string(10, '\0');
  const RunResult failed = Run({Arg("db"), Arg("info.json"), "/info", "/json"}, "info.json");
  EXPECT_EQ(failed.status, 1);
  EXPECT_EQ(failed.errors.rfind("bad.dat:" + kLineEnd + ReportHead("EZelFileException"), 0), 0u) << failed.errors;
  EXPECT_EQ(InFolder("python3 check.py info.json bad").output, "ok\n");

  // As text, the totals close the description.
  const RunResult text = Run({Arg("db"), "-", "/info"});
  EXPECT_EQ(text.status, 1);
  const std::string totals = "Folder           " + Arg("db") + "\n" +
                             "Tables           7, 1 not described\n"
                             "Records in file  9 normal, 1 deleted, 1 damaged\n"
                             "BLOB values      6, 1 damaged\n";
  ASSERT_GE(text.output.size(), totals.size());
  EXPECT_EQ(text.output.substr(text.output.size() - totals.size()), totals);
  EXPECT_NE(text.output.find("Table            bad.dat\nError            Invalid table:"), std::string::npos);
}

}  // namespace
}  // namespace tabdump::testing
