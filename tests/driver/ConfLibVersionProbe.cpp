// Binds the configuration library as the panel does and writes to the file named by its
// argument the Windows version it was told and the file of the module that got loaded.
#include <windows.h>

#include <cstdio>

#include "driver/ConfLib.h"

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
    FILE* out = std::fopen(argv[1], "w");
    if (out == nullptr)
        return 3;
    std::fprintf(out, "%lu.%lu\n%s\n", version.dwMajorVersion, version.dwMinorVersion, loaded);
    std::fclose(out);
    return 0;
}
