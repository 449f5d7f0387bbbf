#include "lkmdb7/platform/CArchive.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <utility>

#include "lkmdb7/platform/internal/AnsiText.h"
#include "lkmdb7/platform/internal/ByteOrder.h"
#include "lkmdb7/platform/internal/PointerIndexMap.h"

namespace LKMDB7 {

namespace {

constexpr DWORD kMaxIndex = 0x7FFFFFFF;  // a 32-bit tag keeps bit 31 for "class"
constexpr WORD kNewClassTag = 0xFFFF;
constexpr WORD kBigTag = 0x7FFF;
constexpr DWORD kBigClassFlag = 0x80000000u;
constexpr std::size_t kMaxClassName = 64;  // a class name read must be shorter than this
constexpr SCODE kArithmeticOverflow = static_cast<SCODE>(0x80070216u);

const char* OrData(const char* what) {
    return what != nullptr ? what : "data";
}

// Bytes from a file, shown safely in a message.
std::string Printable(const std::string& s) {
    std::string out;
    for (const char c : s) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b < 0x7F) {
            out += c;
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned>(b));
            out += hex;
        }
    }
    return out;
}

}  // namespace

CArchive::CArchive(CFile* file, UINT mode, int bufSize)
    : m_pFile(file), m_bLoading((mode & load) != 0) {
    if (file == nullptr) {
        AfxThrowInvalidArgException("CArchive: no file");
    }
    if (bufSize < 1) {
        AfxThrowInvalidArgException("CArchive: buffer size must be positive");
    }
    m_strName = file->GetFilePath();
    if (m_strName.IsEmpty()) {
        m_strName = "archive";
    }
    m_buffer.resize(static_cast<std::size_t>(bufSize));
    m_fileOffset = file->GetPosition();
    if (m_bLoading) {
        m_loaded.push_back({nullptr, 0});
    }
}

CArchive::~CArchive() {
    Abort();
}

ULONGLONG CArchive::GetPosition() const {
    return m_bLoading ? m_fileOffset - (m_end - m_cur) : m_fileOffset + m_cur;
}

void CArchive::ThrowError(int cause, const std::string& problem, ULONGLONG offset, const char* what,
                          const std::string& detail) const {
    std::string message = m_strName.str() + ": " + problem + " at byte " + std::to_string(offset) +
                          " while reading " + OrData(what);
    if (!detail.empty()) {
        message += " (" + detail + ")";
    }
    throw CArchiveException(cause, std::move(message));
}

void CArchive::RequireOpen() const {
    if (m_pFile == nullptr) {
        throw CArchiveException(CArchiveException::genericException,
                                m_strName.str() + ": archive used after it was closed");
    }
}

void CArchive::RequireLoading() const {
    RequireOpen();
    if (!m_bLoading) {
        throw CArchiveException(CArchiveException::writeOnly,
                                m_strName.str() + ": read from an archive that stores");
    }
}

void CArchive::RequireStoring() const {
    RequireOpen();
    if (m_bLoading) {
        throw CArchiveException(CArchiveException::readOnly,
                                m_strName.str() + ": write to an archive that loads");
    }
}

void CArchive::Flush() {
    RequireOpen();
    if (m_bLoading) {
        const std::size_t unread = m_end - m_cur;
        if (unread > 0) {
            m_pFile->Seek(-static_cast<LONGLONG>(unread), CFile::current);
            m_fileOffset -= unread;
        }
        m_cur = m_end = 0;
    } else {
        WriteBuffer();
    }
}

void CArchive::Close() {
    Flush();
    m_pFile = nullptr;
}

void CArchive::Abort() noexcept {
    m_pFile = nullptr;
    m_cur = m_end = 0;
}

bool CArchive::FillBuffer() {
    const UINT got = m_pFile->Read(m_buffer.data(), static_cast<UINT>(m_buffer.size()));
    m_fileOffset += got;
    m_cur = 0;
    m_end = got;
    return got > 0;
}

void CArchive::WriteBuffer() {
    if (m_cur > 0) {
        m_pFile->Write(m_buffer.data(), static_cast<UINT>(m_cur));
        m_fileOffset += m_cur;
        m_cur = 0;
    }
}

