// The public API of the Lockmera7DB storage engine: include this one header. Every header it
// names is installed; the headers under an internal/ folder are the library's own and are not.
#pragma once

#include "lkmdb7/Version.h"

#include "lkmdb7/platform/CArchive.h"
#include "lkmdb7/platform/CFile.h"
#include "lkmdb7/platform/CMemFile.h"
#include "lkmdb7/platform/CObList.h"
#include "lkmdb7/platform/CObject.h"
#include "lkmdb7/platform/CString.h"
#include "lkmdb7/platform/CStringArray.h"
#include "lkmdb7/platform/Exceptions.h"
#include "lkmdb7/platform/Export.h"
#include "lkmdb7/platform/SystemError.h"
#include "lkmdb7/platform/Types.h"

#include "lkmdb7/foundation/LibraryVersion.h"
#include "lkmdb7/foundation/PathUtils.h"
#include "lkmdb7/foundation/ShowColumns.h"
#include "lkmdb7/foundation/Uid.h"

#include "lkmdb7/items/BaseItem.h"
#include "lkmdb7/items/Category.h"
#include "lkmdb7/items/CategoryItem.h"
#include "lkmdb7/items/PackedFormat.h"
#include "lkmdb7/items/Record.h"
#include "lkmdb7/items/RecordCipher.h"
#include "lkmdb7/items/TypeItem.h"

#include "lkmdb7/lists/CategoryList.h"
#include "lkmdb7/lists/ItemRange.h"
#include "lkmdb7/lists/ObjectList.h"
#include "lkmdb7/lists/RecordList.h"
#include "lkmdb7/lists/TypesList.h"
#include "lkmdb7/lists/UniqueList.h"

#include "lkmdb7/database/Crib.h"
#include "lkmdb7/database/DatabaseFormat.h"
#include "lkmdb7/database/DatabaseObj7.h"
#include "lkmdb7/database/DatabaseStatus.h"
#include "lkmdb7/database/PasswordCheck.h"
#include "lkmdb7/database/Salvage.h"
#include "lkmdb7/database/Verify.h"
