#include "lkmdb7/items/BaseItem.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstring>
#include <functional>
#include <new>
#include <string>
#include <utility>

#include "lkmdb7/foundation/internal/Blowfish.h"
#include "lkmdb7/foundation/internal/Crc16.h"
#include "lkmdb7/foundation/internal/UidGenerator.h"
#include "lkmdb7/items/PackedFormat.h"
#include "lkmdb7/items/RecordCipher.h"
#include "lkmdb7/items/internal/ItemChangeWatch.h"
#include "lkmdb7/items/internal/PackedText.h"
#include "lkmdb7/platform/CArchive.h"
#include "lkmdb7/platform/Exceptions.h"
#include "lkmdb7/platform/internal/Clock.h"

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

LKMDB7_IMPLEMENT_SERIAL(CBaseItem, CObject, kVersionableSchema | 9)

namespace {

// Rare-text slots of the two extra strings, which only the archived body carries.
constexpr int kExtraString1 = 0;
constexpr int kExtraString2 = 1;

}  // namespace

struct CBaseItem::PackedPlain {
    // Bytes 0 to L-8 before enciphering, then possibly more (the tail of a record that a load
    // deciphered, when that record became these bytes).
    std::vector<BYTE> bytes;
    std::size_t body = 0;  // L-7
    ULONGLONG cipherGeneration = 0;
};

CBaseItem::CBaseItem() : m_recordID(GenerateRecordID()), m_timeStamp(static_cast<LONG>(Time64())) {}

CBaseItem::~CBaseItem() = default;

void CBaseItem::NoteIndexedValueChange() const {
    if (m_changeCount != nullptr) {
        ++m_changeCount->value;
    }
}

// The setters of indexed values report only a real change: reading an item back from its own
// packed form sets each of them to what it holds, and must not cost the lists their indexes.
void CBaseItem::SetUniqueID(const CUID& id) {
    if (m_uniqueID != id) {
        m_uniqueID = id;
        NoteIdentityChange();
    }
}

void CBaseItem::SetPKID(const CUID& id) {
    CBaseItem::SetUniqueID(id);
}

void CBaseItem::SetRecordID(DWORD id) {
    if (m_recordID != id) {
        m_recordID = id;
        NoteIndexedValueChange();
    }
}

DWORD CBaseItem::GenerateRecordID() {
    SeedRandomAndDraw(GetTickCount());
    return static_cast<DWORD>(NowSince1904());
}

bool CBaseItem::IsEmpty() const {
    for (int i = 0; i < kFieldCount; ++i) {
        if (!WorkingText(i).empty()) {
            return false;
        }
    }
    return true;
}

CBaseItem& CBaseItem::operator=(CBaseItem& source) {
    if (&source == this) {
        return *this;
    }
    OwnTexts();
    NoteIdentityChange();
    m_recordID = source.m_recordID;
    m_needsSync = source.m_needsSync;
    m_deleted = source.m_deleted;
    m_cloudSync = source.m_cloudSync;
    for (int i = 0; i < kFieldCount; ++i) {
        SetWorkingText(i, source.WorkingText(i));
    }
    m_mask = source.m_mask;
    m_uniqueID = source.m_uniqueID;
    m_iconIndex = source.m_iconIndex;
    ForgetPackedPlain();
    m_palmRecord.clear();
    m_palmRecord = source.m_palmRecord;
    m_hasPalmRecord = true;
    m_checksumFailedAtLoad = source.m_checksumFailedAtLoad;
    m_crc = source.m_crc;
    if (source.m_timeStamp > 0) {
        m_timeStamp = source.m_timeStamp;
    }
    return *this;
}

char* CBaseItem::WritePalmRecord(char* /*buffer*/) {
    return nullptr;
}

char* CBaseItem::ReadPackedRecord(char* /*record*/, const char* /*end*/, std::size_t /*length*/) {
    return nullptr;
}

void CBaseItem::ForgetPackedPlain() {
    OwnTexts();
    m_packedPlain.reset();
}

void CBaseItem::OwnTexts() {
    try {
        m_texts.Own();
    } catch (const std::bad_alloc&) {
        AfxThrowMemoryException();
    }
}

bool CBaseItem::InPalmRecord(std::string_view text) const {
    if (text.empty() || m_palmRecord.empty()) {
        return false;
    }
    const std::less<const char*> before;
    const char* const begin = reinterpret_cast<const char*>(m_palmRecord.data());
    const char* const end = begin + m_palmRecord.size();
    return !before(text.data(), begin) && !before(end, text.data() + text.size());
}

