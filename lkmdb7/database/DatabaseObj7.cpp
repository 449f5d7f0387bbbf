#include "lkmdb7/database/DatabaseObj7.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "lkmdb7/database/internal/SafeFile.h"
#include "lkmdb7/foundation/PathUtils.h"
#include "lkmdb7/items/CategoryItem.h"
#include "lkmdb7/items/Record.h"
#include "lkmdb7/items/RecordCipher.h"
#include "lkmdb7/items/TypeItem.h"
#include "lkmdb7/lists/ItemRange.h"
#include "lkmdb7/lists/internal/ListIndexAccess.h"
#include "lkmdb7/platform/CArchive.h"
#include "lkmdb7/platform/CFile.h"
#include "lkmdb7/platform/SystemError.h"
#include "lkmdb7/platform/internal/Clock.h"
#include "lkmdb7/platform/internal/FileSystem.h"
#include "lkmdb7/platform/internal/KnownFolders.h"
#include "lkmdb7/platform/internal/NamedMutex.h"
#include "lkmdb7/platform/internal/PathSeparator.h"
#include "lkmdb7/platform/internal/ProfileString.h"

namespace LKMDB7 {

namespace {

// Gives back one wait for the named mutex when it leaves scope, if the wait obtained it.
class MutexHold {
  public:
    explicit MutexHold(HANDLE mutex, bool held) : mutex_(mutex), held_(held) {}
    ~MutexHold() {
        if (held_) {
            ReleaseMutex(mutex_);
        }
    }
    MutexHold(const MutexHold&) = delete;
    MutexHold& operator=(const MutexHold&) = delete;

