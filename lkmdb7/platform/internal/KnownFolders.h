// Folders of the current user that the host keeps its files in.
#pragma once

#include "lkmdb7/platform/CString.h"
#include "lkmdb7/platform/Export.h"

namespace LKMDB7 {

// The user's documents folder, without a trailing separator; empty when it cannot be found.
// Windows: the shell's "personal" folder of the current user. POSIX: $XDG_DOCUMENTS_DIR when it
// holds an absolute path, else $HOME/Documents (empty when HOME is unset or empty). The folder is
// not checked or created. Throws nothing but CMemoryException.
LKMDB7_EXPORT CString GetPersonalFolder();

}  // namespace LKMDB7
