// The public API of the Lockmera7DB storage engine.
#pragma once

#include "lkmdb7/platform/CString.h"
#include "lkmdb7/platform/CStringArray.h"
#include "lkmdb7/platform/Exceptions.h"
#include "lkmdb7/platform/Types.h"