  private:
    HANDLE mutex_;
    bool held_;
};

CString Sentence(const CString& path, const char* what) {
    return path.IsEmpty() ? CString(what) : path + ": " + what;
}

}  // namespace

LKMDB7_IMPLEMENT_SERIAL(CDatabaseObj7, CObject, kVersionableSchema | 9)

CDatabaseObj7::CDatabaseObj7() : m_mutex(CreateMutexA(nullptr, false, kDatabaseMutexName)) {
    if (m_mutex == nullptr) {
        m_mutexError = GetLastError();
        try {
            m_mutexDetail = GetLastMutexDetail();
        } catch (const std::bad_alloc&) {
            // The code alone still says why.
        }
    }
}

CDatabaseObj7::~CDatabaseObj7() {
    if (m_mutex != nullptr) {
        for (; m_lockHolds > 0; --m_lockHolds) {
            ReleaseMutex(m_mutex);
        }
        CloseHandle(m_mutex);
        m_mutex = nullptr;
    }
}

void CDatabaseObj7::Init() {
    m_crib.fill(0);
    m_palmCreateDate = 0;
    m_version = kCurrentVersion;
    m_reservedWord = 0;
    m_reserved1 = 0;
    m_reserved2 = 0;
}

LONG CDatabaseObj7::Reset(bool full) {
    if (full) {
        Init();
    }
    m_records.Reset();
    m_types.Reset();
    m_categories.Reset();
    return 0;
}

CString CDatabaseObj7::GetName() const {
    return FileNameOf(m_pathName);
}

void CDatabaseObj7::SetSyncType(SyncType type) {
    m_types.SetSyncType(type);
    m_records.SetSyncType(type);
    m_categories.SetSyncType(type);
    m_syncType = type;
}

CBaseItem* CDatabaseObj7::GetItemByRecordID(int list, DWORD recordID) {
    CObjectList* const order[] = {&m_types, &m_categories, &m_records};
    if (list == -1) {
        for (CObjectList* l : order) {
            if (CBaseItem* item = l->GetItemByRecordID(recordID, false)) {
                return item;
            }
        }
        return nullptr;
    }
    CObjectList* l = ListByNumber(list);
    return l != nullptr ? l->GetItemByRecordID(recordID, false) : nullptr;
}

CBaseItem* CDatabaseObj7::RemoveItemByRecordID(int list, DWORD recordID) {
    CObjectList* const order[] = {&m_types, &m_categories, &m_records};
    if (list == -1) {
        for (CObjectList* l : order) {
            if (CBaseItem* item = l->GetItemByRecordID(recordID, true)) {
                return item;
            }
        }
        return nullptr;
    }
    CObjectList* l = ListByNumber(list);
    return l != nullptr ? l->GetItemByRecordID(recordID, true) : nullptr;
}

CObjectList* CDatabaseObj7::ListByNumber(int list) {
    switch (list) {
        case 0:
            return &m_records;
        case 1:
            return &m_types;
        case 2:
            return &m_categories;
        default:
            return nullptr;
    }
}

// --- the file ---

std::size_t CDatabaseObj7::CountMisreadItems() {
    std::size_t misread = 0;
    for (CObjectList* list :
         {static_cast<CObjectList*>(&m_records), static_cast<CObjectList*>(&m_types),
          static_cast<CObjectList*>(&m_categories)}) {
        for (const CBaseItem& item : Items(std::as_const(*list))) {
            misread += item.FailedChecksumAtLoad() ? 1U : 0U;
        }
    }
    return misread;
}

void CDatabaseObj7::ReadItemsInCurrentForm(bool keepPackedAsRead) {
    StampClassSchemas(kCurrentVersion);
    for (CObjectList* list :
         {static_cast<CObjectList*>(&m_records), static_cast<CObjectList*>(&m_types),
          static_cast<CObjectList*>(&m_categories)}) {
        for (POSITION pos = list->GetHeadPosition(); pos != nullptr;) {
            CBaseItem* item = list->GetNextItem(pos);
            // An item too long for the current form stays as read: the save names it. A misread
            // one stays as read too, so that its checksum fault still shows.
            if (item->FailedChecksumAtLoad() || !item->HasPackedForm() ||
                static_cast<ULONGLONG>(item->CalculateRecordSize()) > kMaxPackedRecordSize) {
                continue;
            }
            std::vector<BYTE> asRead;
            bool hadRecord = false;
            const WORD crc = item->GetCRC();
            if (keepPackedAsRead) {
                item->SwapPalmRecord(asRead, hadRecord);
            }
            item->PackPalmRecord(true);
            item->PuffPalmRecord(true);
            if (keepPackedAsRead) {
                item->SwapPalmRecord(asRead, hadRecord);
                item->SetCRC(crc);
            }
        }
    }
}

void CDatabaseObj7::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        // Items are always written in the current layout, so a file headed with an older version
        // would be read back in the old one and come out garbled.
        if (m_version < kCurrentVersion) {
            m_version = kCurrentVersion;
        }
        WriteDatabaseHeader(ar, GetHeader());
    } else {
        DatabaseHeader header = ReadDatabaseHeader(ar);
        if (header.version < kFirstVersionWithCategories) {
            header.iconFileName = m_iconFileName;  // not stored: what was set stays
        }
        SetHeader(header);
    }
    StampClassSchemas(m_version);
    m_records.Serialize(ar, m_version);
    m_types.Serialize(ar, m_version);
    m_categories.Serialize(ar, m_version);
}

DatabaseHeader CDatabaseObj7::GetHeader() const {
    DatabaseHeader header;
    header.crib = m_crib;
    header.createDate = m_palmCreateDate;
    header.version = m_version;
    header.iconFileName = m_iconFileName;
    header.reservedWord = m_reservedWord;
    header.reserved1 = m_reserved1;
    header.reserved2 = m_reserved2;
    return header;
}

void CDatabaseObj7::SetHeader(const DatabaseHeader& header) {
    m_iconFileName = header.iconFileName;
    m_crib = header.crib;
    m_palmCreateDate = header.createDate;
    m_version = header.version;
    m_reservedWord = header.reservedWord;
    m_reserved1 = header.reserved1;
    m_reserved2 = header.reserved2;
}

void CDatabaseObj7::GetCrib(unsigned char* out) const {
    std::memcpy(out, m_crib.data(), kCribSize);
}

void CDatabaseObj7::SetCrib(const unsigned char* in) {
    std::memcpy(m_crib.data(), in, kCribSize);
}

bool CDatabaseObj7::DoesCribMatch(const unsigned char* in) const {
    return std::memcmp(m_crib.data(), in, kCribSize) == 0;
}

bool CDatabaseObj7::HasPassword(const unsigned char* crib) {
    return std::any_of(crib, crib + kCribSize, [](unsigned char b) { return b != 0; });
}