UINT CArchive::Read(void* buffer, UINT count) {
    RequireLoading();
    auto* out = static_cast<BYTE*>(buffer);
    UINT done = 0;
    while (done < count) {
        if (m_cur == m_end) {
            const UINT left = count - done;
            if (left >= m_buffer.size()) {
                // Large reads bypass the buffer.
                const UINT got = m_pFile->Read(out + done, left);
                m_fileOffset += got;
                done += got;
                if (got == 0) {
                    break;
                }
                continue;
            }
            if (!FillBuffer()) {
                break;
            }
        }
        const std::size_t n = std::min<std::size_t>(count - done, m_end - m_cur);
        std::memcpy(out + done, m_buffer.data() + m_cur, n);
        m_cur += n;
        done += static_cast<UINT>(n);
    }
    return done;
}

void CArchive::ReadExact(void* buffer, std::size_t count, const char* what) {
    RequireLoading();
    if (count == 0) {
        return;
    }
    if (count <= m_end - m_cur) {
        std::memcpy(buffer, m_buffer.data() + m_cur, count);
        m_cur += count;
        return;
    }
    const ULONGLONG start = GetPosition();
    auto* out = static_cast<BYTE*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const UINT chunk = static_cast<UINT>(
            std::min<std::size_t>(count - done, std::numeric_limits<UINT>::max()));
        const UINT got = Read(out + done, chunk);
        done += got;
        if (got < chunk) {
            ThrowError(CArchiveException::endOfFile, "unexpected end of data", start, what,
                       std::to_string(count) + " bytes needed, " + std::to_string(done) + " left");
        }
    }
}

void CArchive::Write(const void* buffer, UINT count) {
    RequireStoring();
    const auto* in = static_cast<const BYTE*>(buffer);
    if (count <= m_buffer.size() - m_cur) {
        // Most writes are a few bytes of one item.
        std::memcpy(m_buffer.data() + m_cur, in, count);
        m_cur += count;
        return;
    }
    while (count > 0) {
        if (m_cur == m_buffer.size()) {
            WriteBuffer();
        }
        if (m_cur == 0 && count >= m_buffer.size()) {
            m_pFile->Write(in, count);
            m_fileOffset += count;
            return;
        }
        const std::size_t n = std::min<std::size_t>(count, m_buffer.size() - m_cur);
        std::memcpy(m_buffer.data() + m_cur, in, n);
        m_cur += n;
        in += n;
        count -= static_cast<UINT>(n);
    }
}

bool CArchive::RemainingBytes(ULONGLONG& remaining) const {
    ULONGLONG length = 0;
    try {
        length = m_pFile->GetLength();
    } catch (const CFileException&) {
        return false;  // a file that cannot tell; the fixed limit still applies
    }
    remaining = (m_end - m_cur) + (length > m_fileOffset ? length - m_fileOffset : 0);
    return true;
}

void CArchive::EnsureAvailable(ULONGLONG count, const char* what) {
    RequireLoading();
    if (count <= m_end - m_cur) {
        return;
    }
    ULONGLONG remaining = 0;
    if (RemainingBytes(remaining) && count > remaining) {
        ThrowError(CArchiveException::endOfFile, "unexpected end of data", GetPosition(), what,
                   std::to_string(count) + " bytes needed, " + std::to_string(remaining) + " left");
    }
    if (count > kMaxFieldLength) {
        ThrowError(CArchiveException::genericException,
                   "length " + std::to_string(count) + " beyond the limit", GetPosition(), what);
    }
}

BYTE CArchive::ReadByte(const char* what) {
    BYTE b = 0;
    ReadExact(&b, 1, what);
    return b;
}

WORD CArchive::ReadWord(const char* what) {
    BYTE b[2];
    ReadExact(b, sizeof b, what);
    return GetLE16(b);
}

DWORD CArchive::ReadDword(const char* what) {
    BYTE b[4];
    ReadExact(b, sizeof b, what);
    return GetLE32(b);
}

LONG CArchive::ReadLong(const char* what) {
    return static_cast<LONG>(ReadDword(what));
}

ULONGLONG CArchive::ReadQword(const char* what) {
    BYTE b[8];
    ReadExact(b, sizeof b, what);
    return GetLE64(b);
}

void CArchive::WriteByte(BYTE value) {
    Write(&value, 1);
}

void CArchive::WriteWord(WORD value) {
    BYTE b[2];
    PutLE16(b, value);
    Write(b, sizeof b);
}

void CArchive::WriteDword(DWORD value) {
    BYTE b[4];
    PutLE32(b, value);
    Write(b, sizeof b);
}

void CArchive::WriteLong(LONG value) {
    WriteDword(static_cast<DWORD>(value));
}

void CArchive::WriteQword(ULONGLONG value) {
    BYTE b[8];
    PutLE64(b, value);
    Write(b, sizeof b);
}

