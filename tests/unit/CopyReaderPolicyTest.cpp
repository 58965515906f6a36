// How many threads read the files of a copy, by the source's drive type.
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