void CDatabaseObj7::ReadCrib(const CString& /*name*/, const CString& folder, unsigned char* out) {
    m_pathName = JoinPath(folder, kDatabaseFileName);
    ReadCrib(m_pathName, out);
}

void CDatabaseObj7::ReadCrib(const CString& path, unsigned char* out) {
    std::memset(out, 0, kCribSize);
    // A file that cannot be opened is an error, not "no password": a host that took it for one
    // would show or save the database as if it had none.
    CFileException error(CFileException::none, -1, "", "");
    const auto file =
        OpenFile(path, CFile::modeRead | CFile::shareExclusive | CFile::typeBinary, &error);
    if (!file) {
        const LONG code = error.m_lOsError > 0 ? error.m_lOsError : LONG{ERROR_GEN_FAILURE};
        throw CFileException(error.m_cause != CFileException::none
                                 ? error.m_cause
                                 : CFileException::genericException,
                             code, path.str(),
                             (path + ": the password check cannot be read (" +
                              DescribeError(static_cast<DWORD>(code)) + ")")
                                 .str());
    }
    try {
        std::size_t got = 0;
        while (got < kCribSize) {
            const UINT n = file->Read(out + got, static_cast<UINT>(kCribSize - got));
            if (n == 0) {
                break;
            }
            got += n;
        }
        file->Abort();
    } catch (const CException&) {
        // An unreadable file reads as no password; what was read stays.
    }
}

bool CDatabaseObj7::HasPasswordDB(const CString& path) {
    unsigned char crib[kCribSize];
    try {
        ReadCrib(path, crib);
    } catch (const CFileException&) {
        return false;  // no file that can be read, so no password to ask for
    }
    return HasPassword(crib);
}

namespace {

constexpr WORD kNoVersion = 0xFFFF;

}  // namespace

CDatabaseStatus CDatabaseObj7::ProbeVersion(const char* path, WORD& version) {
    version = kNoVersion;
    try {
        const CString name(path);
        BYTE bytes[2] = {0xFF, 0xFF};
        ULONGLONG length = 0;
        try {
            CFileException error(CFileException::none, -1, "", "");
            const auto file =
                OpenFile(path, CFile::modeRead | CFile::shareDenyNone | CFile::typeBinary, &error);
            if (!file) {
                const auto code = static_cast<DWORD>(error.m_lOsError);
                return CDatabaseStatus::CannotOpen(
                    code, name + ": cannot be opened (" + DescribeError(code) + ")");
            }
            length = file->GetLength();
            if (length > kHeaderVersionOffset) {
                file->Seek(kHeaderVersionOffset, CFile::begin);
                (void)file->Read(bytes, 2);
            }
            file->Abort();
        } catch (const CFileException& e) {
            const DWORD code =
                e.m_lOsError > 0 ? static_cast<DWORD>(e.m_lOsError) : ERROR_READ_FAULT;
            return CDatabaseStatus::CannotOpen(
                code, name + ": cannot be read (" + DescribeError(code) + ")");
        }
        version = static_cast<WORD>(bytes[0] | (bytes[1] << 8));
        if (length < kHeaderFixedSize) {
            const CString why =
                name + ": too short for a database: " + std::to_string(length).c_str() +
                " bytes, where the header needs " + std::to_string(kHeaderFixedSize).c_str() +
                " to hold the version number";
            return CDatabaseStatus::Failure(CDatabaseStatus::kFormat, why);
        }
        return CDatabaseStatus::Ok();
    } catch (const std::bad_alloc&) {
        AfxThrowMemoryException();
    }
}

unsigned short CDatabaseObj7::GetVersion(const char* path) {
    WORD version = kNoVersion;
    try {
        (void)ProbeVersion(path, version);
    } catch (const CException&) {
        return kNoVersion;
    }
    return version;
}

// --- open, save, backup ---

bool CDatabaseObj7::DatabaseExists(const CString& folder) {
    return PathExists(JoinPath(folder, kDatabaseFileName));
}

LONG CDatabaseObj7::Load(const CString& /*name*/, const CString& folder) {
    try {
        m_pathName = JoinPath(folder, kDatabaseFileName);
        if (!PathExists(folder)) {
            // Said here, where it happens: an empty database that no save can write would look
            // like a success until the first Save.
            if (const DWORD code = CreateFolderTree(folder); code != 0) {
                Reset(true);
                return Finish(CDatabaseStatus::CannotOpen(
                    code, folder + ": the folder cannot be created (" + DescribeError(code) + ")"));
            }
        }
        return Load(CString(m_pathName));
    } catch (const std::bad_alloc&) {
        AfxThrowMemoryException();
    }
}

