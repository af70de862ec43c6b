// /info: a description of a table, or of every table of a folder, instead of
// its records, on the target (standard output for "-").
#pragma once

#include <optional>

#include "app/settings/run_settings.h"

namespace tabdump {

// Describes settings.SourceFile (a table or a folder) into
// settings.TargetFile: as text, or with /json as one JSON document.  The
// exit status: 0 when every table could be described, 1 when one could
// not (a folder's others are still described); nullopt, with nothing
// touched, when there is no such table.  A single table that cannot be
// described raises before the target is touched.
std::optional<int> DescribeTables(const RunSettings& settings);

}  // namespace tabdump
