#include "platform/String.h"

#include <gtest/gtest.h>

TEST(StringTest, TrimRemovesExactlyTheIsspaceSet)
{
    CString s(" \t\r\n\v\fsetup\\install.exe \t\r\n\v\f");
    s.TrimLeft();
    EXPECT_STREQ("", CString(" \t\r\n\v\f").TrimRight());
    EXPECT_STREQ("setup\\install.exe \t\r\n\v\f", s);
    s.TrimRight();
    EXPECT_STREQ("setup\\install.exe", s);

    // Other control bytes and double-byte characters are not white space.
    CString t("\x01 a\xE3\x80\x80");
    t.TrimLeft();
    t.TrimRight();
    EXPECT_STREQ("\x01 a\xE3\x80\x80", t);
}

TEST(StringTest, LeftRightClampToTheString)
{
    CString s("D:\\cd\\SETUP.EXE");
    EXPECT_STREQ("D:\\cd\\", s.Left(6));
    EXPECT_STREQ("SETUP.EXE", s.Right(9));
    EXPECT_STREQ("", s.Left(-3));
    EXPECT_STREQ("D:\\cd\\SETUP.EXE", s.Left(100));
    EXPECT_STREQ("D:\\cd\\SETUP.EXE", s.Right(100));
    EXPECT_STREQ("", s.Right(0));
}

TEST(StringTest, FormatGrowsToAnyLength)
{
    CString s;
    s.Format("The installation requires available disk space of \"%s\".\nDoes it install?", "426MB");
    EXPECT_STREQ("The installation requires available disk space of \"426MB\".\nDoes it install?", s);

    std::string longText(5000, 'x');
    s.Format("[%s]", longText.c_str());
    EXPECT_EQ(5002, s.GetLength());
    EXPECT_EQ(']', s.GetAt(5001));
}

TEST(StringTest, GetBufferReleaseBufferTakesTheLengthFromTheNul)
{
    CString s("old");
    char* p = s.GetBuffer(MAX_PATH);
    lstrcpyA(p, "C:\\data");
    s.ReleaseBuffer(-1);
    EXPECT_EQ(7, s.GetLength());
    EXPECT_STREQ("C:\\data", s);

    s.GetBuffer(10);
    s.ReleaseBuffer(2);
    EXPECT_STREQ("C:", s);
}

TEST(StringTest, LastCharIsTakenWhole)
{
    // Under code page 932, 0x95 0x5C is one character whose trail byte looks like '\'.
    ASSERT_EQ(932u, ::GetACP()) << "the tests run under LANG=ja_JP.UTF-8";
    struct Case { const char* text; const char* last; } cases[] = {
        { "C:\\data", "a" },
        { "E:\\", "\\" },
        { "C:\\\x95\x5C", "\x95\x5C" },         // ends in the character 表
        { "C:\\\x95\x5C\\", "\\" },
        { "\x95", "\x95" },                       // a lone lead byte at the end
        { "", "" },
    };
    for (const Case& c : cases)
        EXPECT_STREQ(c.last, CString(c.text).LastChar()) << c.text;
}

TEST(StringTest, AppendsItselfAndKeepsNulBytes)
{
    CString s("ab");
    for (int i = 0; i < 6; ++i)
        s += s;  // the buffer moves while the text it appends lies in it
    EXPECT_EQ(128, s.GetLength());
    EXPECT_EQ('a', s.GetAt(126));
    EXPECT_EQ('b', s.GetAt(127));

    CString list;
    list += "x";
    list += '\0';
    list += "y";
    list += '\0';
    CString copy = list;
    EXPECT_EQ(4, copy.GetLength());
    EXPECT_TRUE(copy == list);
    EXPECT_EQ('y', copy.GetAt(2));
    EXPECT_EQ('\0', static_cast<LPCSTR>(copy)[4]) << "always one more NUL after the text";
}