// Waits for the mutex. Only a time-out, a lock that cannot be used and exhausted memory count as
// failure; a mutex whose owner died (WAIT_ABANDONED) is obtained. Ok means obtained: the caller
// releases it.
CDatabaseStatus CDatabaseObj7::WaitForLock() const {
    if (m_mutex == nullptr) {
        const DWORD code = m_mutexError != 0 ? m_mutexError : ERROR_INVALID_HANDLE;
        if (code == ERROR_NOT_ENOUGH_MEMORY) {
            return CDatabaseStatus::OutOfMemory();
        }
        CString why = CString("the database lock cannot be used (") + DescribeError(code);
        if (!m_mutexDetail.IsEmpty()) {
            why += CString(": ") + m_mutexDetail;
        }
        return CDatabaseStatus::Failure(CDatabaseStatus::kLockUnavailable,
                                        Sentence(m_pathName, why + ")"), code);
    }
    // The same ten seconds in two parts, so that a host can say why it waits.
    DWORD result = WaitForSingleObject(m_mutex, kLockWaitNoticeMs);
    if (result == WAIT_TIMEOUT) {
        if (m_lockWaitObserver) {
            try {
                m_lockWaitObserver();
            } catch (...) {  // a failed notice must not fail the wait
            }
        }
        result = WaitForSingleObject(m_mutex, kMutexWaitMs - kLockWaitNoticeMs);
    }
    if (WaitObtained(result)) {
        return CDatabaseStatus::Ok();
    }
    if (result == WAIT_TIMEOUT) {
        return CDatabaseStatus::Failure(
            CDatabaseStatus::kLockTimeout,
            Sentence(m_pathName,
                     "the database lock was not obtained within 10 seconds (another "
                     "program is using the database)"));
    }
    const DWORD code = GetLastError();
    if (code == ERROR_NOT_ENOUGH_MEMORY) {
        return CDatabaseStatus::OutOfMemory();
    }
    CString why = CString("the database lock cannot be taken (") + DescribeError(code);
    if (const char* detail = GetLastMutexDetail(); detail[0] != '\0') {
        why += CString(": ") + detail;
    }
    return CDatabaseStatus::Failure(CDatabaseStatus::kLockUnavailable,
                                    Sentence(m_pathName, why + ")"), code);
}

LONG CDatabaseObj7::Finish(CDatabaseStatus status) noexcept {
    m_lastStatus = std::move(status);
    return m_lastStatus.Result();
}

void CDatabaseObj7::NoteFailure(const CException& e) noexcept {
    try {
        if (dynamic_cast<const CMemoryException*>(&e) != nullptr) {
            m_lastStatus = CDatabaseStatus::OutOfMemory();
        } else if (const auto* file = dynamic_cast<const CFileException*>(&e)) {
            m_lastStatus = CDatabaseStatus::WriteFailed(
                file->m_lOsError > 0 ? static_cast<DWORD>(file->m_lOsError) : ERROR_READ_FAULT,
                e.what());
        } else {
            m_lastStatus = CDatabaseStatus::Failure(CDatabaseStatus::kFormat, e.what());
        }
    } catch (...) {
        m_lastStatus = CDatabaseStatus::OutOfMemory();
    }
}

LONG CDatabaseObj7::AcquireLock() {
    try {
        CDatabaseStatus status = WaitForLock();
        if (status.IsOk()) {
            ++m_lockHolds;
        }
        return Finish(std::move(status));
    } catch (const CMemoryException&) {
        return Finish(CDatabaseStatus::OutOfMemory());
    } catch (const std::bad_alloc&) {
        return Finish(CDatabaseStatus::OutOfMemory());
    }
}

bool CDatabaseObj7::ReleaseLock() {
    if (m_lockHolds == 0 || m_mutex == nullptr) {
        return false;
    }
    if (!ReleaseMutex(m_mutex)) {
        return false;
    }
    --m_lockHolds;
    return true;
}

LONG CDatabaseObj7::Load(const CString& path) {
    return LoadFile(path, true);
}

