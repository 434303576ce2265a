// Prints the operating-system line as the panel builds it; InfoTextTest runs this
// program under several Wine version settings.
#include "panel/InfoText.h"

#include <cstdio>

int main()
{
    std::fputs(OsVersionLine(QueryOsName()).c_str(), stdout);
    return 0;
}
