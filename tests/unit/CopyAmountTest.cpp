#include "platform/copy/CopyAmount.h"

#include <gtest/gtest.h>

// Catches: a wrong amount, or a time left shown before the pace is known, rounded wrongly
// or in the wrong unit.
TEST(CopyAmountTest, AmountInMegabytesAndTimeLeftOnceThePaceIsKnown)
{
    const ULONGLONG MB = 1024 * 1024;
    struct Case
    {
        ULONGLONG ullDone;
        ULONGLONG ullTotal;
        DWORD dwElapsedMs;
        const char* pszExpected;
    } cases[] = {
        { 213 * MB, 517 * MB, 2999, "213 of 517 MB" },                          // too early to tell
        { 200 * MB, 500 * MB, 3000, "200 of 500 MB, about 5 seconds left" },
        { 200 * MB, 500 * MB, 4000, "200 of 500 MB, about 6 seconds left" },
        { 400 * MB, 500 * MB, 4000, "400 of 500 MB, about 1 second left" },
        { 212 * MB + MB / 2, 517 * MB + MB / 2 - 1, 2000, "213 of 517 MB" },    // to the nearest
        { 100 * MB, 500 * MB, 14870, "100 of 500 MB, about 59 seconds left" },
        { 100 * MB, 500 * MB, 15000, "100 of 500 MB, about 1 minute left" },
        { 50 * MB, 500 * MB, 20000, "50 of 500 MB, about 3 minutes left" },
        { 50 * MB, 500 * MB, 25100, "50 of 500 MB, about 4 minutes left" },     // 3 min 46 s
        { 517 * MB, 517 * MB, 60000, "517 of 517 MB" },
        { 0, 0, 60000, "0 of 0 MB" },
        { 0, 517 * MB, 60000, "0 of 517 MB" },                                  // no pace yet
    };
    for (const Case& c : cases)
    {
        EXPECT_STREQ(c.pszExpected, FormatCopyAmount(c.ullDone, c.ullTotal, c.dwElapsedMs))
            << c.ullDone << " of " << c.ullTotal << " bytes after " << c.dwElapsedMs << " ms";
    }
}
