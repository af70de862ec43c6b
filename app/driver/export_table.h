// The export driver: one table converted into one target, a text line (or a
// script's row) per record that the reader accepts and the filter keeps.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/report/run_summary.h"
#include "app/settings/run_settings.h"
#include "runtime/code_page.h"
#include "runtime/file_names.h"

namespace tabdump {

// What the user is told when the source table does not exist.
inline constexpr const char* kTableNotFound = "DBISAM file not found.";

// A file that a run reads, which none of its targets may be.
struct SourceFile {
  FileIdentity identity;
  std::string name;
};

// The code page /codepage= names (empty: none); EConvertError for one that
// does not exist.
std::optional<CodePage> ChosenCodePage(const std::string& name);

// A target that is a file the run reads would be emptied before it is read:
// the table, its BLOB file (in any letter case), or one of `folder_files`.
// EFCreateError says which; standard output is no file.
void RefuseTargetThatIsRead(const std::string& target, const std::string& table,
                            const std::vector<SourceFile>* folder_files);

// Converts SourceFile into TargetFile ("-": standard output).  False, with
// nothing touched, when there is no such source file (kTableNotFound says so);
// failures raise.  With a code page, the filter text and the field list are
// taken as UTF-8 and converted into it.  Whatever can refuse the run before
// the first record (the table's header, the field list, the filter, the
// script's names, a target that is a file the run reads: the table, its
// BLOB file, or one of `folder_files`) refuses it before the target is
// created or emptied.  `totals`, when given, gains the records read and
// written.
bool ExportTable(const RunSettings& settings, FolderTotals* totals = nullptr,
                 const std::vector<SourceFile>* folder_files = nullptr);

}  // namespace tabdump
