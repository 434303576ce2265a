// Where the running executable lies: the program's own files sit beside it.
#pragma once
#include <string>

// The executable's full path from GetModuleFileNameA with a 260-character buffer. A longer
// path comes back cut to 259 characters, and `whole` (when given) is then false.
std::string ExecutablePath(bool* whole = nullptr);

// ExecutablePath() up to and including its last backslash; "" when it has none.
std::string ExecutableDirectory(bool* whole = nullptr);
