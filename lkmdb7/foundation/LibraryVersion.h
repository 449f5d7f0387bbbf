// The version of the library that is loaded, which a host compares with the LKMDB7_VERSION_*
// macros of the headers it was compiled with: a shared library of the same major version keeps
// the API and the ABI.
#pragma once

#include "lkmdb7/Version.h"
#include "lkmdb7/platform/Export.h"

namespace LKMDB7 {

// A version of the library, as GetLibraryVersion gives it.
struct LibraryVersion {
    int major;         // as LKMDB7_VERSION_MAJOR
    int minor;         // as LKMDB7_VERSION_MINOR
    int patch;         // as LKMDB7_VERSION_PATCH
    const char* text;  // "MAJOR.MINOR.PATCH", static
};

// The version of the library that is loaded. Never throws.
LKMDB7_EXPORT LibraryVersion GetLibraryVersion() noexcept;

}  // namespace LKMDB7
