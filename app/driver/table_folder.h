// A folder of tables: every table in it converted with the same switches into
// a target folder, one file per table, and a failing table not stopping the
// others.
#pragma once

#include <string>
#include <vector>

#include "app/driver/export_table.h"
#include "app/settings/run_settings.h"

namespace tabdump {

// The tables of a folder: the files whose names end in ".dat" in any letter
// case, sorted by name without regard to letter case.
std::vector<std::string> TablesInFolder(const std::string& folder);

// The files of a source folder that a run reads, which no target may be:
// every table and BLOB file in it, in any letter case.
std::vector<SourceFile> FilesTheRunReads(const std::string& folder);

// Converts every table of settings.SourceFile (a folder) into
// settings.TargetFile (a folder, made when missing): NAME.txt, or NAME.csv
// with /csv, NAME.jsonl with /json, NAME.sql with /sql=.  A table that fails has its report on standard error, headed by
// its name.  The exit status: 0 when every table converted, 1 otherwise.
int ConvertFolder(const RunSettings& settings);

}  // namespace tabdump
