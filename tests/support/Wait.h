// Waiting on something another process or thread does, with a deadline.
#pragma once

#include <windows.h>

#include <functional>

namespace support {

// Polls until the condition holds or the deadline passes; true when it held.
inline bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 20000)
{
    for (DWORD start = ::GetTickCount();; ::Sleep(20))
    {
        if (condition())
            return true;
        if (::GetTickCount() - start >= timeoutMs)
            return false;
    }
}

}  // namespace support
