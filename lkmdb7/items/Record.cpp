#include "lkmdb7/items/Record.h"

#include <array>
#include <climits>
#include <cstring>
#include <string>
#include <string_view>

#include "lkmdb7/foundation/PathUtils.h"
#include "lkmdb7/items/TypeItem.h"
#include "lkmdb7/items/internal/PackedText.h"
#include "lkmdb7/platform/Exceptions.h"
#include "lkmdb7/platform/internal/ByteOrder.h"
#include "lkmdb7/platform/internal/FileSystem.h"

namespace LKMDB7 {

namespace {

// Decimal text to int the way atoi reads it (leading blanks, a sign, digits up to the first other
// character; none gives 0), clamped to the 32-bit range instead of overflowing.
int ParseViewCount(const CString& text) {
    const std::string& s = text.str();
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || (s[i] >= '\t' && s[i] <= '\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        value = value * 10 + (s[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) {
            value = static_cast<long long>(INT_MAX) + 1;
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > INT_MAX) {
        value = INT_MAX;
    }
    return static_cast<int>(value);
}

CString ViewCountText(int count) {
    return CString(std::to_string(count));
}

}  // namespace

LKMDB7_IMPLEMENT_SERIAL(CRecord, CBaseItem, kVersionableSchema | 9)

CRecord::CRecord() {
    m_pkID.Generate();
}

void CRecord::CopyLabelOverrides(const CRecord& source) {
    for (int i = 0; i < kFieldCount; ++i) {
        SetWorkingText(kLabelSlot + i, source.WorkingText(kLabelSlot + i));
    }
}

CBaseItem& CRecord::operator=(CBaseItem& source) {
    if (&source == this) {
        return *this;
    }
    CBaseItem::operator=(source);
    if (auto* record = dynamic_cast<CRecord*>(&source)) {
        SetRecordID(record->GetRecordID());
        SetNoteText(record->NoteText());
        SetCategoryID(record->m_categoryID);
        SetRareText(kAttachedFileName, record->RareText(kAttachedFileName));
        SetRareText(kAttachedFileKey, record->RareText(kAttachedFileKey));
        CopyLabelOverrides(*record);
    }
    return *this;
}

void CRecord::operator=(CRecord& source) {
    operator=(static_cast<CBaseItem&>(source));
    m_viewCount = source.m_viewCount;
    SetRareText(kReminderDate, source.RareText(kReminderDate));
}

int CRecord::GetNoteSize() const {
    const std::string_view note = NoteText();
    const std::size_t n = PackedTextLength(note);
    int size = 1;
    for (std::size_t i = 0; i < n; ++i) {
        if (note[i] != '\r') {
            ++size;
        }
    }
    return size;
}

int CRecord::WriteNote(char*& p) {
    char* const start = p;
    const std::string_view note = NoteText();
    const std::size_t n = PackedTextLength(note);
    for (std::size_t i = 0; i < n; ++i) {
        const char c = note[i];
        if (c != '\r') {
            *p++ = c;
        }
    }
    *p++ = '\0';
    return static_cast<int>(p - start);
}

std::size_t CRecord::UnpackedNoteLength(std::string_view packed) {
    std::size_t n = packed.size();
    for (const char c : packed) {
        if (c == '\n') {
            ++n;
        }
    }
    return n;
}

void CRecord::UnpackNote(std::string_view packed) {
    // Written straight into the texts' buffer: the note takes no string of its own, even passing.
    char* out = OverwriteNoteText(UnpackedNoteLength(packed));
    for (const char c : packed) {
        if (c == '\n') {
            *out++ = '\r';
        }
        *out++ = c;
    }
}

void CRecord::ReadNote(const char*& p, const char* end) {
    PackedCursor cursor(reinterpret_cast<const BYTE*>(p), reinterpret_cast<const BYTE*>(end));
    UnpackNote(cursor.ReadView());
    p = reinterpret_cast<const char*>(cursor.Position());
}

LONG CRecord::CalculateRecordSize() {
    std::size_t size = kPackedHeaderSize + kPackedTailSize;
    for (int i = 0; i < kFieldCount; ++i) {
        size += PackedTextLength(WorkingText(i)) + 1;
    }
    size += static_cast<std::size_t>(GetNoteSize());
    size += static_cast<std::size_t>(ViewCountText(m_viewCount).GetLength()) + 1;
    size += PackedTextLength(RareText(kAttachedFileName)) + 1;
    size += PackedTextLength(RareText(kAttachedFileKey)) + 1;
    if (GetNumFieldLabelsWithText() > 0) {
        for (int i = 0; i < kFieldCount; ++i) {
            size += PackedTextLength(WorkingText(kLabelSlot + i)) + 1;
        }
    }
    return static_cast<LONG>(size);
}

char* CRecord::WritePalmRecord(char* buffer) {
    auto* p = reinterpret_cast<BYTE*>(buffer);
    PutBE16(p, GetCRC());
    WriteUidAt(p + 2, GetTypeID());
    WriteUidAt(p + 10, m_categoryID);
    PutBE16(p + 18, static_cast<WORD>(GetIconIndex()));
    PutBE16(p + 20, GetMaskBits());
    BYTE* q = p + kPackedHeaderSize;
    for (int i = 0; i < kFieldCount; ++i) {
        q = WritePackedText(q, WorkingText(i));
    }
    char* note = reinterpret_cast<char*>(q);
    WriteNote(note);
    q = reinterpret_cast<BYTE*>(note);
    q = WritePackedText(q, ViewCountText(m_viewCount));
    q = WritePackedText(q, RareText(kAttachedFileName));
    q = WritePackedText(q, RareText(kAttachedFileKey));
    if (GetNumFieldLabelsWithText() > 0) {
        for (int i = 0; i < kFieldCount; ++i) {
            q = WritePackedText(q, WorkingText(kLabelSlot + i));
        }
    }
    return reinterpret_cast<char*>(q);
}

char* CRecord::ReadPackedRecord(char* record, const char* last, std::size_t length) {
    if (last != nullptr && length < kPackedHeaderSize) {
        return nullptr;
    }
    const auto* p = reinterpret_cast<const BYTE*>(record);
    const auto* const end = reinterpret_cast<const BYTE*>(last);
    const UINT version = LayoutVersion();
    SetCRC(GetBE16(p));
    SetTypeID(ReadUidAt(p + 2));
    SetCategoryID(ReadUidAt(p + 10));
    SetIconIndex(GetBE16(p + 18));
    SetMaskBits(GetBE16(p + 20));

    PackedCursor cursor(p + kPackedHeaderSize, end);
    const int fields = version < 6 ? kOldFormFieldCount : kFieldCount;
    // The texts are gathered first so that the unpacked copies take one allocation.
    std::array<std::string_view, kFieldCount> texts;
    std::array<std::string_view, kFieldCount> labels;
    std::size_t bytes = 0;
    for (int i = 0; i < fields; ++i) {
        texts[static_cast<std::size_t>(i)] = cursor.ReadView();
        bytes += CopiedOnUnpack(texts[static_cast<std::size_t>(i)]);
    }
    const std::string_view note = cursor.ReadView();
    bytes += UnpackedNoteLength(note);

    if (version >= 7) {
        m_viewCount = ParseViewCount(cursor.ReadText());
        SetRareText(kAttachedFileName, cursor.ReadText());
        SetRareText(kAttachedFileKey, cursor.ReadText());
    }
    const std::size_t consumed = kPackedHeaderSize + cursor.Consumed();
    const bool hasLabels = length > consumed + kPackedTailSize;
    if (hasLabels) {
        for (int i = 0; i < fields; ++i) {
            labels[static_cast<std::size_t>(i)] = cursor.ReadView();
            bytes += CopiedOnUnpack(labels[static_cast<std::size_t>(i)]);
        }
    }
    ReserveUnpacked(bytes);
    UnpackNote(note);
    for (int i = 0; i < fields; ++i) {
        UnpackText(i, texts[static_cast<std::size_t>(i)]);
        if (hasLabels) {
            UnpackText(kLabelSlot + i, labels[static_cast<std::size_t>(i)]);
        }
    }
    if (fields == 6) {
        // The old form has no field 9: its working value reads "Unknown" while its unpacked copy
        // keeps what it held.
        SetWorkingText(9, "Unknown");
        UnpackText(kLabelSlot + 9, "Date Mod");
    }
    return record + (cursor.Position() - p);
}

void CRecord::SetCategoryID(const CUID& id) {
    if (m_categoryID != id) {
        m_categoryID = id;
        NoteIndexedValueChange();
    }
}

CString CRecord::GetField(int i, bool mask) const {
    CString value = GetCustom(i);
    if (mask && !value.IsEmpty() && GetMask(i)) {
        return CString("****");
    }
    return value;
}

CString CRecord::GetFieldLabel(int i, const CTypeItem* type, bool colon) const {
    CheckFieldIndex(i, "GetFieldLabel");
    CString label(WorkingText(kLabelSlot + i));
    if (label.IsEmpty()) {
        if (type != nullptr) {
            label = type->GetCustom(i);
        } else {
            label = DefaultFieldLabel(i);
        }
    }
    if (colon && !label.IsEmpty() && label.str().back() != ':') {
        label += ':';
    }
    return label;
}

void CRecord::GetFieldLabels(const CTypeItem* type, CStringArray& out) const {
    out.SetSize(kFieldCount);
    for (int i = 0; i < kFieldCount; ++i) {
        out.SetAt(i, GetFieldLabel(i, type, false));
    }
}

CString CRecord::GetFieldLabelA(int i) const {
    if (i < 0 || i >= kFieldCount) {
        AfxThrowInvalidArgException("GetFieldLabelA: index " + std::to_string(i) +
                                    " outside 0 to 9");
    }
    return GetUnpacked(kLabelSlot + i);
}

void CRecord::SetFieldLabel(int i, const CTypeItem* type, const CString& label) {
    CheckFieldIndex(i, "SetFieldLabel");
    if (type != nullptr && type->GetCustom(i).Compare(label) == 0) {
        SetWorkingText(kLabelSlot + i, {});
    } else {
        SetWorkingText(kLabelSlot + i, label.str());
    }
}

void CRecord::SetFieldLabels(const CStringArray& labels) {
    for (int i = 0; i < kFieldCount; ++i) {
        SetWorkingText(kLabelSlot + i,
                       i < labels.GetSize() ? std::string_view(labels.GetAt(i).str()) : "");
    }
}

void CRecord::ClearFieldLabel(int i) {
    CheckFieldIndex(i, "ClearFieldLabel");
    SetWorkingText(kLabelSlot + i, {});
}

void CRecord::ClearFieldLabels() {
    for (int i = 0; i < kFieldCount; ++i) {
        SetWorkingText(kLabelSlot + i, {});
    }
}

CStringArray CRecord::GetLabelOverrides() const {
    CStringArray labels;
    labels.SetSize(kFieldCount);
    for (int i = 0; i < kFieldCount; ++i) {
        labels.SetAt(i, WorkingText(kLabelSlot + i));
    }
    return labels;
}

int CRecord::GetNumFieldLabelsWithText() const {
    int count = 0;
    for (int i = 0; i < kFieldCount; ++i) {
        if (!WorkingText(kLabelSlot + i).empty()) {
            ++count;
        }
    }
    return count;
}

void CRecord::SetAttachedFileName(const CString& name) {
    SetRareText(kAttachedFileName, name);
    SetHasAttachment(!name.IsEmpty());
}

void CRecord::SetAttachedFileEncryptionKey(const CString& key) {
    SetRareText(kAttachedFileKey, key);
    SetHasAttachment(!key.IsEmpty());
}

CString CRecord::GetEncryptedAttachedFileName() const {
    CString name;
    name.Format("%x.lfa", static_cast<unsigned>(GetRecordID()));
    return name;
}

int CRecord::RemoveAttachment(const CString& databasePath) {
    if (databasePath.IsEmpty()) {
        return 0;
    }
    int result = 0;
    try {
        const CString folder = JoinPath(FolderOf(databasePath), "Files");
        const CString file = JoinPath(folder, GetEncryptedAttachedFileName());
        result = DeleteFileA(file) ? 1 : 0;
    } catch (const CException&) {
        // The attachment texts are cleared whatever happened to the file.
    }
    SetRareText(kAttachedFileName, CString());
    SetRareText(kAttachedFileKey, CString());
    SetHasAttachment(false);
    return result;
}

void CRecord::InitFromType(const CTypeItem* type) {
    if (type != nullptr) {
        SetTypeID(type->GetUniqueID());
        SetIconIndex(type->GetIconIndex());
        SetMaskBits(type->GetMaskBits());
    } else {
        SetTypeID(CUID());
        SetIconIndex(24);
        SetMaskBits(0);
    }
    ClearFieldLabels();
}

void CRecord::Duplicate(const CRecord* source) {
    if (source == nullptr) {
        return;
    }
    CopyLabelOverrides(*source);
    SetMaskBits(source->GetMaskBits());
}

bool CRecord::IsInView(const CUID& typeID, const CUID& categoryID) const {
    if (IsDeleted()) {
        return false;
    }
    if (typeID == CUID_ALL && categoryID == CUID_ALL) {
        return true;
    }
    return (typeID == CUID_ALL || typeID == GetTypeID()) &&
           (categoryID == CUID_ALL || categoryID == m_categoryID);
}

bool CRecord::ContainsText(const CString& text, bool matchCase, bool wholeWord,
                           int fieldBits) const {
    return ContainsText(text, matchCase, wholeWord, fieldBits, true);
}

bool CRecord::ContainsText(const CString& text, bool matchCase, bool wholeWord, int fieldBits,
                           bool note) const {
    for (int i = 0; i < kFieldCount; ++i) {
        if ((fieldBits & (1 << i)) != 0 &&
            TextMatches(GetField(i, false), text, matchCase, wholeWord)) {
            return true;
        }
    }
    return note && TextMatches(GetNote(), text, matchCase, wholeWord);
}

}  // namespace LKMDB7
