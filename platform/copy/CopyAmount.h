// The amount line of the copy progress window.
#pragma once

#include "platform/String.h"

// Milliseconds of copying before the time left is estimated: the first seconds' pace
// (small files, a cold cache) says little about the rest.
const DWORD kCopyEstimateAfterMs = 3000;

// "213 of 517 MB, about 6 seconds left": the bytes copied and in all, in whole megabytes
// (1,048,576 bytes, rounded to the nearest), and once kCopyEstimateAfterMs have passed
// since the copying began, the time left at the pace so far, in seconds under a minute,
// else in whole minutes. Without the estimate: "213 of 517 MB".
CString FormatCopyAmount(ULONGLONG ullDone, ULONGLONG ullTotal, DWORD dwElapsedMs);
