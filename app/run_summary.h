// What one conversion did, told to the user on standard error: the run
// summary, and a warning for every kind of value or record that the output
// could carry only in part.  With /strict, such a loss is an error instead.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dbisam/table_reader.h"

namespace tabdump {

// The driver's own counts, beside what the reader reports.
struct RunTally {
  std::int64_t written = 0;   // record lines written
  std::int64_t rejected = 0;  // records the filter did not keep
};

// 1204 as "1,204".
std::string GroupedCount(std::int64_t value);

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

// The losses in the report: the BLOB file missing, damaged BLOB chains, the
// file ending inside a record.
std::vector<Loss> Losses(const std::string& table, const TDBISAMLoadReport& report);

// "Warning: <what>; <consequence>." for each loss, each line ended as
// messages end here.
std::string WarningLines(const std::vector<Loss>& losses);

// The message of the error that /strict makes of a loss.
std::string StrictMessage(const Loss& loss);

}  // namespace tabdump
