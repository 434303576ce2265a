#include "framework/ModulePath.h"

#include <windows.h>

std::string ExecutablePath(bool* whole)
{
    char path[MAX_PATH] = "";
    DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (whole != nullptr)
        *whole = length > 0 && length < MAX_PATH;
    // A path cut at the buffer's end is not terminated on every Windows release.
    if (length >= MAX_PATH)
        length = MAX_PATH - 1;
    return std::string(path, length);
}

std::string ExecutableDirectory(bool* whole)
{
    const std::string path = ExecutablePath(whole);
    const std::size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}
