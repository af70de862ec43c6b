#include "app/driver/table_folder.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>
#include <unordered_map>

#include "app/driver/export_table.h"
#include "app/report/run_summary.h"
#include "runtime/ascii_case.h"
#include "runtime/console.h"
#include "runtime/exceptions.h"
#include "runtime/file_names.h"

namespace tabdump {
namespace fs = std::filesystem;

std::vector<std::string> TablesInFolder(const std::string& folder) {
  std::vector<std::string> names;
  const std::optional<std::vector<std::string>> files = FilesInFolder(folder);
  if (!files) throw EFOpenError("Cannot read the folder " + folder);
  for (const std::string& name : *files) {
    if (name.size() > 4 && LowerAscii(name.substr(name.size() - 4)) == ".dat") names.push_back(name);
  }
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    const std::string la = LowerAscii(a), lb = LowerAscii(b);
    return la != lb ? la < lb : a < b;
  });
  return names;
}

std::vector<SourceFile> FilesTheRunReads(const std::string& folder) {
  std::vector<SourceFile> files;
  for (const std::string& name : FilesInFolder(folder).value_or(std::vector<std::string>())) {
    const std::string extension = name.size() > 4 ? LowerAscii(name.substr(name.size() - 4)) : std::string();
    if (extension != ".dat" && extension != ".blb") continue;
    const std::string path = PathInFolder(folder, name);
    if (const std::optional<FileIdentity> identity = IdentityOf(path)) files.push_back({*identity, path});
  }
  return files;
}

namespace {

// The target file of each table, and the tables whose targets would be one
// file where letter case is ignored (a.dat and a.DAT, or A.dat and a.dat on
// a USB stick or a Windows share): those are refused by name, all of them,
// for converting one would destroy the other.
struct TargetPlan {
  std::vector<std::string> targets;   // one per table, in the same order
  std::vector<std::string> refusals;  // one per table: empty, or why it is refused
};

TargetPlan PlanTargets(const std::vector<std::string>& tables, const std::string& extension) {
  TargetPlan plan;
  std::unordered_map<std::string, std::vector<std::size_t>> by_folded_name;
  for (std::size_t i = 0; i < tables.size(); ++i) {
    plan.targets.push_back(tables[i].substr(0, tables[i].size() - 4) + extension);
    by_folded_name[FoldedName(plan.targets.back())].push_back(i);
  }
  plan.refusals.resize(tables.size());
  for (const auto& [folded, same] : by_folded_name) {
    if (same.size() < 2) continue;
    std::string names;
    for (const std::size_t i : same) names += (names.empty() ? "" : " and ") + tables[i];
    for (const std::size_t i : same) {
      plan.refusals[i] = "The tables " + names + " would be written to the same file " + plan.targets[i] +
                         " where letter case is ignored; neither is converted: rename one of them.";
    }
  }
  return plan;
}

void ReportTableFailure(const std::string& table, const std::string& report) {
  WriteStderr(table + ":" + std::string(kMessageLineEnd) + report);
}

}  // namespace

int ConvertFolder(const RunSettings& settings) {
  if (settings.TargetFile == kStandardOutputName) {
    throw EConvertError("A folder of tables cannot go to standard output: name a target folder.");
  }
  const std::vector<std::string> tables = TablesInFolder(settings.SourceFile);
  if (tables.empty()) throw EFOpenError("No tables (.dat files) in folder " + settings.SourceFile + ".");
  const std::string extension = settings.Sql    ? ".sql"
                                : settings.Json ? ".jsonl"
                                : settings.Csv  ? ".csv"
                                                : ".txt";
  const TargetPlan plan = PlanTargets(tables, extension);
  const std::vector<SourceFile> read_files = FilesTheRunReads(settings.SourceFile);
  const bool any_to_convert = std::any_of(plan.refusals.begin(), plan.refusals.end(),
                                          [](const std::string& refusal) { return refusal.empty(); });
  if (any_to_convert) {
    std::error_code error;
    fs::create_directories(SystemPath(settings.TargetFile), error);
    if (error || !fs::is_directory(SystemPath(settings.TargetFile), error)) {
      throw EFCreateError("Cannot create the folder " + settings.TargetFile);
    }
  }
  const std::string program = ExtractFileName(ProgramPath());
  FolderTotals totals;
  for (std::size_t i = 0; i < tables.size(); ++i) {
    const std::string& name = tables[i];
    ++totals.tables;
    if (!plan.refusals[i].empty()) {
      ++totals.failed;
      ReportTableFailure(name, FormatExceptionReport(EFCreateError(plan.refusals[i]), program));
      continue;
    }
    RunSettings one = settings;
    one.SourceFile = PathInFolder(settings.SourceFile, name);
    one.TargetFile = PathInFolder(settings.TargetFile, plan.targets[i]);
      try {
      if (!ExportTable(one, &totals, &read_files)) {
        ++totals.failed;
        ReportTableFailure(name, std::string(kTableNotFound).append(kMessageLineEnd));
      }
    } catch (const std::exception& failure) {
      ++totals.failed;
      ReportTableFailure(name, FormatExceptionReport(failure, program));
    }
  }
  if (settings.Summary || StderrIsTerminal()) WriteStderr(TotalLine(totals) + std::string(kMessageLineEnd));
  return totals.failed == 0 ? 0 : 1;
}

}  // namespace tabdump
