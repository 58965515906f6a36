#include "platform/String.h"

#include <gtest/gtest.h>

#include <string>

// Catches: an empty result written through a string that has no buffer yet (a crash), the
// old text left behind, or a long result cut to the buffer's first size.
TEST(StringTest, FormatGivesExactlyTheFormattedText)
{
    const std::string longText(5000, 'x');
    const struct { const char* before; const char* arg; } cases[] = { { "", "" }, { "old", "" }, { "old", longText.c_str() } };
    for (const auto& c : cases)
    {
        CString s(c.before);
        s.Format("%s", c.arg);
        EXPECT_EQ(c.arg, std::string(s, static_cast<size_t>(s.GetLength()))) << "was \"" << c.before << "\"";
    }
}
