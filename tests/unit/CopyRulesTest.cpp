// The copy engine's rules: readers by drive type, the free space a copy needs, and the
// names of its temporary files.
#include "platform/copy/CopySpace.h"
#include "platform/copy/CopyTempFile.h"
#include "platform/copy/FileTreeCopier.h"

#include <gtest/gtest.h>

// Catches: parallel readers on a CD, DVD or removable drive (the drive seeks back and
// forth), or a fixed or network drive losing its parallel copy.
TEST(CopyReaderPolicyTest, OneReaderOnSlowMediaFourElsewhere)
{
    const struct { UINT nDriveType; unsigned nThreads; } cases[] = {
        { DRIVE_CDROM, 1 }, { DRIVE_REMOVABLE, 1 }, { DRIVE_FIXED, 4 },
        { DRIVE_REMOTE, 4 }, { DRIVE_RAMDISK, 4 }, { DRIVE_UNKNOWN, 4 },
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.nThreads, CFileTreeCopier::CopyThreadsFor(c.nDriveType)) << "drive type " << c.nDriveType;
}

// Catches: a reinstallation let through because the old files make room only after each
// move (30 MB over 30 MB needs 30 MB), shrinking files counted as room, the replacements in
// flight not one per reader, or sizes not in whole clusters.
TEST(CopySpaceTest, ReplacementsNeedRoomBesideTheOldFileUntilTheMove)
{
    const ULONGLONG MB = 1 << 20;
    const struct { const char* what; ULONGLONG new1, old1, new2, old2, newFile; unsigned nThreads; ULONGLONG need; } cases[] = {
        { "30 MB over 30 MB", 30 * MB, 30 * MB, 0, 0, 0, 4, 30 * MB },
        { "a new file", 0, 0, 0, 0, 10 * MB, 4, 10 * MB },
        { "growth and the larger in flight", 30 * MB, 20 * MB, 5 * MB, 8 * MB, 0, 1, 40 * MB },
        { "both in flight on four readers", 30 * MB, 20 * MB, 5 * MB, 8 * MB, 0, 4, 45 * MB },
        { "one byte takes a cluster", 0, 0, 0, 0, 1, 4, 4096 },
    };
    for (const auto& c : cases)
    {
        CCopySpace space(4096);
        if (c.new1 != 0)
            space.AddReplacedFile(c.new1, c.old1);
        if (c.new2 != 0)
            space.AddReplacedFile(c.new2, c.old2);
        space.AddNewFile(c.newFile);
        EXPECT_EQ(c.need, space.GetNeed(c.nThreads)) << c.what;
    }
}

// Catches: a user's file taken for a leftover of a killed copy (and deleted), or a
// leftover not recognised (and kept for good).
TEST(CopyTempFileTest, OnlyItsOwnNamesAreLeftovers)
{
    for (const char* name : { "~vm0000.tmp", "~VM00aF.TMP" })
        EXPECT_TRUE(CCopyTempFile::IsTempName(name)) << name;
    for (const char* name : { "~vm0.tmp", "~vm000G.tmp", "~vm00000.tmp", "~vm0000.tmp.txt", "vm0000.tmp", "~vm0000_tmp" })
        EXPECT_FALSE(CCopyTempFile::IsTempName(name)) << name;
}
