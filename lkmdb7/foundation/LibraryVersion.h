// The version of the library that is loaded, which a host compares with the LKMDB7_VERSION_*
// macros of the headers it was compiled with: a shared library of the same major version keeps
// the API and the ABI.
#pragma once

#include "lkmdb7/Version.h"
#include "lkmdb7/platform/Export.h"

namespace LKMDB7 {

struct LibraryVersion {
    int major;
    int minor;
    int patch;
    const char* text;  // "MAJOR.MINOR.PATCH", static
};

// Never throws.
LKMDB7_EXPORT LibraryVersion GetLibraryVersion() noexcept;

}  // namespace LKMDB7