LONG CDatabaseObj7::LoadReadOnly(const CString& path) {
    return LoadFile(path, false);
}

LONG CDatabaseObj7::LoadFile(const CString& path, bool upgrade) {
    // Waiting for the lock allocates too: running out of memory anywhere here is the memory
    // exception, never std::bad_alloc.
    try {
        m_lastStatus = CDatabaseStatus::Ok();
        Reset(true);
        const CString previous = m_pathName;
        m_pathName = path;  // for the messages; only a load that got the lock keeps it
        CDatabaseStatus locked = WaitForLock();
        if (!locked.IsOk()) {
            m_pathName = previous;
            if (locked.GetKind() == CDatabaseStatus::kMemory) {
                m_lastStatus = std::move(locked);
                AfxThrowMemoryException();
            }
            return Finish(std::move(locked));
        }
        MutexHold hold(m_mutex, true);
        CFileException error(CFileException::none, -1, "", "");
        const auto file =
            OpenFile(path, CFile::modeRead | CFile::shareExclusive | CFile::typeBinary, &error);
        if (!file) {
            // A missing file is a new, empty database. Any other failure (no permission, the
            // file held open elsewhere) is reported: an empty database saved over it would
            // destroy the user's data.
            const auto code = static_cast<DWORD>(error.m_lOsError);
            if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) {
                return 0;
            }
            return Finish(CDatabaseStatus::CannotOpen(
                code, path + ": cannot be opened (" + DescribeError(code) + ")"));
        }
        try {
            CArchive ar(file.get(), CArchive::load, kFileBufferSize);
            ar.SetName(path);
            Serialize(ar);
            ar.Close();
        } catch (const CException& e) {
            NoteFailure(e);
            throw;
        }
        file->Abort();
        m_types.SortByName();
        m_categories.SortByName();
        if (m_version >= kCurrentVersion) {
            return 0;
        }
        if (!upgrade) {
            // Shows what the upgrade would, while the packed records and the version stay those
            // of the file: checksum checks and dumps look at what is on disk.
            ReadItemsInCurrentForm(true);
            return 0;
        }
        // The save keeps the older file beside the new one first (SaveUnderLock); when it fails
        // the older file stays in place, readable. Load does not report it.
        m_version = kCurrentVersion;
        ReadItemsInCurrentForm(false);
        (void)Save(true);
        m_lastStatus = CDatabaseStatus::Ok();
        return 0;
    } catch (const std::bad_alloc&) {
        m_lastStatus = CDatabaseStatus::OutOfMemory();
        AfxThrowMemoryException();
    }
}

LONG CDatabaseObj7::Save(bool /*flag*/) {
    return Finish(SaveStatus());
}

CDatabaseStatus CDatabaseObj7::SaveStatus() {
    try {
        if (m_locked) {
            return CDatabaseStatus::Failure(
                CDatabaseStatus::kLockFlag,
                Sentence(m_pathName, "not saved: saving is switched off (Lock)"));
        }
        if (const std::size_t misread = CountMisreadItems(); misread != 0) {
            return CDatabaseStatus::Failure(
                CDatabaseStatus::kFormat,
                Sentence(m_pathName, "not saved: " + CString(std::to_string(misread)) +
                                         " items failed their checksum when the file was read "
                                         "(a wrong password, or a damaged file); saving would "
                                         "pack their misread texts for good"));
        }
        CDatabaseStatus locked = WaitForLock();
        if (!locked.IsOk()) {
            return locked;
        }
        MutexHold hold(m_mutex, true);
        return SaveUnderLock();
    } catch (const CMemoryException&) {
        return CDatabaseStatus::OutOfMemory();
    } catch (const std::bad_alloc&) {
        return CDatabaseStatus::OutOfMemory();
    } catch (const CException& e) {
        try {
            return CDatabaseStatus::Failure(CDatabaseStatus::kFormat, e.what());
        } catch (...) {
            return CDatabaseStatus::OutOfMemory();
        }
    }
}

