#include "audio/ProcessLifeObjects.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace {

std::mutex& KeptLock()
{
    static std::mutex lock;
    return lock;
}

// Allocated once and never destroyed, so no exit-time destructor releases a registration.
std::vector<IUnknown*>& KeptObjects()
{
    static std::vector<IUnknown*>* kept = new std::vector<IUnknown*>();
    return *kept;
}

}  // namespace

void KeepForProcessLife(IUnknown* object)
{
    if (object == nullptr)
        return;
    std::lock_guard<std::mutex> lock(KeptLock());
    KeptObjects().push_back(object);
}

void ReleaseInvalidated(IUnknown* object)
{
    {
        std::lock_guard<std::mutex> lock(KeptLock());
        auto& kept = KeptObjects();
        auto it = std::find(kept.begin(), kept.end(), object);
        if (it == kept.end())
            return;
        kept.erase(it);
    }
    object->Release();
}

size_t KeptObjectCount()
{
    std::lock_guard<std::mutex> lock(KeptLock());
    return KeptObjects().size();
}
