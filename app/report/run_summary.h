// What one conversion did, told to the user on standard error: the run
// summary, and a warning for every kind of value or record that the output
// could carry only in part.  With /strict, such a loss is an error instead.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dbisam/table_reader.h"
#include "runtime/convert.h"

namespace tabdump {

// Something the driver met more than once: how often, and the first record
// (counted from 1 in the table file) it met it in.
using LossCount = TDBISAMOccurrences;

// The driver's own counts, beside what the reader reports.
struct RunTally {
  std::int64_t written = 0;   // record lines written
  std::int64_t rejected = 0;  // records the filter did not keep
  LossCount replaced;         // bytes the code page could not read, replaced by U+FFFD
  int code_page = 0;
  LossCount unwritable_numbers;  // NaN and infinities (and damaged packed decimals) written as JSON's null
  std::vector<std::string> unknown_fields;  // names in /fields= that the table does not have

  // Joins the counts of a chunk of later records of the same table.
  void Add(const RunTally& chunk) {
    written += chunk.written;
    rejected += chunk.rejected;
    replaced.Add(chunk.replaced.FirstRecord, chunk.replaced.Count);
    unwritable_numbers.Add(chunk.unwritable_numbers.FirstRecord, chunk.unwritable_numbers.Count);
  }
};

// The sums of a folder of tables, for its last summary line.
struct FolderTotals {
  std::int64_t tables = 0;
  std::int64_t failed = 0;
  std::int64_t read = 0;
  std::int64_t written = 0;
};

// "3 tables: 2 converted, 1 failed; 1,204 records read, 1,180 written".
std::string TotalLine(const FolderTotals& totals);


// "customers.dat: 1,204 records read, 1,180 written, 20 deleted and 4
// damaged skipped, 0 rejected by the filter", and after it the losses that
// happened: BLOB values damaged or missing, a final partial record.
std::string SummaryLine(const std::string& table, const TDBISAMLoadReport& report, const RunTally& tally);

// One kind of loss: what happened, naming the table, how often and the first
// record; and what the output does about it (empty when nothing).
struct Loss {
  std::string what;
  std::string consequence;
};

// The losses of a run: names in /fields= that the table does not have, the
// BLOB file missing, damaged BLOB chains, the file
// ending inside a record, bytes the code page could not read, numbers the
// output form cannot hold.
std::vector<Loss> Losses(const std::string& table, const TDBISAMLoadReport& report, const RunTally& tally);

// "Warning: <what>; <consequence>." for each loss, each line ended as
// messages end here.
std::string WarningLines(const std::vector<Loss>& losses);

// The message of the error that /strict makes of a loss.
std::string StrictMessage(const Loss& loss);

// Under /strict: the first loss so far ends the run (EDataLoss).
void RefuseLoss(const TDBISAMLoadReport& report, const RunTally& tally, const std::string& table);

}  // namespace tabdump