CDatabaseStatus CDatabaseObj7::SaveUnderLock() {
    // A file of an older layout holds things the current one drops (the upgrade at load, or a
    // save after an upgrade that failed): it is kept as "<path>.v<version>" before it is
    // replaced, and nothing is replaced unless that copy is safely on disk.
    WORD onDisk = kNoVersion;
    if (CDatabaseStatus probe = ProbeVersion(m_pathName, onDisk);
        probe.GetKind() == CDatabaseStatus::kIo && probe.GetCode() != ERROR_FILE_NOT_FOUND &&
        probe.GetCode() != ERROR_PATH_NOT_FOUND) {
        return probe;
    }
    if (onDisk < kCurrentVersion) {
        CString kept;
        kept.Format("%s.v%u", static_cast<const char*>(m_pathName), static_cast<unsigned>(onDisk));
        if (CDatabaseStatus copied =
                CopyFileSafely(m_pathName, kept, CopyTarget::kCopy, m_inPlaceCopyFolder);
            !copied.IsOk()) {
            return copied;
        }
    }
    return WriteFileSafely(
        m_pathName, [this](CArchive& ar) { Serialize(ar); }, m_inPlaceCopyFolder);
}

namespace {

// The folder that holds path, for flushing its names.
CString ParentFolder(const CString& path) {
    CString folder = FolderOf(path);
    if (folder.IsEmpty()) {
        folder = path.GetLength() > 0 && path.GetAt(0) == kPathSeparator
                     ? CString(kPathSeparator, 1)
                     : CString(".");
    }
    return folder;
}

}  // namespace

LONG CDatabaseObj7::MoveToPath(const CString& folder) try {
    const LONG saved = Save(false);
    if (saved != 0) {
        return saved;
    }
    if (!PathExists(folder)) {
        (void)CreateDirectoryA(folder);
    }
    const CString target = JoinPath(folder, kDatabaseFileName);
    if (!MoveFileA(m_pathName, target)) {
        const DWORD code = GetLastError();
        return Finish(CDatabaseStatus::CannotOpen(
            code,
            m_pathName + ": cannot be moved to " + target + " (" + DescribeError(code) + ")"));
    }
    // The object follows its file even when the new name cannot be made durable: the move has
    // happened, and the error only says that a power cut might undo it.
    const CString from = m_pathName;
    m_pathName = target;
    if (!SyncFolder(ParentFolder(target)) || !SyncFolder(ParentFolder(from))) {
        DWORD code = GetLastError();
        if (code == 0) {
            code = ERROR_GEN_FAILURE;
        }
        return Finish(CDatabaseStatus::CannotOpen(
            code, target + ": moved, but the folders could not be flushed (" + DescribeError(code) +
                      ")"));
    }
    return Finish(CDatabaseStatus::Ok());
} catch (const std::bad_alloc&) {
    m_lastStatus = CDatabaseStatus::OutOfMemory();
    AfxThrowMemoryException();
}

int CDatabaseObj7::TakeTempBackup() {
    try {
        return Finish(CopyFileSafely(m_pathName, m_pathName + kBackupSuffix, CopyTarget::kCopy,
                                     m_inPlaceCopyFolder)) == 0
                   ? 1
                   : 0;
    } catch (const std::bad_alloc&) {
        Finish(CDatabaseStatus::OutOfMemory());
        return 0;
    }
}

int CDatabaseObj7::RestoreTempBackup() {
    try {
        return Finish(CopyFileSafely(m_pathName + kBackupSuffix, m_pathName, CopyTarget::kDatabase,
                                     m_inPlaceCopyFolder)) == 0
                   ? 1
                   : 0;
    } catch (const std::bad_alloc&) {
        Finish(CDatabaseStatus::OutOfMemory());
        return 0;
    }
}

CBaseItem* CDatabaseObj7::LoadRecord(int list, DWORD recordID) {
    auto temporary = std::make_unique<CDatabaseObj7>();
    // Reading one item must not rewrite an older file while this object may not save.
    temporary->m_locked = m_locked;
    temporary->SetInPlaceCopyFolder(m_inPlaceCopyFolder);  // for the upgrade that Load may save
    if (temporary->Load(CString(m_pathName)) != 0) {
        return nullptr;
    }
    CObjectList* l = temporary->ListByNumber(list);
    return l != nullptr ? l->GetItemByRecordID(recordID, true) : nullptr;
}

