#include "dbinstall/InstallRecord.h"

#include "dbinstall/DatabaseEdition.h"
#include "dbinstall/DatabaseInstall.h"

#include <cstring>

namespace {

const char kHeader[] = "VORMEL installation record 1";
const int kMaxPath = 1024;  // bytes of UTF-8: MAX_PATH characters of three bytes and more

char Lower(char ch)
{
    return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch;
}

// Letters of ASCII compared without case; other bytes as they are.
bool SameName(LPCSTR a, int cbA, LPCSTR b, int cbB)
{
    if (cbA != cbB)
        return false;
    for (int i = 0; i < cbA; ++i)
    {
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    }
    return true;
}

unsigned HashName(LPCSTR pch, int cb)
{
    unsigned nHash = 2166136261u;
    for (int i = 0; i < cb; ++i)
        nHash = (nHash ^ static_cast<unsigned char>(Lower(pch[i]))) * 16777619u;
    return nHash;
}

bool IsDeviceName(LPCSTR pch, int cb)
{
    // The name before its first dot: "nul.txt" opens the device as "nul" does.
    int cbBase = 0;
    while (cbBase < cb && pch[cbBase] != '.')
        ++cbBase;
    while (cbBase > 0 && pch[cbBase - 1] == ' ')
        --cbBase;
    static const char* const rgszDevices[] = { "con", "prn", "aux", "nul", "conin$", "conout$" };
    for (LPCSTR pszDevice : rgszDevices)
    {
        if (SameName(pch, cbBase, pszDevice, static_cast<int>(std::strlen(pszDevice))))
            return true;
    }
    return cbBase == 4 && (SameName(pch, 3, "com", 3) || SameName(pch, 3, "lpt", 3)) && pch[3] >= '0'
        && pch[3] <= '9';
}

bool IsPlainName(LPCSTR pch, int cb)
{
    if (cb == 0 || pch[cb - 1] == '.' || pch[cb - 1] == ' ' || IsDeviceName(pch, cb))
        return false;
    for (int i = 0; i < cb; ++i)
    {
        unsigned char ch = static_cast<unsigned char>(pch[i]);
        if (ch < 0x20 || ch == 0x7F || std::strchr("/:*?\"<>|", ch) != nullptr)
            return false;
    }
    return true;
}

bool ParseSize(const CString& strText, ULONGLONG& ullSize)
{
    ullSize = 0;
    if (strText.IsEmpty() || strText.GetLength() > 20)
        return false;
    for (int i = 0; i < strText.GetLength(); ++i)
    {
        char ch = strText.GetAt(i);
        ULONGLONG ullDigit = static_cast<ULONGLONG>(ch - '0');
        if (ch < '0' || ch > '9' || ullSize > (~0ull - ullDigit) / 10)
            return false;
        ullSize = ullSize * 10 + ullDigit;
    }
    return true;
}

// The text up to the next tab, and the rest after it ("" when there is no tab).
CString Field(CString& strRest)
{
    LPCSTR p = std::strchr(strRest, '\t');
    if (p == nullptr)
    {
        CString strField = strRest;
        strRest.Empty();
        return strField;
    }
    int n = static_cast<int>(p - static_cast<LPCSTR>(strRest));
    CString strField = strRest.Left(n);
    strRest = strRest.Mid(n + 1);
    return strField;
}

}  // namespace

CString NarrowText(LPCWSTR pszWide, UINT nCodePage)
{
    CString strText;
    int cb = ::WideCharToMultiByte(nCodePage, 0, pszWide, -1, nullptr, 0, nullptr, nullptr);
    if (cb > 1)
    {
        ::WideCharToMultiByte(nCodePage, 0, pszWide, -1, strText.GetBuffer(cb), cb, nullptr, nullptr);
        strText.ReleaseBuffer();
    }
    return strText;
}

bool IsRecordablePath(const CString& strPath)
{
    int cb = strPath.GetLength();
    if (cb == 0 || cb > kMaxPath || static_cast<int>(std::strlen(strPath)) != cb
        || ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, strPath, cb, nullptr, 0) == 0)
        return false;
    LPCSTR p = strPath;
    for (int nPart = 0;; ++nPart)
    {
        LPCSTR pszEnd = std::strchr(p, '\\');
        int cbPart = pszEnd != nullptr ? static_cast<int>(pszEnd - p) : static_cast<int>(std::strlen(p));
        if (!IsPlainName(p, cbPart))
            return false;
        if (nPart == 0)
        {
            bool bData = false;
            for (LPCSTR pszFolder : g_rgszDatabaseFolders)
                bData = bData || SameName(p, cbPart, pszFolder, static_cast<int>(std::strlen(pszFolder)));
            if (!bData)
                return false;
        }
        if (pszEnd == nullptr)
            return true;
        p = pszEnd + 1;
    }
}

void CInstallRecord::Add(const CString& strPath, ULONGLONG ullSize, bool bFolder)
{
    CRecordedItem& item = m_items.Add(CRecordedItem());
    item.strPath = strPath;
    item.ullSize = bFolder ? 0 : ullSize;
    item.bFolder = bFolder;
    if (m_items.GetSize() * 2 <= m_slots.GetSize())
    {
        Index(m_items.GetSize() - 1);
        return;
    }
    // Half full at most: twice the slots, every item placed again.
    int nSlots = m_slots.GetSize() < 64 ? 64 : m_slots.GetSize() * 2;
    m_slots.RemoveAll();
    for (int i = 0; i < nSlots; ++i)
        m_slots.Add(0);
    for (int i = 0; i < m_items.GetSize(); ++i)
        Index(i);
}

