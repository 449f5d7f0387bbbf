#include "lkmdb7/items/Category.h"

#include <utility>

#include "lkmdb7/items/internal/PackedText.h"

namespace LKMDB7 {

LKMDB7_IMPLEMENT_SERIAL(CCategory, CBaseItem, kVersionableSchema | 9)

CBaseItem& CCategory::operator=(CBaseItem& source) {
    CBaseItem::operator=(source);
    if (auto* category = dynamic_cast<CCategory*>(&source)) {
        m_name = category->m_name;
        NoteNameChange();
    }
    return *this;
}

CCategory& CCategory::operator=(CCategory& source) {
    operator=(static_cast<CBaseItem&>(source));
    return *this;
}

bool CCategory::IsBuiltin() const {
    const CUID id = GetUniqueID();
    for (int i = 0; i < 7; ++i) {
        if (id.Bytes()[i] != 0) {
            return false;
        }
    }
    return true;
}

int CCategory::GetNameSize() const {
    return static_cast<int>(PackedTextLength(m_name)) + 1;
}

int CCategory::WriteName(char*& p) {
    BYTE* const start = reinterpret_cast<BYTE*>(p);
    BYTE* const end = WritePackedText(start, m_name);
    p = reinterpret_cast<char*>(end);
    return static_cast<int>(end - start);
}

void CCategory::ReadName(const char*& p, const char* end) {
    PackedCursor cursor(reinterpret_cast<const BYTE*>(p), reinterpret_cast<const BYTE*>(end));
    CString name = cursor.ReadText();
    if (name != m_name) {
        m_name = std::move(name);
        NoteNameChange();
    }
    p = reinterpret_cast<const char*>(cursor.Position());
}

}  // namespace LKMDB7