void CArchive::WriteString(const CString& text) {
    const std::string& s = text.str();
    const std::size_t n = s.size();
    if (n < 0xFF) {
        WriteByte(static_cast<BYTE>(n));
    } else if (n < 0xFFFE) {
        WriteByte(0xFF);
        WriteWord(static_cast<WORD>(n));
    } else if (n < 0xFFFFFFFFu) {
        WriteByte(0xFF);
        WriteWord(0xFFFF);
        WriteDword(static_cast<DWORD>(n));
    } else {
        throw CArchiveException(
            CArchiveException::genericException,
            m_strName.str() + ": text of " + std::to_string(n) + " bytes is too long to store");
    }
    // Write takes a UINT; n fits, as checked above.
    Write(s.data(), static_cast<UINT>(n));
}

CString CArchive::ReadString(const char* what) {
    const ULONGLONG start = GetPosition();
    ULONGLONG length = ReadByte(what);
    bool wide = false;
    if (length == 0xFF) {
        const WORD w = ReadWord(what);
        if (w == 0xFFFE) {
            // 16-bit characters; the length follows in byte, word, dword layers.
            wide = true;
            length = ReadByte(what);
            if (length == 0xFF) {
                length = ReadWord(what);
                if (length == 0xFFFF) {
                    length = ReadDword(what);
                }
            }
        } else if (w == 0xFFFF) {
            length = ReadDword(what);
            if (length == 0xFFFFFFFFu) {
                length = ReadQword(what);
            }
        } else {
            length = w;
        }
    }

    if (!wide) {
        EnsureAvailable(length, what);
        std::string s(static_cast<std::size_t>(length), '\0');
        ReadExact(s.data(), s.size(), what);
        return CString(std::move(s));
    }

    if (length > 0x7FFFFFFFu) {
        throw COleException(kArithmeticOverflow,
                            m_strName.str() + ": length of 16-bit text overflows at byte " +
                                std::to_string(start) + " while reading " + OrData(what));
    }
    const ULONGLONG bytes = length * 2;
    EnsureAvailable(bytes, what);
    std::vector<BYTE> units(static_cast<std::size_t>(bytes));
    ReadExact(units.data(), units.size(), what);
    std::u16string text(static_cast<std::size_t>(length), u'\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        text[i] = static_cast<char16_t>(GetLE16(&units[2 * i]));
    }
    return CString(LKMDB7::AnsiFromUtf16(text));
}

void CArchive::WriteCount(DWORD count) {
    if (count < 0xFFFF) {
        WriteWord(static_cast<WORD>(count));
    } else {
        WriteWord(0xFFFF);
        WriteDword(count);
    }
}

DWORD CArchive::ReadCount(const char* what) {
    const WORD w = ReadWord(what);
    return w != 0xFFFF ? w : ReadDword(what);
}

DWORD CArchive::NextIndex(std::size_t used) const {
    if (used > kMaxIndex) {
        throw CArchiveException(CArchiveException::genericException,
                                m_strName.str() + ": too many objects in one archive");
    }
    return static_cast<DWORD>(used);
}

void CArchive::WriteIndexTag(DWORD index, bool isClass) {
    const DWORD flag = isClass ? 0x8000u : 0u;
    if (index < kBigTag) {
        WriteWord(static_cast<WORD>(flag | index));
    } else {
        WriteWord(kBigTag);
        WriteDword((isClass ? kBigClassFlag : 0u) | index);
    }
}

void CArchive::WriteClassTag(const CRuntimeClass* cls) {
    for (const auto& [known, index] : m_storedClasses) {
        if (known == cls) {
            WriteIndexTag(index, true);
            return;
        }
    }
    const std::string name = cls->m_lpszClassName != nullptr ? cls->m_lpszClassName : "";
    if (name.empty() || name.size() >= kMaxClassName ||
        CRuntimeClass::FromName(name.c_str()) != cls) {
        throw CArchiveException(CArchiveException::badClass,
                                m_strName.str() + ": class \"" + Printable(name) +
                                    "\" is not registered, so it could not be read back");
    }
    WriteWord(kNewClassTag);
    WriteWord(static_cast<WORD>(cls->m_wSchema & 0xFFFFu));
    WriteWord(static_cast<WORD>(name.size()));
    Write(name.data(), static_cast<UINT>(name.size()));
    m_storedClasses.emplace_back(cls, NextIndex(m_nextStoreIndex));
    ++m_nextStoreIndex;
}

