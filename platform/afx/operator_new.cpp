// The Windows program is built without exceptions, so a failed allocation
// cannot be reported by throwing; the C++ library's own operator new would
// throw all the same and bring the whole exception runtime with it, several
// times the size of the program. Running out of memory ends the program, as
// an uncaught std::bad_alloc would.

#include <cstdlib>
#include <new>

void* operator new(std::size_t size)
{
    // Every call must give a distinct pointer, the empty allocation too.
    if (void* p = std::malloc(size != 0 ? size : 1))
        return p;
    std::abort();
}

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