CBaseItem* CDatabaseObj7::ReloadRecord(int list, DWORD recordID) {
    std::unique_ptr<CBaseItem> copy(LoadRecord(list, recordID));
    if (!copy) {
        return nullptr;
    }
    CBaseItem* found = nullptr;
    if (list == -1 || list == 1) {
        found = m_types.GetItemByRecordID(recordID, false);
    }
    if (found == nullptr && (list == -1 || list == 2)) {
        found = m_categories.GetItemByRecordID(recordID, false);
    }
    if (found == nullptr && (list == -1 || list == 0)) {
        found = m_records.GetItemByRecordID(recordID, false);
    }
    if (found != nullptr) {
        *found = *copy;
    }
    return found;
}

}  // namespace LKMDB7

// --- editing across lists ---

namespace LKMDB7 {

namespace {
bool IsUnfiled(const CString& name) {
    return name.CompareNoCase("Unfiled") == 0;
}
}  // namespace

CRecord* CDatabaseObj7::AddRecord(CStringArray& texts, unsigned short mask, CStringArray& labels,
                                  const CString& category, unsigned short icon,
                                  CNotifyProviderList& /*providers*/, bool localOnly) {
    return AddRecordImpl(texts, mask, labels, category, icon, localOnly,
                         RecordIDPolicy::kWaitForClock);
}

CRecord* CDatabaseObj7::AddRecordWithoutWaiting(CStringArray& texts, unsigned short mask,
                                                CStringArray& labels, const CString& category,
                                                unsigned short icon, bool localOnly) {
    return AddRecordImpl(texts, mask, labels, category, icon, localOnly, RecordIDPolicy::kNextFree);
}

DWORD CDatabaseObj7::DrawRecordID(RecordIDPolicy policy) {
    DWORD id = CBaseItem::GenerateRecordID();
    if (policy == RecordIDPolicy::kNextFree) {
        return ListIndexAccess::NextFreeRecordID(m_records, id);
    }
    while (ListIndexAccess::HasRecordID(m_records, id)) {
        // Record IDs are clock seconds: sleep until the next one rather than spin.
        SYSTEMTIME now{};
        GetLocalTime(&now);
        SleepMs(static_cast<DWORD>(1000 - now.wMilliseconds) + 5);
        id = CBaseItem::GenerateRecordID();
    }
    return id;
}

CRecord* CDatabaseObj7::AddRecordImpl(CStringArray& texts, WORD mask, CStringArray& labels,
                                      const CString& category, WORD icon, bool localOnly,
                                      RecordIDPolicy policy) {
    if (texts.GetSize() == 0) {
        AfxThrowInvalidArgException("AddRecord: no texts (entry 0 names the record type)");
    }
    // Everything is made and its packed size checked before any list or the caller's texts
    // change, so that a refused record leaves no new type or category behind.
    CUID typeID;
    CUID categoryID;
    WORD iconIndex = icon;
    std::unique_ptr<CTypeItem> newType;
    std::unique_ptr<CCategoryItem> newCategory;
    const CString typeName = texts.GetAt(0);
    if (!IsUnfiled(typeName)) {
        CTypeItem* type = m_types.GetTypeByName(typeName);
        if (type == nullptr) {
            newType = std::make_unique<CTypeItem>();
            newType->SetName(typeName);
            newType->SetDefaultLabels();
            newType->SetNeedsSync(true);
            CUID id;
            id.Generate();
            newType->SetUniqueID(id);
            static_cast<void>(newType->CheckPackedSize());
            type = newType.get();
        }
        if (icon == 255) {
            iconIndex = static_cast<WORD>(type->GetIconIndex());
        }
        typeID = type->GetUniqueID();
    }
    if (!category.IsEmpty() && !IsUnfiled(category)) {
        CCategoryItem* item = m_categories.GetCategoryByName(category);
        if (item == nullptr) {
            newCategory = std::make_unique<CCategoryItem>();
            newCategory->SetName(category);
            newCategory->SetNeedsSync(true);
            CUID id;
            id.Generate();
            newCategory->SetUniqueID(id);
            static_cast<void>(newCategory->CheckPackedSize());
            item = newCategory.get();
        }
        categoryID = item->GetUniqueID();
    }
    CStringArray fields;
    fields.SetSize(texts.GetSize() - 1);
    for (int i = 1; i < texts.GetSize(); ++i) {
        fields.SetAt(i - 1, texts.GetAt(i));
    }
    auto record = std::make_unique<CRecord>();
    record->SetTypeID(typeID);
    record->SetCategoryID(categoryID);
    record->SetMaskBits(mask);
    record->SetFieldLabels(labels);
    record->SetIconIndex(iconIndex);
    record->SetFields(fields);
    record->SetNeedsSync(!localOnly);
    CString note;
    for (int i = kFieldCount; i < fields.GetSize(); ++i) {
        if (fields.GetAt(i).IsEmpty()) {
            continue;
        }
        note += fields.GetAt(i);
        if (i != fields.GetSize() - 1) {
            note += "\r\n";
        }
    }
    record->SetNote(note);
    record->SetLocalOnly(localOnly);
    static_cast<void>(record->CheckPackedSize());

    if (newType) {
        ListIndexAccess::AddCheckedItemSorted(m_types, newType.release());
    }
    if (newCategory) {
        ListIndexAccess::AddCheckedItemSorted(m_categories, newCategory.release());
    }
    texts.RemoveAt(0);
    record->SetRecordID(DrawRecordID(policy));
    CRecord* added = record.get();
    // Nothing but the new record changed since DrawRecordID looked at the list.
    ListIndexAccess::AddCheckedRecord(m_records, record.release());
    return added;
}

void CDatabaseObj7::SetRecordDeleted(CRecord* record) {
    m_records.SetDeleted(record, m_pathName);
}

void CDatabaseObj7::SetTypeDeleted(CTypeItem* type) {
    if (type == nullptr) {
        return;
    }
    const CUID id = type->GetUniqueID();
    for (POSITION pos = m_records.GetHeadPosition(); pos != nullptr;) {
        auto* record = dynamic_cast<CRecord*>(m_records.GetNextItem(pos));
        if (record != nullptr && record->GetTypeID() == id) {
            record->SetTypeID(CUID());
            record->SetNeedsSync(true);
        }
    }
    m_types.SetDeleted(type, CString(), 1);
}

void CDatabaseObj7::SetCategoryDeleted(CCategoryItem* category) {
    if (category == nullptr) {
        return;
    }
    const CUID id = category->GetUniqueID();
    for (POSITION pos = m_records.GetHeadPosition(); pos != nullptr;) {
        auto* record = dynamic_cast<CRecord*>(m_records.GetNextItem(pos));
        if (record != nullptr && record->GetCategoryID() == id) {
            record->SetCategoryID(CUID());
            record->SetNeedsSync(true);
        }
    }
    m_categories.SetDeleted(category, CString(), 1);
}

void CDatabaseObj7::ApplyToAllColumns(const CShowColumns& columns) {
    for (POSITION pos = m_types.GetHeadPosition(); pos != nullptr;) {
        if (auto* type = dynamic_cast<CTypeItem*>(m_types.GetNextItem(pos))) {
            type->SetColumnInfo(columns);
        }
    }
}

void CDatabaseObj7::NotifyAllChanged(CUserItem* /*user*/) {}

// --- import of older data ---

bool CDatabaseObj7::ReadVersion7Data(char* password, CRecordList** records, CTypesList** types,
                                     CCategoryList** categories) {
    SetRecordCipherPassword(password);
    const CString documents = GetPersonalFolder();
    const CString sep(kPathSeparator, 1);
    const CString lockmera = documents + sep + "Marrowleaf" + sep + "Lockmera" + sep;
    const CString preferences = lockmera + "Preferences" + sep + "Preferences.ini";

    char user[260] = {};
    GetPrivateProfileStringA("Preferences iPhone", "Current User", "", user, sizeof user,
                             preferences);
    CString folder = lockmera + user;
    CString section;
    section.Format("User-iPhone-%s-%s", user, user);
    char directory[512] = {};
    GetPrivateProfileStringA(section, "User Directory", "", directory, sizeof directory,
                             preferences);
    if (directory[0] != '\0') {
        folder = directory;
    }
    if (Load(JoinPath(folder, kDatabaseFileName)) != 0) {
        return false;
    }
    if (records != nullptr)
        *records = &m_records;
    if (types != nullptr)
        *types = &m_types;
    if (categories != nullptr)
        *categories = &m_categories;
    return true;
}

bool CDatabaseObj7::IsLegacyDB(const CString& /*name*/) {
    return false;
}

}  // namespace LKMDB7
