#include "app/report/run_summary.h"

#include "runtime/console.h"
#include "runtime/convert.h"
#include "runtime/exceptions.h"

namespace tabdump {
namespace {

std::string FirstIn(const TDBISAMOccurrences& occurrences) {
  return "the first in record " + GroupedCount(occurrences.FirstRecord);
}

}  // namespace

std::string SummaryLine(const std::string& table, const TDBISAMLoadReport& report, const RunTally& tally) {
  std::string line = table + ": " + Counted(report.Read(), "record", "records") + " read, " +
                     GroupedCount(tally.written) + " written, " + GroupedCount(report.Deleted) + " deleted and " +
                     GroupedCount(report.Damaged) + " damaged skipped, " + GroupedCount(tally.rejected) +
                     " rejected by the filter";
  if (report.BlobDamaged.Count != 0) line += ", " + Counted(report.BlobDamaged.Count, "BLOB value", "BLOB values") + " damaged";
  if (report.BlobMissing.Count != 0) line += ", " + Counted(report.BlobMissing.Count, "BLOB value", "BLOB values") + " missing";
  if (tally.replaced.Count != 0) {
    line += ", " + Counted(tally.replaced.Count, "character", "characters") + " replaced";
  }
  if (report.PartialRecord != 0) line += ", a final partial record";
  return line;
}

std::string TotalLine(const FolderTotals& totals) {
  return Counted(totals.tables, "table", "tables") + ": " + GroupedCount(totals.tables - totals.failed) +
         " converted, " + GroupedCount(totals.failed) + " failed; " + Counted(totals.read, "record", "records") +
         " read, " + GroupedCount(totals.written) + " written";
}

std::vector<Loss> Losses(const std::string& table, const TDBISAMLoadReport& report, const RunTally& tally) {
  std::vector<Loss> losses;
  if (!tally.unknown_fields.empty()) {
    std::string names;
    for (const std::string& name : tally.unknown_fields) names += (names.empty() ? "\"" : ", \"") + name + "\"";
    losses.push_back({table + ": /fields= names " + names + ", which the table does not have",
                      tally.unknown_fields.size() == 1 ? "it is left out" : "they are left out"});
  }
  if (report.BlobMissing.Count != 0) {
    losses.push_back({table + ": the table has BLOB fields but its BLOB file " +
                          ExtractFileName(TDBISAM::BlobFileName(table)) + " is missing (" +
                          Counted(report.BlobMissing.Count, "value", "values") + ", " +
                          FirstIn(report.BlobMissing) + ")",
                      "memo and BLOB fields are written empty"});
  }
  if (report.BlobDamaged.Count != 0) {
    losses.push_back({table + ": " + Counted(report.BlobDamaged.Count, "BLOB value is", "BLOB values are") +
                          " damaged (" + FirstIn(report.BlobDamaged) +
                          "): the chain of blocks ends early, returns to a block or points beyond the BLOB file",
                      "what could be read is written"});
  }
  if (report.PartialRecord != 0) {
    losses.push_back({table + ": the file ends inside its last record, record " +
                          GroupedCount(report.PartialRecord) + ", of which it holds only " +
                          Counted(report.PartialRecordBytes, "byte", "bytes"),
                      ""});
  }
  if (tally.replaced.Count != 0) {
    losses.push_back({table + ": " +
                          Counted(tally.replaced.Count, "byte sequence is", "byte sequences are") +
                          " not text in code page " + std::to_string(tally.code_page) + " (" +
                          FirstIn(tally.replaced) + ")",
                      "each is written as U+FFFD"});
  }
  if (tally.unwritable_numbers.Count != 0) {
    losses.push_back({table + ": " +
                          Counted(tally.unwritable_numbers.Count, "number is", "numbers are") +
                          " NaN, infinite or no number at all, which JSON cannot hold (" +
                          FirstIn(tally.unwritable_numbers) + ")",
                      "each is written as null"});
  }
  return losses;
}

std::string WarningLines(const std::vector<Loss>& losses) {
  std::string text;
  for (const Loss& loss : losses) {
    text.append("Warning: ").append(loss.what);
    if (!loss.consequence.empty()) text.append("; ").append(loss.consequence);
    text.append(".").append(kMessageLineEnd);
  }
  return text;
}

std::string StrictMessage(const Loss& loss) { return loss.what + "; /strict ends the run."; }

void RefuseLoss(const TDBISAMLoadReport& report, const RunTally& tally, const std::string& table) {
  const std::vector<Loss> losses = Losses(table, report, tally);
  if (!losses.empty()) throw EDataLoss(StrictMessage(losses.front()));
}

}  // namespace tabdump
