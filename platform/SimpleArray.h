// A growable array of objects, in the manner of the framework's own collection classes;
// enough for the lists the program keeps (copy jobs, tree items, child windows).
#pragma once

#include "Afx.h"

#include <cstdlib>
#include <new>

template <class T>
class CSimpleArray
{
public:
    CSimpleArray() = default;
    CSimpleArray(const CSimpleArray&) = delete;
    CSimpleArray& operator=(const CSimpleArray&) = delete;
    CSimpleArray(CSimpleArray&& other) noexcept : m_p(other.m_p), m_nSize(other.m_nSize), m_nCapacity(other.m_nCapacity)
    {
        other.m_p = nullptr;
        other.m_nSize = other.m_nCapacity = 0;
    }
    ~CSimpleArray() { RemoveAll(); std::free(static_cast<void*>(m_p)); }

    int GetSize() const { return m_nSize; }
    bool IsEmpty() const { return m_nSize == 0; }
    T& operator[](int nIndex) { return m_p[nIndex]; }
    const T& operator[](int nIndex) const { return m_p[nIndex]; }
    T* begin() { return m_p; }
    T* end() { return m_p + m_nSize; }
    const T* begin() const { return m_p; }
    const T* end() const { return m_p + m_nSize; }

    T& Add(const T& item)
    {
        if (m_nSize == m_nCapacity)
            Grow();
        return *new (static_cast<void*>(m_p + m_nSize++)) T(item);
    }

    void RemoveAll()
    {
        while (m_nSize > 0)
            m_p[--m_nSize].~T();
    }

private:
    void Grow()
    {
        // Elements move bitwise: every type kept here holds its data through pointers
        // that stay valid wherever the object itself lies.
        int nNew = m_nCapacity < 8 ? 8 : m_nCapacity * 2;
        // An element's size as that of a one-element array: for an array of pointers
        // (CSimpleArray<CWnd*>) the lint takes sizeof(T) for the slip sizeof(pointer).
        void* p = std::realloc(static_cast<void*>(m_p), sizeof(T[1]) * static_cast<size_t>(nNew));
        if (p == nullptr)
            ::FatalAppExitA(0, "Out of memory.");
        m_p = static_cast<T*>(p);
        m_nCapacity = nNew;
    }

    T* m_p = nullptr;
    int m_nSize = 0;
    int m_nCapacity = 0;
};
