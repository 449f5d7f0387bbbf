#include "lkmdb7/items/BaseItem.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <utility>

#include "lkmdb7/foundation/Blowfish.h"
#include "lkmdb7/foundation/Crc16.h"
#include "lkmdb7/items/PackedText.h"
#include "lkmdb7/items/RecordCipher.h"
#include "lkmdb7/platform/CArchive.h"
#include "lkmdb7/platform/Clock.h"
#include "lkmdb7/platform/Exceptions.h"

namespace LKMDB7 {

namespace {

// The random tail only has to make two packings of one content differ; a cheap generator seeded
// once per process does that without a system call per item.
BYTE NextTailByte() {
    static ULONGLONG state = 0;
    if (state == 0) {
        state = (static_cast<ULONGLONG>(Time64()) << 20) ^ GetTickCount() ^
                reinterpret_cast<ULONGLONG>(&state) ^ 0x9E3779B97F4A7C15ULL;
    }
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return static_cast<BYTE>((state * 0x2545F4914F6CDD1DULL) >> 56);
}

std::vector<BYTE> AllocateBytes(std::size_t n) {
    try {
        return std::vector<BYTE>(n, 0);
    } catch (const std::bad_alloc&) {
        AfxThrowMemoryException();
    }
}

[[noreturn]] void ThrowShortRecord(std::size_t length, std::size_t needed, const char* form) {
    AfxThrowArchiveException(CArchiveException::genericException,
                             "packed record of " + std::to_string(length) +
                                 " bytes is shorter than the " + std::to_string(needed) +
                                 "-byte header of its " + form);
}

}  // namespace

LKMDB7_IMPLEMENT_SERIAL(CBaseItem, CObject, VERSIONABLE_SCHEMA | 9)

CBaseItem::CBaseItem() : m_recordID(GenerateRecordID()), m_timeStamp(static_cast<LONG>(Time64())) {
    m_working.SetSize(10);
}

CBaseItem::~CBaseItem() = default;

DWORD CBaseItem::GenerateRecordID() {
    SeedRandom(GetTickCount());
    (void)NextRandom();
    return static_cast<DWORD>(NowSince1904());
}

bool CBaseItem::IsEmpty() const {
    for (int i = 0; i < 10; ++i) {
        if (!m_working.GetAt(i).IsEmpty()) {
            return false;
        }
    }
    return true;
}

CBaseItem& CBaseItem::operator=(CBaseItem& source) {
    if (&source == this) {
        return *this;
    }
    m_recordID = source.m_recordID;
    m_needsSync = source.m_needsSync;
    m_deleted = source.m_deleted;
    m_cloudSync = source.m_cloudSync;
    m_working.Copy(source.m_working);
    for (int i = 0; i < 10; ++i) {
        m_working.SetAt(i, source.m_working.GetAt(i));
    }
    m_mask = source.m_mask;
    m_uniqueID = source.m_uniqueID;
    m_iconIndex = source.m_iconIndex;
    m_palmRecord.clear();
    m_palmRecord = source.m_palmRecord;
    m_hasPalmRecord = true;
    m_crc = source.m_crc;
    if (source.m_timeStamp > 0) {
        m_timeStamp = source.m_timeStamp;
    }
    return *this;
}

char* CBaseItem::WritePalmRecord(char* /*buffer*/) { return nullptr; }

char* CBaseItem::ReadPalmRecord(char* /*record*/, std::size_t /*length*/) { return nullptr; }

void CBaseItem::InstallPalmRecord(std::vector<BYTE> bytes) {
    m_palmRecord = std::move(bytes);
    m_hasPalmRecord = true;
}

void CBaseItem::SetPalmRecord(char* bytes, int count) {
    if (count < 0 || (count > 0 && bytes == nullptr)) {
        AfxThrowInvalidArgException("SetPalmRecord: bad byte count " + std::to_string(count));
    }
    m_palmRecord.clear();
    m_hasPalmRecord = false;
    std::vector<BYTE> copy = AllocateBytes(static_cast<std::size_t>(count));
    if (count > 0) {
        std::memcpy(copy.data(), bytes, static_cast<std::size_t>(count));
    }
    InstallPalmRecord(std::move(copy));
    const std::size_t n = m_palmRecord.size();
    m_crc = static_cast<WORD>((n > 0 ? m_palmRecord[0] << 8 : 0) | (n > 1 ? m_palmRecord[1] : 0));
}

int CBaseItem::GetPalmRecord(char* buffer) const {
    if (!m_hasPalmRecord || m_palmRecord.empty()) {
        return 0;
    }
    std::memcpy(buffer, m_palmRecord.data(), m_palmRecord.size());
    return static_cast<int>(m_palmRecord.size());
}

void CBaseItem::PackPalmRecord(bool encipher) {
    m_palmRecord.clear();
    m_hasPalmRecord = false;
    const LONG size = CalculateRecordSize();
    if (size < static_cast<LONG>(kPackedHeaderSize + kPackedTailSize)) {
        // Only the concrete item classes have a packed form.
        AfxThrowInvalidArgException(std::string("PackPalmRecord: class ") +
                                    GetRuntimeClass()->m_lpszClassName + " has no packed form");
    }
    const auto length = static_cast<std::size_t>(size);
    std::vector<BYTE> buffer = AllocateBytes(length);
    char* const start = reinterpret_cast<char*>(buffer.data());
    char* const end = WritePalmRecord(start);
    if (end != start + (length - kPackedTailSize)) {
        AfxThrowInvalidArgException("PackPalmRecord: writer and size disagree");
    }
    for (std::size_t i = length - kPackedTailSize; i < length; ++i) {
        buffer[i] = NextTailByte();
    }
    buffer[0] = 0;
    buffer[1] = 0;
    const WORD crc = Crc16(buffer.data(), static_cast<WORD>(length - kPackedTailSize), kPackedCrcInitial);
    buffer[0] = static_cast<BYTE>(crc >> 8);
    buffer[1] = static_cast<BYTE>(crc & 0xFF);
    const BlowfishKey* cipher = GetRecordCipher();
    if (encipher && cipher != nullptr) {
        BlowfishCryptBuffer(cipher, buffer.data() + kPackedHeaderSize,
                            static_cast<WORD>(length - kPackedHeaderSize), 1);
    }
    InstallPalmRecord(std::move(buffer));
}

void CBaseItem::PuffPalmRecord(bool decipher) {
    if (!m_hasPalmRecord) {
        return;
    }
    const std::size_t length = m_palmRecord.size();
    if (length < kPackedHeaderSize) {
        ThrowShortRecord(length, kPackedHeaderSize, "current form");
    }
    const BlowfishKey* cipher = GetRecordCipher();
    if (decipher && cipher != nullptr) {
        BlowfishCryptBuffer(cipher, m_palmRecord.data() + kPackedHeaderSize,
                            static_cast<WORD>(length - kPackedHeaderSize), 0);
    }
    ReadPalmRecord(reinterpret_cast<char*>(m_palmRecord.data()), length);
}

void CBaseItem::ReadOldForm(std::size_t start) {
    const BYTE* const begin = m_palmRecord.data();
    const BYTE* const end = begin + m_palmRecord.size();
    BYTE id[8] = {0, 0, 0, 0, 0, 0, begin[0], begin[1]};
    SetUniqueID(CUID::FromBytes(id));
    m_iconIndex = begin[2];
    const char* p = reinterpret_cast<const char*>(begin + start);
    const char* const stop = reinterpret_cast<const char*>(end);
    ReadName(p, stop);
    const int texts = LayoutVersion() < 6 ? 6 : 10;
    PackedCursor cursor(reinterpret_cast<const BYTE*>(p), end);
    for (int i = 0; i < texts; ++i) {
        StoreWorking(i, cursor.ReadText());
    }
    p = reinterpret_cast<const char*>(cursor.Position());
    ReadNote(p, stop);
}

void CBaseItem::PuffPalmRecordV1() {
    if (!m_hasPalmRecord) {
        return;
    }
    if (m_palmRecord.size() < kOldFormV1HeaderSize) {
        ThrowShortRecord(m_palmRecord.size(), kOldFormV1HeaderSize, "first old form");
    }
    ReadOldForm(kOldFormV1HeaderSize);
}

void CBaseItem::PuffPalmRecordV2() {
    if (!m_hasPalmRecord) {
        return;
    }
    const std::size_t length = m_palmRecord.size();
    if (length < kOldFormV2HeaderSize) {
        ThrowShortRecord(length, kOldFormV2HeaderSize, "second old form");
    }
    const BlowfishKey* cipher = GetRecordCipher();
    if (cipher != nullptr) {
        BlowfishCryptBuffer(cipher, m_palmRecord.data() + kOldFormV2HeaderSize,
                            static_cast<WORD>(length - kOldFormV2HeaderSize), 0);
    }
    m_crc = static_cast<WORD>((m_palmRecord[4] << 8) | m_palmRecord[5]);
    ReadOldForm(kOldFormV2HeaderSize);
}

int CBaseItem::WriteName(char*& /*p*/) { return 0; }
void CBaseItem::ReadName(const char*& /*p*/, const char* /*end*/) {}
int CBaseItem::WriteNote(char*& /*p*/) { return 0; }
void CBaseItem::ReadNote(const char*& /*p*/, const char* /*end*/) {}

void CBaseItem::SetCustom(int i, const CString& value) { m_working.SetAt(i, value); }

void CBaseItem::SetCustom(const CStringArray& values) {
    for (int i = 0; i < 10; ++i) {
        m_working.SetAt(i, i < values.GetSize() ? values.GetAt(i) : CString());
    }
}

CString CBaseItem::GetCustom(int i) const {
    if (i < 0 || i >= 10) {
        AfxThrowInvalidArgException("GetCustom: index " + std::to_string(i) + " outside 0 to 9");
    }
    return m_unpacked[i];
}

void CBaseItem::StoreWorking(int i, const CString& text) {
    while (m_working.GetSize() < i + 1) {
        m_working.InsertAt(m_working.GetSize(), CString());
    }
    m_working.SetAt(i, text);
}

bool CBaseItem::GetFieldMask(WORD mask, int bit) {
    const unsigned shift = static_cast<unsigned>(bit) % 32U;
    return ((1ULL << shift) & mask) != 0;
}

void CBaseItem::SetFieldMask(WORD& mask, int bit, bool on) {
    const unsigned shift = static_cast<unsigned>(bit) % 32U;
    const auto value = static_cast<WORD>((1ULL << shift) & 0xFFFFULL);
    mask = on ? static_cast<WORD>(mask | value) : static_cast<WORD>(mask & ~value);
}

void CBaseItem::SetDeleted(bool deleted) {
    m_deleted = deleted;
    m_needsSync = true;
    m_cloudSync = false;
}

void CBaseItem::SetLocalOnly(bool on) {
    m_itemFlags = on ? static_cast<WORD>(m_itemFlags | kLocalOnlyFlag)
                     : static_cast<WORD>(m_itemFlags & ~kLocalOnlyFlag);
}

void CBaseItem::renewTimeStamp() { m_timeStamp = static_cast<LONG>(Time64()); }

bool CBaseItem::CompareRecord(const CBaseItem* other) const {
    if (other == nullptr || !m_hasPalmRecord || !other->m_hasPalmRecord) {
        return false;
    }
    return m_palmRecord == other->m_palmRecord;
}

UINT CBaseItem::LayoutVersion() const { return GetRuntimeClass()->m_wSchema & ~VERSIONABLE_SCHEMA; }

bool CBaseItem::TakesArchivedPKID() const { return false; }

void CBaseItem::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        StoreBody(ar);
    } else {
        LoadBody(ar);
    }
}

