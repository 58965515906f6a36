// A menu seen through its handle; the window that the menu belongs to owns it.
#pragma once

#include "Afx.h"

class CMenu
{
public:
    explicit CMenu(HMENU hMenu = nullptr) : m_hMenu(hMenu) {}

    HMENU m_hMenu;
    HMENU GetSafeHmenu() const { return m_hMenu; }

    BOOL AppendMenu(UINT nFlags, UINT_PTR nIDNewItem = 0, LPCSTR lpszNewItem = nullptr)
    {
        return ::AppendMenuA(m_hMenu, nFlags, nIDNewItem, lpszNewItem);
    }
};
