// A top-level window of the test's own, standing in for the launcher window as the
// owner of the browse dialog.
#pragma once

#include "platform/Wnd.h"

class CTestParentWindow : public CWnd
{
public:
    CTestParentWindow()
    {
        m_hWnd = ::CreateWindowExA(0, "STATIC", "VORMEL browse owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10,
                                   300, 200, nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
    }
    ~CTestParentWindow() override
    {
        if (m_hWnd != nullptr)
            ::DestroyWindow(m_hWnd);
        m_hWnd = nullptr;
    }
};
