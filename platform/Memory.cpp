// The program's allocations: on the C runtime's heap, and a failure ends the program with
// a message, since nothing in it could go on without the memory it asked for.
#include "Afx.h"

#include <cstdlib>
#include <new>

static void* Allocate(size_t nSize)
{
    void* p = std::malloc(nSize != 0 ? nSize : 1);
    if (p == nullptr)
        ::FatalAppExitA(0, "Out of memory.");
    return p;
}

void* operator new(size_t nSize) { return Allocate(nSize); }
void* operator new[](size_t nSize) { return Allocate(nSize); }
void* operator new(size_t nSize, const std::nothrow_t&) noexcept { return std::malloc(nSize != 0 ? nSize : 1); }
void* operator new[](size_t nSize, const std::nothrow_t&) noexcept { return std::malloc(nSize != 0 ? nSize : 1); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
