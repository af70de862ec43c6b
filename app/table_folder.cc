#include "app/table_folder.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "app/export_table.h"
#include "app/run_summary.h"
#include "runtime/ascii_case.h"
#include "runtime/console.h"
#include "runtime/exceptions.h"

namespace tabdump {
namespace fs = std::filesystem;

std::vector<std::string> TablesInFolder(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    if (name.size() > 4 && LowerAscii(name.substr(name.size() - 4)) == ".dat" && entry.is_regular_file(error)) {
      names.push_back(name);
    }
  }
  if (error) throw EFOpenError("Cannot read the folder " + folder);
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    const std::string la = LowerAscii(a), lb = LowerAscii(b);
    return la != lb ? la < lb : a < b;
  });
  return names;
}

int ConvertFolder(const RunSettings& settings) {
  if (settings.TargetFile == kStandardOutputName) {
    throw EConvertError("A folder of tables cannot go to standard output: name a target folder.");
  }
  const std::vector<std::string> tables = TablesInFolder(settings.SourceFile);
  std::error_code error;
  fs::create_directories(settings.TargetFile, error);
  if (error || !fs::is_directory(settings.TargetFile)) {
    throw EFCreateError("Cannot create the folder " + settings.TargetFile);
  }
  const std::string extension = settings.Sql ? ".sql" : settings.Csv ? ".csv" : ".txt";
  FolderTotals totals;
  for (const std::string& name : tables) {
    RunSettings one = settings;
    one.SourceFile = (fs::path(settings.SourceFile) / name).string();
    one.TargetFile = (fs::path(settings.TargetFile) / (name.substr(0, name.size() - 4) + extension)).string();
    ++totals.tables;
    TA sink;
    sink.FilterText = one.FilterText;
    try {
      if (!ExportTable(sink, one, &totals)) ++totals.failed;
    } catch (const std::exception& failure) {
      ++totals.failed;
      WriteStderr(name + ":" + std::string(kMessageLineEnd) +
                  FormatExceptionReport(failure, ExtractFileName(ProgramPath())));
    }
  }
  if (settings.Summary || StderrIsTerminal()) WriteStderr(TotalLine(totals) + std::string(kMessageLineEnd));
  return totals.failed == 0 ? 0 : 1;
}

}  // namespace tabdump