void CInstallRecord::Index(int nItem)
{
    const CString& strPath = m_items[nItem].strPath;
    unsigned nMask = static_cast<unsigned>(m_slots.GetSize()) - 1;
    unsigned nSlot = HashName(strPath, strPath.GetLength()) & nMask;
    while (m_slots[static_cast<int>(nSlot)] != 0)
        nSlot = (nSlot + 1) & nMask;
    m_slots[static_cast<int>(nSlot)] = nItem + 1;
}

int CInstallRecord::Find(const CString& strPath) const
{
    if (m_slots.IsEmpty())
        return -1;
    unsigned nMask = static_cast<unsigned>(m_slots.GetSize()) - 1;
    for (unsigned nSlot = HashName(strPath, strPath.GetLength()) & nMask; m_slots[static_cast<int>(nSlot)] != 0;
         nSlot = (nSlot + 1) & nMask)
    {
        const CString& strItem = m_items[m_slots[static_cast<int>(nSlot)] - 1].strPath;
        if (SameName(strItem, strItem.GetLength(), strPath, strPath.GetLength()))
            return m_slots[static_cast<int>(nSlot)] - 1;
    }
    return -1;
}

void CInstallRecord::RemoveAll()
{
    m_items.RemoveAll();
    m_slots.RemoveAll();
}

ULONGLONG CInstallRecord::GetTotalBytes() const
{
    ULONGLONG ullBytes = 0;
    for (const CRecordedItem& item : m_items)
        ullBytes += item.ullSize;
    return ullBytes;
}

CString CInstallRecord::Format() const
{
    CString strText = CString(kHeader) + "\r\nedition\t" + m_strEdition + "\r\nroot\t"
        + (m_bRootMade ? "made" : "found") + "\r\n";
    CString strLine;
    for (const CRecordedItem& item : m_items)
    {
        if (item.bFolder)
            strLine = "folder\t" + item.strPath + "\r\n";
        else
            strLine.Format("file\t%I64u\t%s\r\n", item.ullSize, static_cast<LPCSTR>(item.strPath));
        strText += strLine;
    }
    strLine.Format("end\t%d\r\n", m_items.GetSize());
    return strText + strLine;
}

bool CInstallRecord::Parse(LPCSTR pch, int cb, CString& strWhy)
{
    RemoveAll();
    m_strEdition.Empty();
    m_bRootMade = false;
    bool bEnded = false;
    int nLine = 0;
    auto Refuse = [&](LPCSTR pszWhat) {
        strWhy.Format("line %d %s", nLine, pszWhat);
        RemoveAll();
        m_strEdition.Empty();
        m_bRootMade = false;
        return false;
    };
    for (int nAt = 0; nAt < cb;)
    {
        ++nLine;
        const char* pEnd = static_cast<const char*>(std::memchr(pch + nAt, '\n', static_cast<size_t>(cb - nAt)));
        if (pEnd == nullptr || pEnd == pch + nAt || pEnd[-1] != '\r')
            return Refuse("does not end in CR LF: the record was cut short");
        CString strRest(pch + nAt, static_cast<int>(pEnd - 1 - (pch + nAt)));
        nAt = static_cast<int>(pEnd + 1 - pch);
        if (bEnded)
            return Refuse("follows the end line");
        if (static_cast<int>(std::strlen(strRest)) != strRest.GetLength())
            return Refuse("holds a NUL byte");
        CString strKind = nLine <= 3 ? CString() : Field(strRest);
        if (nLine == 1)
        {
            if (strRest != kHeader)
                return Refuse("is not the record's heading");
        }
        else if (nLine == 2)
        {
            if (Field(strRest) != "edition" || (!strRest.IsEmpty() && !IsEditionText(strRest)))
                return Refuse("is not the edition line");
        }
        else if (nLine == 3)
        {
            CString strKey = Field(strRest);
            if (strKey != "root" || (strRest != "made" && strRest != "found"))
                return Refuse("is not the root line");
            m_bRootMade = strRest == "made";
        }
        else if (strKind == "end")
        {
            CString strCount;
            strCount.Format("%d", m_items.GetSize());
            if (strRest != strCount)
                return Refuse("gives another count of entries: lines are missing");
            bEnded = true;
        }
        else
        {
            ULONGLONG ullSize = 0;
            bool bFolder = strKind == "folder";
            if (!bFolder && (strKind != "file" || !ParseSize(Field(strRest), ullSize)))
                return Refuse("is neither a folder nor a file with its size");
            if (!IsRecordablePath(strRest))
                return Refuse("names a path outside the database's folders");
            if (Find(strRest) >= 0)
                return Refuse("names a path twice");
            Add(strRest, ullSize, bFolder);
        }
        if (nLine == 2)
            m_strEdition = strRest;
    }
    if (!bEnded)
    {
        ++nLine;
        return Refuse("is missing: the record was cut short");
    }
    return true;
}
