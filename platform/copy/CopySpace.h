// What a copy needs of one volume's free space, counted as the copy will use it. Every file
// is written under a temporary name beside its final one and moved into place when whole,
// so a file that replaces another needs room for both until the move: the replaced ones
// being written at the same moment (one per copy thread) add their full new size.
#pragma once

#include "platform/Afx.h"

class CCopySpace
{
public:
    // The most copy threads that GetNeed is asked about.
    static constexpr unsigned kMaxThreads = 4;

    // Files take whole clusters of ullCluster bytes (1 when not known).
    explicit CCopySpace(ULONGLONG ullCluster);

    void AddNewFile(ULONGLONG ullSize);
    void AddReplacedFile(ULONGLONG ullNewSize, ULONGLONG ullOldSize);

    // Bytes needed: the new files, the growth of the replaced ones (new minus old, when
    // positive), and the nThreads largest replacements in flight at once.
    ULONGLONG GetNeed(unsigned nThreads) const;

private:
    ULONGLONG InClusters(ULONGLONG ullSize) const;

    ULONGLONG m_ullCluster;
    ULONGLONG m_ullLasting = 0;                     // the new files and the growth
    ULONGLONG m_ullLargest[kMaxThreads] = {};       // largest replacements, largest first
};
