// What /info tells of a table, or of a folder of tables: the facts the
// driver gathers (app/driver/table_info), and the two ways of writing them,
// aligned text for people and one JSON document for scripts.  The JSON
// keys are stable; the README lists them.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "dbisam/table_reader.h"

namespace tabdump {

struct FieldDescription {
  std::int32_t number = 0;  // counted from 1
  std::string name;         // converted when there is a code page
  std::string type;         // the full type name: "Integer", "BLOB (memo)", "unknown type 42"
  std::uint8_t type_code = 0;
  std::uint8_t sub_type_code = 0;
  std::uint16_t size = 0;   // the size the descriptor declares (characters of a String, digits of a BCD)
  std::uint16_t bytes = 0;  // the bytes its value takes in a record
  std::string sqlite, postgres, mysql;  // the column type /sql= gives it
};

// The BLOB file of a table that has BLOB fields.
struct BlobFileDescription {
  std::string name;
  bool present = false;
  std::int64_t size = 0;     // bytes, when present
  std::int64_t values = 0;   // BLOB values in the table's normal records
  std::int64_t damaged = 0;  // of them, those whose chain is damaged (as the warnings count them)
};

struct TableDescription {
  std::string file;
  // A table that could not be described: why.  Nothing below is then set.
  std::string error;
  int version = 0;
  std::int64_t record_size = 0;
  std::int64_t header_record_count = 0;
  std::string description;  // converted when there is a code page
  bool encrypted = false;
  std::int64_t blob_block_size = 0;
  // The rest is known when the table is not encrypted: its field
  // descriptors and records are encrypted too.
  std::int64_t normal = 0, deleted = 0, damaged = 0;  // records in the file, by status
  std::int64_t partial_record = 0;        // the record the file ends inside; 0 when none
  std::int64_t partial_record_bytes = 0;  // the bytes of it the file holds
  std::vector<FieldDescription> fields;
  bool has_blob_fields = false;
  BlobFileDescription blob_file;
};

// A folder: its tables in order (the totals are summed when written).
struct FolderDescription {
  std::string folder;
  std::vector<TableDescription> tables;
};

// A field's full type name and its column types in each SQL dialect;
// `long_strings`: the table's Strings are LONGTEXT in MySQL.
FieldDescription DescribeField(const TDBISAMFieldInfo& field, std::int32_t number, std::string name,
                               bool long_strings);
// Whether MySQL gives the Strings of a table of these fields LONGTEXT.
bool MysqlLongStrings(std::span<const TDBISAMFieldInfo> fields);

// For people: a line for each fact, the labels in one column, then a table
// of the fields.  `characters`: names are UTF-8, so columns count characters
// rather than bytes.  Lines end with LF.
std::string DescriptionText(const TableDescription& table, bool characters);
std::string DescriptionText(const FolderDescription& folder, bool characters);

// One JSON document (texts must be UTF-8), ended by LF.
std::string DescriptionJson(const TableDescription& table);
std::string DescriptionJson(const FolderDescription& folder);

}  // namespace tabdump
