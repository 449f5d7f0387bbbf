// A buffered reader or writer of the database's binary encodings over a CFile: little-endian
// integers, length-prefixed strings, counts, and tagged objects that name their class. Reading
// treats every byte as untrusted: a length is checked against what the file still holds before
// anything is allocated, and every failure raises CArchiveException whose message names the
// source, the byte offset and the field ("db.lkb: unexpected end of data at byte 1234 while
// reading record ID"). Errors of the file itself pass through as CFileException.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "lkmdb7/platform/CFile.h"
#include "lkmdb7/platform/CObject.h"
#include "lkmdb7/platform/CString.h"
#include "lkmdb7/platform/Exceptions.h"
#include "lkmdb7/platform/Export.h"
#include "lkmdb7/platform/Types.h"

namespace LKMDB7 {

class PointerIndexMap;

// See the top of this header. One direction for its whole life: storing or loading.
class LKMDB7_EXPORT CArchive {
  public:
    // The direction, given to the constructor.
    enum Mode : UINT {
        store = 0,  // writes
        load = 1    // reads
    };

    // The largest length that reading accepts for one field, whatever the file holds.
    static constexpr ULONGLONG kMaxFieldLength = 256u * 1024u * 1024u;

    // The archive uses the file from its current position and does not own it: the file must
    // outlive the archive, and the archive never closes it. A null file or a buffer size below 1
    // raises CInvalidArgException.
    CArchive(CFile* file, UINT mode, int bufSize = 4096);
    // Neither writes out the buffer nor raises: call Close() to keep what was stored.
    ~CArchive();
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;

    // @{
    // The direction given to the constructor.
    bool IsLoading() const { return m_bLoading; }
    bool IsStoring() const { return !m_bLoading; }
    // @}
    CFile* GetFile() const { return m_pFile; }  // the file, still the caller's; null once closed
    // @{
    // The name that every message starts with; the file's path unless set.
    void SetName(const CString& name) { m_strName = name; }
    const CString& GetName() const { return m_strName; }
    // @}
    // Offset in the file of the next byte to be read or written.
    ULONGLONG GetPosition() const;

    // Storing: writes the buffer to the file (no flush to disk; that is CFile::Flush). Loading:
    // drops the read-ahead and moves the file back to the next unread byte.
    void Flush();
    // Flush, then detach from the file. Any later use raises CArchiveException.
    void Close();
    // Detach without writing anything; never raises.
    void Abort() noexcept;

    // Raw bytes. Read returns fewer than asked only at the end of the data.
    UINT Read(void* buffer, UINT count);
    // Writes count raw bytes (through the buffer).
    void Write(const void* buffer, UINT count);
    // Exactly count bytes, or CArchiveException(endOfFile) naming what.
    void ReadExact(void* buffer, std::size_t count, const char* what);
    // Raises unless count bytes could still be read: CArchiveException(endOfFile) when the file
    // holds fewer, genericException above kMaxFieldLength. For lengths read from the data, before
    // a buffer of that size is allocated.
    void EnsureAvailable(ULONGLONG count, const char* what);

    // @{
    // Little-endian integers of 1, 2, 4, 4 (signed) and 8 bytes. A short read raises
    // CArchiveException(endOfFile) naming what.
    BYTE ReadByte(const char* what);
    WORD ReadWord(const char* what);
    DWORD ReadDword(const char* what);
    LONG ReadLong(const char* what);
    ULONGLONG ReadQword(const char* what);
    // @}
    // @{
    // Little-endian integers of 1, 2, 4, 4 (signed) and 8 bytes.
    void WriteByte(BYTE value);
    void WriteWord(WORD value);
    void WriteDword(DWORD value);
    void WriteLong(LONG value);
    void WriteQword(ULONGLONG value);
    // @}

