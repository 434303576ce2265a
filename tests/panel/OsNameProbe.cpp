// Prints the operating-system line as the panel builds it; InfoTextTest runs this
// program under several Wine version settings.
#include "panel/InfoText.h"

#include <cstdio>
#include <string>

int main()
{
    // The English line is ASCII; narrowed unit by unit.
    const std::wstring line = OsVersionLine(QueryOsName());
    std::fputs(std::string(line.begin(), line.end()).c_str(), stdout);
    return 0;
}
