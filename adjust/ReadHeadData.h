#pragma once

#include <cstdint>

#include "adjust/StepContext.h"
#include "adjust/StepResult.h"

// The first step of a run: the head's stored adjustment data, decoded into the record. A head
// that holds no data ("NG") leaves the record cleared with HeadIdField "--------".
StepResult ReadHeadData(StepContext& context);

enum class HeadDataFetch : std::uint8_t { kFailed = 0, kBlockRead = 1, kNoData = 2 };

// The 2-byte answer after the read command, then the 160-byte block into ReplyBuf, asked for up
// to four times with a bell between the tries.
HeadDataFetch FetchHeadDataBlock(StepContext& context);
