// Random install lists read by the program's reader and by a small model of the rules
// written here from scratch: same mode, same installer path, every time.
#include "launcher/InstallList.h"

#include "Driver.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <string>
#include <vector>

namespace {

struct Expected
{
    bool modeKnown = true;  // false when line 1 holds a number too long to model
    int mode = 0;
    std::string installer;
};

bool IsCSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

Expected Model(const std::string& bytes, const std::string& launcherDir)
{
    std::string text = bytes.substr(0, bytes.find('\x1A'));
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size())
    {
        size_t lf = text.find('\n', start);
        if (lf == std::string::npos)
        {
            lines.push_back(text.substr(start));
            break;
        }
        std::string line = text.substr(start, lf - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        start = lf + 1;
    }

    Expected e;
    if (!lines.empty())
    {
        const std::string& first = lines[0];
        size_t i = 0;
        while (i < first.size() && IsCSpace(first[i]))
            ++i;
        bool negative = false;
        if (i < first.size() && (first[i] == '+' || first[i] == '-'))
            negative = first[i++] == '-';
        long long value = 0;
        int digits = 0;
        while (i < first.size() && first[i] >= '0' && first[i] <= '9')
        {
            value = value * 10 + (first[i++] - '0');
            if (++digits > 9)
                e.modeKnown = false;
            if (digits > 15)
                break;
        }
        e.mode = static_cast<int>(negative ? -value : value);
    }
    if (lines.size() >= 3)
    {
        std::string third = lines[2];
        size_t b = 0, en = third.size();
        while (b < en && IsCSpace(third[b]))
            ++b;
        while (en > b && IsCSpace(third[en - 1]))
            --en;
        if (en > b)
            e.installer = launcherDir + third.substr(b, en - b);
    }
    return e;
}

// Bytes with the troublesome ones over-represented: line ends, CR, Ctrl-Z, NUL, blanks,
// digits and signs, and double-byte lead bytes of code page 932.
std::string RandomList(std::mt19937& rng)
{
    static const char interesting[] = { '\n', '\r', '\x1A', '\0', ' ', '\t', '\v', '\f', '0', '1', '1', '2',
                                        '+', '-', '\\', '.', '\x81', '\x95', '\x5C', '\xEF', '\xBB', '\xBF' };
    std::uniform_int_distribution<int> length(0, 60);
    std::uniform_int_distribution<int> pick(0, 3);
    std::uniform_int_distribution<int> anyByte(0, 255);
    std::uniform_int_distribution<size_t> special(0, sizeof(interesting) - 1);
    std::string s;
    int n = length(rng);
    for (int i = 0; i < n; ++i)
        s += pick(rng) == 0 ? static_cast<char>(anyByte(rng)) : interesting[special(rng)];
    return s;
}

}  // namespace

TEST(InstallListFuzzTest, ReaderAgreesWithTheRulesOnRandomLists)
{
    std::mt19937 rng(20261206);
    driver::TempDir dir("fuzz");
    const std::string path = dir.Path() + "InstallList.txt";
    const std::string launcherDir = "D:\\cd\\";

    std::vector<std::string> inputs;
    for (int i = 0; i < 10000; ++i)
        inputs.push_back(RandomList(rng));
    // A few lines of several megabytes, in each position.
    std::string big(3 * 1024 * 1024, 'x');
    big[12345] = '\x95';
    inputs.push_back(big);
    inputs.push_back("1\r\n" + big + "\r\n  setup.exe  ");
    inputs.push_back("0\nfree\n " + big + "\x95\x5C \n");

    int checked = 0;
    for (const std::string& bytes : inputs)
    {
        driver::WriteBytes(path, bytes);
        int nMode = 0;
        CString strInstaller;
        ASSERT_TRUE(ReadInstallListFile(path.c_str(), CString(launcherDir.c_str()), nMode, strInstaller));
        Expected e = Model(bytes, launcherDir);
        std::string got(static_cast<LPCSTR>(strInstaller), static_cast<size_t>(strInstaller.GetLength()));
        if (e.modeKnown)
        {
            ASSERT_EQ(e.mode, nMode) << testing::PrintToString(bytes.substr(0, 200));
        }
        ASSERT_EQ(e.installer, got) << testing::PrintToString(bytes.substr(0, 200));
        ++checked;
    }
    EXPECT_EQ(static_cast<int>(inputs.size()), checked);
}
