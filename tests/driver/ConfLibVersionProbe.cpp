// Binds the configuration library as the panel does and writes to the file named by its
// argument the Windows version it was told and the file of the module that got loaded.
// With a second argument "start" it runs the driver start-up and writes its outcome too.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "driver/ConfLib.h"
#include "driver/ExchangeBuffers.h"

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    GetVersionExA(&version);
    char loaded[MAX_PATH] = "none";
    if (LoadConfLib())
        GetModuleFileNameA(ConfLibModule(), loaded, MAX_PATH);
    const char* startup = "-";
    if (argc > 2 && std::string(argv[2]) == "start") {
        std::vector<BYTE> storage(4 * kExchangeBufferSize);
        BYTE* buffers[4] = {&storage[0], &storage[kExchangeBufferSize], &storage[2 * kExchangeBufferSize],
                            &storage[3 * kExchangeBufferSize]};
        ExchangeBuffers bufs = {&buffers[0], &buffers[1], &buffers[2], &buffers[3]};
        const DriverStartup result = StartDriverLibrary(bufs);
        startup = result == DriverStartup::Ready ? "ready" : result == DriverStartup::NoDevice ? "nodevice" : "missing";
        ShutdownDriverLibrary();
    }
    FILE* out = std::fopen(argv[1], "w");
    if (out == nullptr)
        return 3;
    std::fprintf(out, "%lu.%lu\n%s\n%s\n", version.dwMajorVersion, version.dwMinorVersion, loaded, startup);
    std::fclose(out);
    return 0;
}
