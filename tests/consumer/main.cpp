// Builds against the installed package only: proves the headers and the library install whole.
#include <cstdio>

#include "lkmdb7/lkmdb7.h"

int main() {
    CString s("installed");
    s.MakeUpper();
    std::printf("%s\n", s.GetString());
    return s == "INSTALLED" ? 0 : 1;
}
