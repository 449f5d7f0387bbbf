// Builds against the installed package only: proves the headers and the library install whole,
// and that the library's exceptions reach a program built elsewhere.
#include <cstdio>

#include "lkmdb7/lkmdb7.h"

int main() {
    CString s("installed");
    s.MakeUpper();
    std::printf("%s\n", s.GetString());
    if (s != "INSTALLED") {
        return 1;
    }
    try {
        CStringArray().GetAt(0);
    } catch (const CInvalidArgException& e) {
        std::printf("caught: %s\n", e.what());
        return 0;
    }
    return 1;
}
