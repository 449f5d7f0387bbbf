#include "tests/support/ItemTesting.h"

#include "lkmdb7/database/DatabaseObj7.h"
#include "lkmdb7/items/CategoryItem.h"
#include "lkmdb7/items/Record.h"
#include "lkmdb7/items/RecordCipher.h"
#include "lkmdb7/items/TypeItem.h"

namespace lkmdb7_test {

using namespace LKMDB7;

ProcessStateGuard::ProcessStateGuard() {
    SetLayoutVersion(9);
}

ProcessStateGuard::~ProcessStateGuard() {
    SetLayoutVersion(9);
    SetRecordCipherPassword(nullptr);
}

void ProcessStateGuard::SetLayoutVersion(UINT version) {
    for (CRuntimeClass* cls : {LKMDB7_RUNTIME_CLASS(CDatabaseObj7), LKMDB7_RUNTIME_CLASS(CBaseItem),
                               LKMDB7_RUNTIME_CLASS(CCategory), LKMDB7_RUNTIME_CLASS(CCategoryItem),
                               LKMDB7_RUNTIME_CLASS(CTypeItem), LKMDB7_RUNTIME_CLASS(CRecord)}) {
        cls->m_wSchema = kVersionableSchema | version;
    }
}

Bytes StoreBody(CObject& object) {
    return Store([&](CArchive& ar) { object.Serialize(ar); });
}

void LoadBody(CObject& object, const Bytes& bytes) {
    CMemFile file(bytes);
    CArchive ar(&file, CArchive::load);
    object.Serialize(ar);
}

}  // namespace lkmdb7_test
