// Prints the operating-system line as the panel builds it; InfoDisplayTest runs this
// program under several Wine version settings.
#include "panel/InfoDisplay.h"

#include <cstdio>

int main()
{
    std::fputs(OsVersionLine(QueryOsName()).c_str(), stdout);
    return 0;
}