void CBaseItem::UnpackText(int slot, std::string_view text) {
    if (InPalmRecord(text)) {
        m_texts.Unpack(slot, reinterpret_cast<const char*>(m_palmRecord.data()), text);
    } else {
        m_texts.Unpack(slot, text);
    }
}

void CBaseItem::InstallPalmRecord(std::vector<BYTE> bytes) {
    ForgetPackedPlain();
    m_palmRecord = std::move(bytes);
    m_hasPalmRecord = true;
}

void CBaseItem::SwapPalmRecord(std::vector<BYTE>& bytes, bool& present) {
    ForgetPackedPlain();
    m_palmRecord.swap(bytes);
    const bool had = m_hasPalmRecord;
    m_hasPalmRecord = present;
    present = had;
}

void CBaseItem::SetPalmRecord(char* bytes, int count) {
    if (count < 0 || (count > 0 && bytes == nullptr)) {
        AfxThrowInvalidArgException("SetPalmRecord: bad byte count " + std::to_string(count));
    }
    ForgetPackedPlain();
    m_palmRecord.clear();
    m_hasPalmRecord = false;
    std::vector<BYTE> copy = AllocateBytes(static_cast<std::size_t>(count));
    if (count > 0) {
        std::memcpy(copy.data(), bytes, static_cast<std::size_t>(count));
    }
    InstallPalmRecord(std::move(copy));
    m_checksumFailedAtLoad = false;  // the host's bytes replace what was misread
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

LONG CBaseItem::CheckPackedSize() {
    const LONG size = CalculateRecordSize();
    if (size >= 0 && static_cast<ULONGLONG>(size) > kMaxPackedRecordSize) {
        std::string item = GetRuntimeClass()->m_lpszClassName;
        if (GetListType() == 0) {
            item += " " + std::to_string(m_recordID);
        } else {
            const std::string name = GetName().str();
            item += " \"" + (name.size() > 40 ? name.substr(0, 40) + "..." : name) + "\"";
        }
        AfxThrowInvalidArgException(item + ": its packed record would be " + std::to_string(size) +
                                    " bytes, over the limit of " +
                                    std::to_string(kMaxPackedRecordSize) +
                                    " bytes; shorten its texts");
    }
    return size;
}

void CBaseItem::PackPalmRecord(bool encipher) {
    // Everything that can fail comes before anything changes: a refused or failed packing leaves
    // the item as it was.
    const LONG size = CheckPackedSize();
    if (size < static_cast<LONG>(kPackedHeaderSize + kPackedTailSize)) {
        AfxThrowInvalidArgException(std::string("PackPalmRecord: class ") +
                                    GetRuntimeClass()->m_lpszClassName + " has no packed form");
    }
    const auto length = static_cast<std::size_t>(size);
    const std::size_t body = length - kPackedTailSize;
    const BlowfishKey* cipher = encipher ? GetRecordCipher() : nullptr;

    // The plain record is made beside the buffer, on the stack when it fits.
    std::array<BYTE, 1024> small{};
    std::vector<BYTE> large;
    BYTE* plain = small.data();
    if (length > small.size()) {
        try {
            large.resize(length);
        } catch (const std::bad_alloc&) {
            AfxThrowMemoryException();
        }
        plain = large.data();
    }
    char* const start = reinterpret_cast<char*>(plain);
    if (WritePalmRecord(start) != start + body) {
        AfxThrowInvalidArgException("PackPalmRecord: writer and size disagree");
    }
    for (std::size_t i = body; i < length; ++i) {
        plain[i] = NextTailByte();
    }
    const PackedPlain* const previous = m_packedPlain.get();
    // Bytes 0-1 are the CRC over the others with those two zeroed: equal bytes from 2 on mean an
    // equal CRC.
    const bool unchanged = cipher != nullptr && previous != nullptr &&
                           previous->cipherGeneration == GetRecordCipherGeneration() &&
                           m_palmRecord.size() == length && previous->body == body &&
                           std::memcmp(previous->bytes.data() + 2, plain + 2, body - 2) == 0;
    if (unchanged) {
        plain[0] = previous->bytes[0];
        plain[1] = previous->bytes[1];
    } else {
        const WORD crc = PackedRecordCrc(plain, body);
        plain[0] = static_cast<BYTE>(crc >> 8);
        plain[1] = static_cast<BYTE>(crc & 0xFF);
    }
    // After an unpacking the texts read from the deciphered record. When this packing writes the
    // same bytes, that record becomes the plain bytes kept for the next packing, and the texts go
    // on reading from it: a first save after a load copies no text.
    const bool handOver = cipher != nullptr && previous == nullptr && m_texts.Borrows() &&
                          m_texts.BorrowsFrom(m_palmRecord.data()) &&
                          m_palmRecord.size() == length &&
                          std::memcmp(m_palmRecord.data() + 2, plain + 2, body - 2) == 0;
    const bool keepsPrevious = unchanged && m_texts.BorrowsFrom(previous->bytes.data());
    if (m_texts.Borrows() && !handOver && !keepsPrevious) {
        OwnTexts();  // the bytes they read are about to change
    }
    std::vector<BYTE> record;
    std::unique_ptr<PackedPlain> kept;
    try {
        // The record is built in the old buffer's storage when it is large enough: repacking
        // (every save) allocates nothing.
        if (handOver || m_palmRecord.capacity() < length) {
            record.resize(length);
        }
        if (handOver) {
            kept = std::make_unique<PackedPlain>();
        }
    } catch (const std::bad_alloc&) {
        AfxThrowMemoryException();
    }

    // Nothing below throws.
    std::vector<BYTE> handed;
    if (handOver) {
        handed = std::move(m_palmRecord);
    } else if (record.empty()) {
        record = std::move(m_palmRecord);
        record.resize(length);  // within its capacity
    }
    m_palmRecord = {};
    if (cipher == nullptr) {
        std::memcpy(record.data(), plain, length);
        m_packedPlain.reset();
        m_palmRecord = std::move(record);
        m_hasPalmRecord = true;
        return;
    }
    // Whole blocks of the 16-bit length from the header on are enciphered, each on its own.
    const std::size_t ciphered = static_cast<WORD>(length - kPackedHeaderSize) & ~std::size_t{7};
    // First byte to encipher afresh: the header's end, or for unchanged content the block that
    // holds the first tail byte (blocks before it are as the last packing left them).
    std::size_t from = kPackedHeaderSize;
    if (unchanged) {
        from += std::min((body - kPackedHeaderSize) / 8 * 8, ciphered);
        std::memcpy(record.data() + from, plain + from, length - from);
    } else {
        std::memcpy(record.data(), plain, length);
    }
    if (from < kPackedHeaderSize + ciphered) {
        BlowfishCryptBytes(cipher, record.data() + from, kPackedHeaderSize + ciphered - from, true);
    }

    if (handOver) {
        // Only the CRC changes (a damaged record's may have been wrong); no text lies there.
        kept->bytes = std::move(handed);
        kept->bytes[0] = plain[0];
        kept->bytes[1] = plain[1];
        kept->body = body;
        kept->cipherGeneration = GetRecordCipherGeneration();
        m_packedPlain = std::move(kept);
    } else if (unchanged) {
        m_packedPlain->cipherGeneration = GetRecordCipherGeneration();
    } else {
        // Keeping the plain bytes only saves time later, so running out of memory costs nothing.
        try {
            if (m_packedPlain == nullptr) {
                m_packedPlain = std::make_unique<PackedPlain>();
            }
            m_packedPlain->bytes.assign(plain, plain + body);
            m_packedPlain->body = body;
            m_packedPlain->cipherGeneration = GetRecordCipherGeneration();
        } catch (const std::bad_alloc&) {
            m_packedPlain.reset();
        }
    }
    m_palmRecord = std::move(record);
    m_hasPalmRecord = true;
}

void CBaseItem::PuffPalmRecord(bool decipher) {
    if (!m_hasPalmRecord) {
        return;
    }
    const std::size_t length = m_palmRecord.size();
    if (length < kPackedHeaderSize) {
        ThrowShortRecord(length, kPackedHeaderSize, "current form");
    }
    ForgetPackedPlain();  // before deciphering in place
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
    const int texts = LayoutVersion() < 6 ? kOldFormFieldCount : kFieldCount;
    PackedCursor cursor(reinterpret_cast<const BYTE*>(p), end);
    for (int i = 0; i < texts; ++i) {
        SetWorkingText(i, cursor.ReadView());
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
    ForgetPackedPlain();  // before deciphering in place
    const BlowfishKey* cipher = GetRecordCipher();
    if (cipher != nullptr) {
        BlowfishCryptBuffer(cipher, m_palmRecord.data() + kOldFormV2HeaderSize,
                            static_cast<WORD>(length - kOldFormV2HeaderSize), 0);
    }
    m_crc = static_cast<WORD>((m_palmRecord[4] << 8) | m_palmRecord[5]);
    ReadOldForm(kOldFormV2HeaderSize);
}

int CBaseItem::WriteName(char*& /*p*/) {
    return 0;
}
void CBaseItem::ReadName(const char*& /*p*/, const char* /*end*/) {}
int CBaseItem::WriteNote(char*& /*p*/) {
    return 0;
}
void CBaseItem::ReadNote(const char*& /*p*/, const char* /*end*/) {}

void CBaseItem::CheckFieldIndex(int i, const char* operation) {
    if (i < 0 || i >= kFieldCount) {
        AfxThrowInvalidArgException(std::string(operation) + ": index " + std::to_string(i) +
                                    " outside 0 to 9");
    }
}

void CBaseItem::SetCustom(int i, const CString& value) {
    CheckFieldIndex(i, "SetCustom");
    SetWorkingText(i, value.str());
}

void CBaseItem::SetCustom(const CStringArray& values) {
    const auto value = [&values](int i) {
        return i < values.GetSize() ? std::string_view(values.GetAt(i).str()) : std::string_view();
    };
    std::size_t apart = 0;
    for (int i = 0; i < kFieldCount; ++i) {
        if (value(i) != m_texts.Unpacked(i)) {
            apart += value(i).size();
        }
    }
    m_texts.ReserveWorking(apart);  // a new record's texts then take one allocation, not several
    for (int i = 0; i < kFieldCount; ++i) {
        SetWorkingText(i, value(i));
    }
}

CString CBaseItem::GetCustom(int i) const {
    CheckFieldIndex(i, "GetCustom");
    return GetUnpacked(i);
}

namespace {

std::string Hex(unsigned long long value) {
    char digits[2 * sizeof value];
    std::string hex(digits, std::to_chars(digits, digits + sizeof digits, value, 16).ptr);
    for (char& c : hex) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return "0x" + hex;
}

}  // namespace

WORD CheckFieldMask(unsigned long long value) {
    if ((value & ~static_cast<unsigned long long>(kFieldMaskBits)) != 0) {
        AfxThrowInvalidArgException("mask " + Hex(value) +
                                    " sets bits outside the ten fields (at most " +
                                    Hex(kFieldMaskBits) + ")");
    }
    return static_cast<WORD>(value);
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
    if (m_deleted != deleted) {
        m_deleted = deleted;
        NoteIdentityChange();
    }
    m_needsSync = true;
    m_cloudSync = false;
}

void CBaseItem::SetLocalOnly(bool on) {
    m_itemFlags = on ? static_cast<WORD>(m_itemFlags | kLocalOnlyFlag)
                     : static_cast<WORD>(m_itemFlags & ~kLocalOnlyFlag);
}

void CBaseItem::renewTimeStamp() {
    m_timeStamp = static_cast<LONG>(Time64());
}

bool CBaseItem::CompareRecord(const CBaseItem* other) const {
    if (other == nullptr || !m_hasPalmRecord || !other->m_hasPalmRecord) {
        return false;
    }
    return m_palmRecord == other->m_palmRecord;
}

bool CBaseItem::HasPackedForm() {
    return CalculateRecordSize() >= static_cast<LONG>(kPackedHeaderSize + kPackedTailSize);
}

UINT CBaseItem::LayoutVersion() const {
    return GetRuntimeClass()->m_wSchema & ~kVersionableSchema;
}

bool CBaseItem::TakesArchivedPKID() const {
    return false;
}

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
    ar.WriteString(RareText(kExtraString1));
    ar.WriteString(RareText(kExtraString2));
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
    // Judged now, while the packed record is still the file's: a later conversion to the
    // current form would give misread texts a valid checksum.
    m_checksumFailedAtLoad =
        PackedRecordHasChecksum(schema) && PackedChecksumFault(m_palmRecord).has_value();
    NoteIdentityChange();
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
        // A plain category (the record types of these files) has no current form: it keeps the
        // old one until the types list turns it into a record type. Texts too long for the
        // current form stay in the old one too: the file still reads, and saving it is refused
        // with the reason.
        if (HasPackedForm() &&
            static_cast<ULONGLONG>(CalculateRecordSize()) <= kMaxPackedRecordSize) {
            PackPalmRecord(true);
        }
    }
    const std::size_t n = m_palmRecord.size();
    m_crc = static_cast<WORD>((n > 0 ? m_palmRecord[0] << 8 : 0) | (n > 1 ? m_palmRecord[1] : 0));
    m_cloudSync = ar.ReadWord("cloud-sync flag") == 1;
    m_attachmentPresent = ar.ReadLong("attachment-present value");
    m_attachmentDeleted = ar.ReadLong("attachment-deleted value");
    if (schema >= 8) {
        SetRareText(kExtraString1, ar.ReadString("extra string 1"));
        SetRareText(kExtraString2, ar.ReadString("extra string 2"));
        m_extraValue1 = ar.ReadDword("extra value 1");
        m_extraValue2 = ar.ReadWord("extra value 2");
    }
    if (schema >= 9) {
        m_extraValue3 = ar.ReadDword("extra value 3");
        m_itemFlags = ar.ReadWord("item flag word");
    }
}

}  // namespace LKMDB7