void CBaseItem::StoreBody(CArchive& ar) {
    PackPalmRecord(true);
    ar.WriteDword(static_cast<DWORD>(m_palmRecord.size()));
    ar.Write(m_palmRecord.data(), static_cast<UINT>(m_palmRecord.size()));
    ar.WriteDword(m_recordID);
    ar.Write(GetPKID().Bytes(), 8);
    ar.WriteLong(m_timeStamp);
    ar.WriteWord(m_needsSync ? 1 : 0);
    ar.WriteWord(m_deleted ? 1 : 0);
    ar.WriteWord(m_cloudSync ? 1 : 0);
    ar.WriteLong(m_attachmentPresent);
    ar.WriteLong(m_attachmentDeleted);
    ar.WriteString(m_extraString1);
    ar.WriteString(m_extraString2);
    ar.WriteDword(m_extraValue1);
    ar.WriteWord(m_extraValue2);
    ar.WriteDword(m_extraValue3);
    ar.WriteWord(m_itemFlags);
}

void CBaseItem::LoadBody(CArchive& ar) {
    UINT schema = ar.GetObjectSchema();
    if (schema == static_cast<UINT>(-1)) {
        schema = LayoutVersion();
    }
    const DWORD length = ar.ReadDword("packed record length");
    const ULONGLONG recordAt = ar.GetPosition();
    // Read in slices so that a hostile length allocates no more than the file really holds.
    std::vector<BYTE> record;
    constexpr std::size_t kSlice = 64 * 1024;
    while (record.size() < length) {
        const std::size_t n = std::min<std::size_t>(kSlice, length - record.size());
        const std::size_t at = record.size();
        record.resize(at + n);
        ar.ReadExact(record.data() + at, n, "packed record");
    }
    InstallPalmRecord(std::move(record));
    try {
        if (schema <= 2) {
            PuffPalmRecordV1();
        } else if (schema == 4) {
            PuffPalmRecordV2();
        } else {
            PuffPalmRecord(true);
        }
    } catch (const CArchiveException& e) {
        // The readers know the record, not the file: say where in the file it lies.
        ar.ThrowError(e.m_cause, "bad packed record", recordAt, "packed record", e.what());
    }
    m_recordID = ar.ReadDword("record ID");
    if (schema >= 6) {
        BYTE pk[8];
        ar.ReadExact(pk, sizeof pk, "PK identifier");
        if (TakesArchivedPKID()) {
            SetPKID(CUID::FromBytes(pk));
        }
        m_timeStamp = ar.ReadLong("time stamp");
    }
    m_needsSync = ar.ReadWord("needs-sync flag") != 0;
    m_deleted = ar.ReadWord("deleted flag") != 0;
    if (schema <= 2) {
        (void)ar.ReadWord("old CRC word");
        PackPalmRecord(true);
    }
    const std::size_t n = m_palmRecord.size();
    m_crc = static_cast<WORD>((n > 0 ? m_palmRecord[0] << 8 : 0) | (n > 1 ? m_palmRecord[1] : 0));
    m_cloudSync = ar.ReadWord("cloud-sync flag") == 1;
    m_attachmentPresent = ar.ReadLong("attachment-present value");
    m_attachmentDeleted = ar.ReadLong("attachment-deleted value");
    if (schema >= 8) {
        m_extraString1 = ar.ReadString("extra string 1");
        m_extraString2 = ar.ReadString("extra string 2");
        m_extraValue1 = ar.ReadDword("extra value 1");
        m_extraValue2 = ar.ReadWord("extra value 2");
    }
    if (schema >= 9) {
        m_extraValue3 = ar.ReadDword("extra value 3");
        m_itemFlags = ar.ReadWord("item flag word");
    }
}

}  // namespace LKMDB7