    // Length-prefixed single-byte text: 1 byte for 0..254 bytes, FF + u16 up to 65533,
    // FF FF FF + u32 beyond. Longer than 0xFFFFFFFE bytes raises CArchiveException.
    void WriteString(const CString& text);
    // Accepts every prefix form, and the 16-bit character form (UTF-16LE, converted to the ANSI
    // code page by AnsiFromUtf16; a character without a byte becomes '?'). A 16-bit length
    // whose byte count overflows 32 bits raises COleException 0x80070216.
    CString ReadString(const char* what);

    // @{
    // Element counts: u16, or FFFF + u32 from 0xFFFF on.
    void WriteCount(DWORD count);
    DWORD ReadCount(const char* what);
    // @}

    // A tagged object: its class (described on first use, else referred to by index), then its
    // own Serialize. A null object is the tag 0000; an object written before is referred to by
    // its index. The class must be registered under its name (CRuntimeClass::Register),
    // otherwise CArchiveException(badClass): a file naming it could not be read back.
    void WriteObject(const CObject* object);
    // Creates and reads one object, which the caller owns. Its class must be registered and be
    // requiredBase or derived from it (badClass otherwise). A null tag, a reference to an object
    // read before, or a class index that names no class read before raise badIndex: a stored list
    // holds neither nulls nor the same object twice. When the object's Serialize raises, the
    // object is destroyed and the exception passes on.
    std::unique_ptr<CObject> ReadObject(const CRuntimeClass* requiredBase, const char* what);
    // ReadObject of class T or a class derived from it, as a T.
    template <class T>
    std::unique_ptr<T> ReadObjectOf(const char* what) {
        return std::unique_ptr<T>(
            static_cast<T*>(ReadObject(LKMDB7_RUNTIME_CLASS(T), what).release()));
    }
    // Loading: from now on a reference to class index `index` names cls of this schema, as if
    // its description had been read there; indexes that the archive's own reading gave out come
    // first. For reading an object from the middle of a damaged file, whose class was described
    // in bytes before. Raises CInvalidArgException for a null class or an index of 0 or above
    // 0x7FFFFFFF.
    void DeclareClass(DWORD index, const CRuntimeClass* cls, UINT schema);
    // While an object's Serialize reads: the schema number that its class description carried,
    // once; later calls return (UINT)-1.
    UINT GetObjectSchema();

    // Raises CArchiveException(cause) in this archive's message form: "<name>: <problem> at byte
    // <offset> while reading <what>", followed by " (<detail>)" when there is one.
    [[noreturn]] void ThrowError(int cause, const std::string& problem, ULONGLONG offset,
                                 const char* what, const std::string& detail = {}) const;

  private:
    struct LoadedEntry {
        const CRuntimeClass* cls;  // null for an object
        UINT schema;
    };

    void RequireOpen() const;
    void RequireLoading() const;
    void RequireStoring() const;
    bool FillBuffer();
    void WriteBuffer();
    bool RemainingBytes(ULONGLONG& remaining) const;
    DWORD NextIndex(std::size_t used) const;
    // The class that a class index names, or null.
    const LoadedEntry* FindClass(DWORD index) const;
    void WriteClassTag(const CRuntimeClass* cls);
    void WriteIndexTag(DWORD index, bool isClass);

    CFile* m_pFile;
    bool m_bLoading;
    CString m_strName;
    std::vector<BYTE> m_buffer;
    std::size_t m_cur = 0;  // next byte in the buffer to read, or bytes held for writing
    std::size_t m_end = 0;  // loading: bytes in the buffer
    // Loading: file offset just past the buffered bytes. Storing: where the buffer goes.
    ULONGLONG m_fileOffset = 0;

    UINT m_nObjectSchema = static_cast<UINT>(-1);
    std::vector<LoadedEntry> m_loaded;                      // by index; index 0 stands for null
    std::vector<std::pair<DWORD, LoadedEntry>> m_declared;  // DeclareClass; few, searched in order
    std::vector<std::pair<const CRuntimeClass*, DWORD>> m_storedClasses;  // few: searched in order
    std::unique_ptr<PointerIndexMap> m_storedObjects;  // made when the first object is stored
    DWORD m_nextStoreIndex = 1;
};

}  // namespace LKMDB7
