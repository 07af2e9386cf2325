#pragma once

// The report page of one run: a self-contained HTML file beside the run's record, made from the
// record alone, to be looked at in any browser and printed.

#include <string>
#include <string_view>

#include "records/RecordedRun.h"

// "20240501-101112_DR0471A3.html" beside "20240501-101112_DR0471A3.json".
std::string ReportFileName(std::string_view recordFileName);

// The page. recordFile names the record it was made from.
std::string ReportPage(const RecordedRun& run, std::string_view recordFile);
