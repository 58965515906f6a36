#include "platform/copy/CopySpace.h"

CCopySpace::CCopySpace(ULONGLONG ullCluster)
    : m_ullCluster(ullCluster != 0 ? ullCluster : 1)
{
}

ULONGLONG CCopySpace::InClusters(ULONGLONG ullSize) const
{
    return (ullSize + m_ullCluster - 1) / m_ullCluster * m_ullCluster;
}

void CCopySpace::AddNewFile(ULONGLONG ullSize)
{
    m_ullLasting += InClusters(ullSize);
}

void CCopySpace::AddReplacedFile(ULONGLONG ullNewSize, ULONGLONG ullOldSize)
{
    ULONGLONG ullNew = InClusters(ullNewSize), ullOld = InClusters(ullOldSize);
    if (ullNew > ullOld)
        m_ullLasting += ullNew - ullOld;
    // Kept sorted, largest first: the new size sinks to its place.
    for (unsigned i = 0; i < kMaxThreads; ++i)
    {
        if (ullNew > m_ullLargest[i])
        {
            ULONGLONG ullSwap = m_ullLargest[i];
            m_ullLargest[i] = ullNew;
            ullNew = ullSwap;
        }
    }
}

ULONGLONG CCopySpace::GetNeed(unsigned nThreads) const
{
    ULONGLONG ullNeed = m_ullLasting;
    for (unsigned i = 0; i < nThreads && i < kMaxThreads; ++i)
        ullNeed += m_ullLargest[i];
    return ullNeed;
}
