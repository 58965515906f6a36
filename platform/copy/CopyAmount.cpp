#include "platform/copy/CopyAmount.h"

#include <cmath>

namespace {

const ULONGLONG kMB = 1024ULL * 1024;

unsigned long RoundedMB(ULONGLONG ullBytes)
{
    return static_cast<unsigned long>((ullBytes + kMB / 2) / kMB);
}

}  // namespace

CString FormatCopyAmount(ULONGLONG ullDone, ULONGLONG ullTotal, DWORD dwElapsedMs)
{
    if (ullDone > ullTotal)
        ullDone = ullTotal;
    CString strAmount;
    strAmount.Format("%lu of %lu MB", RoundedMB(ullDone), RoundedMB(ullTotal));
    if (dwElapsedMs < kCopyEstimateAfterMs || ullDone == 0 || ullDone == ullTotal)
        return strAmount;

    double dSecondsLeft = dwElapsedMs / 1000.0 * static_cast<double>(ullTotal - ullDone)
                          / static_cast<double>(ullDone);
    if (dSecondsLeft > 1e9)
        dSecondsLeft = 1e9;
    unsigned long nSeconds = static_cast<unsigned long>(std::lround(dSecondsLeft));
    CString strLeft;
    if (nSeconds < 60)
    {
        if (nSeconds == 0)
            nSeconds = 1;
        strLeft.Format(nSeconds == 1 ? ", about %lu second left" : ", about %lu seconds left", nSeconds);
    }
    else
    {
        unsigned long nMinutes = (nSeconds + 30) / 60;
        strLeft.Format(nMinutes == 1 ? ", about %lu minute left" : ", about %lu minutes left", nMinutes);
    }
    return strAmount + strLeft;
}
