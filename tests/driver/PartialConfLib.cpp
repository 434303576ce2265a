// A configuration library that lacks PropertyControl: the panel must refuse to bind it and
// must call none of the entry points it does have.
#include <cstdint>

namespace {
int32_t g_calls = 0;
}

#define PARTIAL_API extern "C" __declspec(dllexport)

PARTIAL_API int32_t ConfLibInit() { return ++g_calls, 0; }
PARTIAL_API int32_t CreateDeviceList() { return ++g_calls, 0; }
PARTIAL_API int32_t GetDeviceCount(int32_t, uint32_t* count)
{
    ++g_calls;
    *count = 1;
    return 0;
}
PARTIAL_API int32_t GetDeviceById(int32_t, int32_t, void*) { return ++g_calls, 0; }
PARTIAL_API int32_t RegisterCallbackFunction(void*, void*) { return ++g_calls, 0; }
PARTIAL_API int32_t ConfLibUnInit() { return ++g_calls, 0; }

PARTIAL_API int32_t PartialCallCount() { return g_calls; }
