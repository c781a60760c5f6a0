#include "maintenance/BadPixelTransfer.h"

#include <mutex>
#include <new>
#include <unordered_set>

namespace {

struct Registry
{
    std::mutex m;
    std::unordered_set<int*> arrays;

    ~Registry()
    {
        // Results that never came back: nobody can use these any more.
        for (int* p : arrays)
            delete[] p;
    }
};

Registry& registry()
{
    static Registry s_registry;
    return s_registry;
}

} // namespace

namespace BadPixelTransfer {

int* allocate(int nInts)
{
    if (nInts < 1)
        return nullptr;
    int* p = new (std::nothrow) int[static_cast<size_t>(nInts)]();
    if (!p)
        return nullptr;
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.m);
    r.arrays.insert(p);
    return p;
}

bool release(int* pArray)
{
    if (!pArray)
        return false;
    Registry& r = registry();
    {
        std::lock_guard<std::mutex> lock(r.m);
        if (r.arrays.erase(pArray) == 0)
            return false;
    }
    delete[] pArray;
    return true;
}

bool isTracked(const int* pArray)
{
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.m);
    return r.arrays.count(const_cast<int*>(pArray)) != 0;
}

int trackedCount()
{
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.m);
    return static_cast<int>(r.arrays.size());
}

} // namespace BadPixelTransfer
