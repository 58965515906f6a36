#include "platform/StdioFile.h"

#include "Driver.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<std::string> ReadAllLines(const std::string& bytes)
{
    driver::TempDir dir("lines");
    std::string path = dir.Path() + "lines.txt";
    driver::WriteBytes(path, bytes);
    CStdioFile file;
    EXPECT_TRUE(file.Open(path.c_str(), CStdioFile::modeRead | CStdioFile::typeText));
    std::vector<std::string> lines;
    CString line;
    while (file.ReadString(line))
        lines.emplace_back(static_cast<LPCSTR>(line), static_cast<size_t>(line.GetLength()));
    EXPECT_FALSE(file.ReadString(line)) << "the end stays the end";
    return lines;
}

using Lines = std::vector<std::string>;

}  // namespace

TEST(StdioFileTest, LineRulesOfTextModeReading)
{
    struct Case { std::string bytes; Lines lines; } cases[] = {
        { "", {} },
        { "one", { "one" } },
        { "one\n", { "one" } },
        { "one\r\ntwo\r\n", { "one", "two" } },
        { "\n\n", { "", "" } },
        { "a\rb\n", { "a\rb" } },                 // a CR not before LF is kept
        { "a\r\r\nb", { "a\r", "b" } },           // only the CR right before LF goes
        { "a\r", { "a\r" } },
        { "one\ntwo\x1Athree\nfour", { "one", "two" } },   // Ctrl-Z ends the text
        { "\x1A" "1\n", {} },
        { std::string("1\n\0\nx", 5), { "1", std::string(1, '\0'), "x" } },  // NUL is a byte
        { "\x95\x5C\n\x95\n", { "\x95\x5C", "\x95" } },
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.lines, ReadAllLines(c.bytes)) << "input: " << testing::PrintToString(c.bytes);
}

TEST(StdioFileTest, LinesOfAnyLengthComeWhole)
{
    std::string big(1024 * 1024 + 7, 'x');
    big[70000] = '\r';  // a CR inside a buffer boundary region stays
    Lines lines = ReadAllLines(big + "\r\nend");
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(big, lines[0]);
    EXPECT_EQ("end", lines[1]);

    // A CR LF pair split across the reader's buffers still ends the line cleanly.
    std::string edge(64 * 1024 - 1, 'y');
    lines = ReadAllLines(edge + "\r\nz");
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(edge, lines[0]);
}

TEST(StdioFileTest, OpenFailsForMissingAndForFilesHeldOpen)
{
    driver::TempDir dir("open");
    CStdioFile file;
    EXPECT_FALSE(file.Open((dir.Path() + "missing.txt").c_str(), CStdioFile::modeRead | CStdioFile::typeText));

    std::string path = dir.Path() + "held.txt";
    driver::WriteBytes(path, "1\n");
    // Another program has the file open, even only for reading: no sharing means no open.
    HANDLE hOther = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, hOther);
    EXPECT_FALSE(file.Open(path.c_str(), CStdioFile::modeRead | CStdioFile::typeText));
    ::CloseHandle(hOther);
    EXPECT_TRUE(file.Open(path.c_str(), CStdioFile::modeRead | CStdioFile::typeText));

    // While it is open here, nobody else gets in.
    HANDLE hLate = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(INVALID_HANDLE_VALUE, hLate);
    if (hLate != INVALID_HANDLE_VALUE)
        ::CloseHandle(hLate);
}