void CArchive::WriteObject(const CObject* object) {
    RequireStoring();
    if (object == nullptr) {
        WriteWord(0);
        return;
    }
    if (const DWORD* known = m_storedObjects ? m_storedObjects->Find(object) : nullptr) {
        WriteIndexTag(*known, false);
        return;
    }
    // The class may take the next index first, when this is its first object.
    WriteClassTag(object->GetRuntimeClass());
    try {
        if (!m_storedObjects) {
            m_storedObjects = std::make_unique<PointerIndexMap>();
        }
        m_storedObjects->Insert(object, NextIndex(m_nextStoreIndex));
    } catch (const std::bad_alloc&) {
        AfxThrowMemoryException();
    }
    ++m_nextStoreIndex;
    // Serialize is not const in the platform's interface; storing leaves the object unchanged.
    const_cast<CObject*>(object)->Serialize(*this);
}

std::unique_ptr<CObject> CArchive::ReadObject(const CRuntimeClass* requiredBase, const char* what) {
    RequireLoading();
    if (requiredBase == nullptr) {
        requiredBase = LKMDB7_RUNTIME_CLASS(CObject);
    }
    const ULONGLONG at = GetPosition();
    const WORD tag = ReadWord(what);

    bool newClass = false;
    bool isClass = false;
    DWORD index = 0;
    if (tag == kBigTag) {
        const DWORD big = ReadDword(what);
        isClass = (big & kBigClassFlag) != 0;
        index = big & ~kBigClassFlag;
    } else if (tag == kNewClassTag) {
        newClass = true;
    } else if ((tag & 0x8000u) != 0) {
        isClass = true;
        index = tag & 0x7FFFu;
    } else {
        index = tag;
    }

    const CRuntimeClass* cls = nullptr;
    UINT schema = 0;
    if (newClass) {
        schema = ReadWord(what);
        const WORD nameLength = ReadWord(what);
        if (nameLength >= kMaxClassName) {
            ThrowError(CArchiveException::badClass,
                       "class name of " + std::to_string(nameLength) + " bytes", at, what);
        }
        std::string name(nameLength, '\0');
        ReadExact(name.data(), name.size(), what);
        cls =
            name.find('\0') == std::string::npos ? CRuntimeClass::FromName(name.c_str()) : nullptr;
        if (cls == nullptr) {
            ThrowError(CArchiveException::badClass, "unknown class \"" + Printable(name) + "\"", at,
                       what);
        }
        if ((cls->m_wSchema & kVersionableSchema) == 0 && schema != (cls->m_wSchema & 0xFFFFu)) {
            ThrowError(CArchiveException::badSchema,
                       "schema " + std::to_string(schema) + " of class " + cls->m_lpszClassName, at,
                       what);
        }
        NextIndex(m_loaded.size());
        m_loaded.push_back({cls, schema});
    } else if (isClass) {
        if (index == 0 || index >= m_loaded.size() || m_loaded[index].cls == nullptr) {
            ThrowError(CArchiveException::badIndex,
                       "class index " + std::to_string(index) + " names no class read before", at,
                       what);
        }
        cls = m_loaded[index].cls;
        schema = m_loaded[index].schema;
    } else if (index == 0) {
        ThrowError(CArchiveException::badIndex, "null object", at, what);
    } else if (index < m_loaded.size() && m_loaded[index].cls == nullptr) {
        ThrowError(CArchiveException::badIndex,
                   "object index " + std::to_string(index) + " repeats an object read before", at,
                   what);
    } else {
        ThrowError(CArchiveException::badIndex,
                   "object index " + std::to_string(index) + " names no object read before", at,
                   what);
    }

    if (!cls->IsDerivedFrom(requiredBase)) {
        ThrowError(CArchiveException::badClass,
                   std::string("class ") + cls->m_lpszClassName + " where " +
                       requiredBase->m_lpszClassName + " was expected",
                   at, what);
    }
    std::unique_ptr<CObject> object(cls->CreateObject());
    if (!object) {
        ThrowError(CArchiveException::badClass,
                   std::string("class ") + cls->m_lpszClassName + " cannot be created", at, what);
    }
    NextIndex(m_loaded.size());
    m_loaded.push_back({nullptr, 0});

    m_nObjectSchema = schema;
    try {
        object->Serialize(*this);
    } catch (...) {
        m_nObjectSchema = static_cast<UINT>(-1);
        throw;
    }
    m_nObjectSchema = static_cast<UINT>(-1);
    return object;
}

UINT CArchive::GetObjectSchema() {
    const UINT schema = m_nObjectSchema;
    m_nObjectSchema = static_cast<UINT>(-1);
    return schema;
}

}  // namespace LKMDB7
