// Loading the library registers the six classes that a database file may name, so that reading
// a file can create its items by class name.
#include "lkmdb7/database/DatabaseObj7.h"
#include "lkmdb7/items/CategoryItem.h"
#include "lkmdb7/items/Record.h"
#include "lkmdb7/items/TypeItem.h"

namespace LKMDB7 {

namespace {

struct RegisterClasses {
    RegisterClasses() {
        for (CRuntimeClass* cls :
             {LKMDB7_RUNTIME_CLASS(CBaseItem), LKMDB7_RUNTIME_CLASS(CCategory),
              LKMDB7_RUNTIME_CLASS(CDatabaseObj7), LKMDB7_RUNTIME_CLASS(CCategoryItem),
              LKMDB7_RUNTIME_CLASS(CRecord), LKMDB7_RUNTIME_CLASS(CTypeItem)}) {
            CRuntimeClass::Register(cls);
        }
    }
};

const RegisterClasses g_registerClasses;

}  // namespace

}  // namespace LKMDB7
