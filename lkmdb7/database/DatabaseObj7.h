// CDatabaseObj7: one open password database - the header values of the file, the record, types
// and category lists it owns, its path, the save lock flag and a handle to the named mutex
// "LockmeraDatabaseMutex" that serialises Load and Save across processes.
//
// Results of Load, Save and MoveToPath: 0 success; -1 lock not obtained within 10 s or not
// usable at all, save refused by the lock flag, or an error while writing; otherwise the Windows
// error code of the file that could not be opened, created or moved (the same codes on POSIX).
// GetLastStatus() tells which, with a message that names the file and what failed there.
//
// Save never leaves a half-written database in place of a good one: it writes a temporary file
// beside the database (beside the target of a symbolic link), flushes it to disk and renames it
// over the database file; see database/internal/SafeFile.h. A folder that refuses new files gets
// nothing written in place unless the host allows it (SetInPlaceCopyFolder).
//
// A host that edits between Load and Save while other processes may save the same file holds
// the lock across both (AcquireLock/ReleaseLock, or CDatabaseLock); otherwise the last save wins.
//
// Not thread-safe: one thread at a time per object. Load lets archive exceptions through (a
// malformed file), naming the file and what was being read; the lock is released first.
#pragma once

#include <array>
#include <functional>

#include "lkmdb7/database/Crib.h"
#include "lkmdb7/database/DatabaseFormat.h"
#include "lkmdb7/database/DatabaseStatus.h"
#include "lkmdb7/lists/CategoryList.h"
#include "lkmdb7/lists/RecordList.h"
#include "lkmdb7/lists/TypesList.h"
#include "lkmdb7/platform/CObject.h"
#include "lkmdb7/platform/CString.h"
#include "lkmdb7/platform/Exceptions.h"
#include "lkmdb7/platform/Export.h"
#include "lkmdb7/platform/Types.h"

// The host's classes; the library only passes them through its signatures.
class CNotifyProviderList;
class CUserItem;

namespace LKMDB7 {

// The database file's name within its folder (Load(name, folder), DatabaseExists).
inline constexpr const char* kDatabaseFileName = "LockmeraDatabase.lkb";
// Name of the cross-process lock that Load and Save take (docs/locking.md).
inline constexpr const char* kDatabaseMutexName = "LockmeraDatabaseMutex";
// Appended to the database path to name the copy of TakeTempBackup and RestoreTempBackup.
inline constexpr const char* kBackupSuffix = ".bak";
// The longest wait for the database lock, in milliseconds; a longer one fails with -1.
inline constexpr DWORD kMutexWaitMs = 10000;
// How long a wait for the database lock goes before it tells its observer (SetLockWaitObserver).
inline constexpr DWORD kLockWaitNoticeMs = 1000;

// One open database, owned by the host; see the top of this header.
class LKMDB7_EXPORT CDatabaseObj7 : public CObject {
    LKMDB7_DECLARE_SERIAL(CDatabaseObj7);

  public:
    CDatabaseObj7();
    ~CDatabaseObj7() override;
    CDatabaseObj7(const CDatabaseObj7&) = delete;
    CDatabaseObj7& operator=(const CDatabaseObj7&) = delete;

    // --- life cycle ---
    // Zeroes the header values (crib, creation date, reserved words) and sets the current
    // version; the lists and the path stay.
    void Init();
    // Destroys every item of the three lists, and with full also does Init. Returns 0.
    LONG Reset(bool full);

    // --- members ---
    // @{
    // The database's own lists, which own their items; valid for the object's life.
    CRecordList& GetRecordList() { return m_records; }
    CTypesList& GetTypesList() { return m_types; }
    CCategoryList& GetCategoryList() { return m_categories; }
    // @}
    // The full path of the database file, set by Load, ReadCrib(name, folder) and MoveToPath.
    CString GetPathName() const { return m_pathName; }
    // The file name part of GetPathName().
    CString GetName() const;
    // The file's version as it was read; the current version for a new database and after a Load
    // that upgraded the file or a Save.
    int GetVersion() const { return m_version; }
    // @{
    // Kept and written as they are; the library gives them no meaning.
    CString GetIconFileName() const { return m_iconFileName; }
    void SetIconFileName(const char* name) { m_iconFileName = name; }
    DWORD GetPalmCreateDate() const { return m_palmCreateDate; }
    void SetPalmCreateDate(DWORD date) { m_palmCreateDate = date; }
    // @}
    // Sets the sync target of the object and of its three lists (CObjectList::MatchItem).
    void SetSyncType(SyncType type);
    SyncType GetSyncType() const { return m_syncType; }  // kSyncDesktop unless set

    // --- finding items (list -1 any, 0 records, 1 types, 2 categories) ---
    // The item with this record ID, still owned by its list; null when there is none or list is
    // not -1 to 2. With -1 the types, then the categories, then the records are searched.
    CBaseItem* GetItemByRecordID(int list, DWORD recordID);
    // Takes the item out of its list; the caller owns it.
    CBaseItem* RemoveItemByRecordID(int list, DWORD recordID);

    // --- the file ---
    // Writes or reads the whole file; throws CArchiveException / CFileException / CMemoryException.
    void Serialize(CArchive& ar) override;
    // The header's values, the version as the file was read (a save writes the current one).
    DatabaseHeader GetHeader() const;
    // Takes every header value; the lists stay as they are. CMemoryException when the icon file
    // name cannot be copied, before anything changes.
    void SetHeader(const DatabaseHeader& header);
    // Copies the 40-byte crib (kCribSize) to out.
    void GetCrib(unsigned char* out) const;
    // Takes 40 bytes as the crib, written by the next Save; the record cipher is not changed.
    void SetCrib(const unsigned char* in);
    // Whether the 40 bytes at in equal the crib, byte for byte (no password is checked).
    bool DoesCribMatch(const unsigned char* in) const;
    // Whether the crib is not all zero (HasPassword).
    bool IsEncrypted() const { return HasPassword(m_crib.data()); }
    // The first 40 bytes of the database file (the crib), without the lock; a shorter file
    // leaves the rest zero. Throws CFileException (its cause and Windows error code, a message
    // naming the file) when the file cannot be opened: missing, unreadable, or open for writing
    // elsewhere. The first form also makes folder's database file the path name; `name` is not
    // used.
    void ReadCrib(const CString& name, const CString& folder, unsigned char* out);
    // The crib of the file at path, as above; the object's path name is not involved.
    static void ReadCrib(const CString& path, unsigned char* out);
    // Whether any of the 40 bytes at crib is not zero.
    static bool HasPassword(const unsigned char* crib);
    // Whether the file at path has a crib that is not all zero; false when it cannot be read.
    static bool HasPasswordDB(const CString& path);
    // The version of the file at path; 0xFFFF when it cannot be opened. Bytes that the file lacks
    // read 0xFF (a file of 45 bytes gives 0xFFnn).
    static unsigned short GetVersion(const char* path);
    // GetVersion with the reason when there is no version: CannotOpen with the system's code when
    // the file cannot be opened or read (a missing file included; version is then 0xFFFF), kFormat
    // naming the bytes the file has and the kHeaderFixedSize the version needs when it is shorter
    // (version as GetVersion reads it). Ok otherwise. Throws CMemoryException only.
    static CDatabaseStatus ProbeVersion(const char* path, WORD& version);
    // Gives the database a new password, or none (null or empty): keys the process-wide record
    // cipher with it, repacks every item of the three lists under it and sets the crib (MakeCrib
    // of that cost, or 40 zero bytes). The items must have been read under the cipher in force
    // until now. Saves nothing. When anything fails (CMemoryException, CInvalidArgException for
    // a cost out of range, CFileException when no salt can be drawn) the cipher, the crib and
    // every packed record are as they were. Defined in Crib.cpp.
    void ChangePassword(const char* newPassword, int cost = kCribDefaultCost);

    // --- open, save, backup, locking ---
    // Whether folder holds a database file (kDatabaseFileName).
    static bool DatabaseExists(const CString& folder);
    // Opens the database in folder (`name` is not used); this is also how a database is created:
    // a missing folder is made with its parents, and a missing file is a new, empty database
    // (version 9, no crib), which the first Save writes. A folder that cannot be made returns its
    // Windows error code (GetLastStatus names it), with the object empty; otherwise as
    // Load(path).
    LONG Load(const CString& name, const CString& folder);
    // Empties the object, waits for the lock (at most 10 s: -1) and reads the file at path under
    // the record cipher in force. A missing file is a new, empty database (0); one that cannot be
    // opened returns its Windows error code. A malformed file throws CArchiveException naming
    // the file, the offset and the field (the lock is released first). A file older than version
    // 9 is rewritten at version 9, its old form kept as "<path>.v<N>"; that save's failure is not
    // reported and leaves the old file readable. The password is not checked: check the crib
    // first (CribMatches), or judge after loading (PasswordCheck.h); items misread under a wrong
    // key are never saved (CBaseItem::FailedChecksumAtLoad).
    LONG Load(const CString& path);
    // As Load(path), but never rewrites the file: an older file stays as it is on disk, and
    // GetVersion() tells its version. The items show what the upgrade would show; their packed
    // records are those of the file. For hosts and tools that only look.
    LONG LoadReadOnly(const CString& path);
    // Writes the whole database to the path name, under the lock, through a temporary file
    // renamed over the old one. `flag` changes nothing (the result is the same either way).
    // Refused, with nothing written: -1 when the lock flag is set (Lock), the lock is not
    // obtained, or an item misread at load is still in a list (a format status naming the
    // count); a Windows error code when the file cannot be created. -1 also for a failure while
    // writing, the old file then untouched.
    LONG Save(bool flag);
    // Saves (Save's results), then moves the database file into folder (made when missing) and
    // takes the new path name. A move that fails returns its Windows error code, the file and
    // the path name staying where they were. Throws CMemoryException.
    LONG MoveToPath(const CString& folder);
    // Copies the database file to "<path>.bak" (kBackupSuffix) the safe way Save writes. Returns
    // 1 on success, 0 on failure (GetLastStatus says why); never throws.
    int TakeTempBackup();
    // Copies "<path>.bak" back over the database file; results as TakeTempBackup. The object's
    // lists are not reloaded.
    int RestoreTempBackup();
    // A folder that refuses new files while the database file in it is writable (a folder of
    // another user that the file's owner may not write) cannot take the temporary file. By
    // default (an empty folder) Save, MoveToPath, the upgrade at load and the backup pair then
    // refuse: ERROR_ACCESS_DENIED (the backup pair: 0), with a message that names the folder,
    // and no file is touched. Naming a folder here lets them write such a file in place, but
    // only after a complete copy of it has been written and flushed into that folder
    // ("<file name>.<8 hex digits>.before-save", with the file's owner and mode). A write in
    // place that fails puts the copy back; the copy is removed once the file is whole. A crash
    // during the write leaves the copy there, holding the file as it was before: the host should
    // tell its user where to look. The folder should be the user's own and on a disk that keeps
    // files across a restart; it must exist, or nothing is written.
    void SetInPlaceCopyFolder(const CString& folder) { m_inPlaceCopyFolder = folder; }
    const CString& GetInPlaceCopyFolder() const { return m_inPlaceCopyFolder; }  // empty: none

    // @{
    // While set, Save (and what saves) refuses with -1. A flag of this object only, unrelated to
    // the cross-process lock of AcquireLock.
    void Lock() { m_locked = true; }
    void Unlock() { m_locked = false; }
    bool IsLocked() const { return m_locked; }
    // @}

    // Waits for the database lock (at most 10 s) and holds it for the calling thread until
    // ReleaseLock, so that Load ... Save of this thread run without another process saving in
    // between; Load and Save inside take it again at once. Re-entrant: every AcquireLock that
    // returned 0 is paired with one ReleaseLock on the same thread. Returns 0, or -1 when the lock
    // was not obtained (GetLastStatus: kLockTimeout, kLockUnavailable). Holds still held when the
    // object is destroyed are given back then.
    LONG AcquireLock();
    // Gives back one AcquireLock; false when this object holds none.
    bool ReleaseLock();

    // Lets the host tell its user why nothing happens while another program holds the lock. A
    // wait for the lock (Load, LoadReadOnly, Save and what saves, AcquireLock) that has not
    // obtained it within kLockWaitNoticeMs calls observer once, on the waiting thread, then goes
    // on waiting for the rest of kMutexWaitMs; a wait that obtains the lock sooner, or fails at
    // once, never calls it. The time and results of the wait are the same with or without one.
    // The observer must not throw and must not call this object: an exception it throws is
    // caught and dropped, and the wait goes on. An empty function (the default) removes it. Only
    // the copy of observer into the argument may throw (std::bad_alloc), before anything changes.
    void SetLockWaitObserver(std::function<void()> observer) noexcept {
        m_lockWaitObserver.swap(observer);
    }

    // How the last Load, LoadReadOnly, Save, MoveToPath, TakeTempBackup, RestoreTempBackup or
    // AcquireLock ended.
    const CDatabaseStatus& GetLastStatus() const { return m_lastStatus; }
    // GetLastStatus()'s message; valid until the next operation that sets the status.
    const char* GetLastErrorMessage() const { return m_lastStatus.GetMessage(); }
    // A fresh copy of one item from the file on disk, owned by the caller; null when absent.
    CBaseItem* LoadRecord(int list, DWORD recordID);
    // Overwrites the item in memory with its copy from disk; returns it, or null.
    CBaseItem* ReloadRecord(int list, DWORD recordID);

    // --- editing across lists (in memory only; nothing is saved) ---
    // Adds a record from a row of texts: entry 0 names the record type ("Unfiled" for none),
    // entries 1-10 are the fields, entries from 11 on further note lines. Missing types and
    // categories are created. Beware: the caller's array loses its first entry (the type name),
    // so pass a copy to reuse it. icon 255 means "the type's icon" (kept as 255, resolved when
    // shown). The new record's getters (GetField) show nothing until it is packed and read back;
    // GetWorkingField shows what was set (see Record.h). When the record ID that the clock gives is
    // taken, waits (sleeping) for the next second. Throws CInvalidArgException for an empty
    // array, before anything changes.
    CRecord* AddRecord(CStringArray& texts, unsigned short mask, CStringArray& labels,
                       const CString& category, unsigned short icon, CNotifyProviderList& providers,
                       bool localOnly);
    // As AddRecord, but a taken record ID is replaced by the next free one above it instead of
    // waiting for the clock: for adding many records at once.
    CRecord* AddRecordWithoutWaiting(CStringArray& texts, unsigned short mask, CStringArray& labels,
                                     const CString& category, unsigned short icon, bool localOnly);
    // Marks the record deleted and deletes its attached file. The record stays
    // in the list, and in the file with every field, so that devices learn of the deletion;
    // CObjectList::PurgeDeleted removes it for good. Items() walks deleted records too: test
    // IsDeleted() to skip them.
    void SetRecordDeleted(CRecord* record);
    // Clears the type from every record that uses it, then deletes it from the types list
    // (a never-synced type is destroyed: the caller's pointer is then invalid).
    void SetTypeDeleted(CTypeItem* type);
    // Takes the category off every record that has it (those then need sync), then deletes it
    // from the category list as CObjectList::SetDeleted does (a never-synced category is
    // destroyed). Null is ignored.
    void SetCategoryDeleted(CCategoryItem* category);
    // Gives every record type these column settings.
    void ApplyToAllColumns(const CShowColumns& columns);
    // Does nothing; kept for hosts that call it.
    void NotifyAllChanged(CUserItem* user);

    // --- import of older data ---
    // Sets the record cipher from password, finds the current user's database through the host's
    // preferences file and loads it; on success hands out this object's own lists.
    bool ReadVersion7Data(char* password, CRecordList** records, CTypesList** types,
                          CCategoryList** categories);
    // Always false: no folder of older data is known.
    static bool IsLegacyDB(const CString& name);

  private:
    enum class RecordIDPolicy { kWaitForClock, kNextFree };
    CRecord* AddRecordImpl(CStringArray& texts, WORD mask, CStringArray& labels,
                           const CString& category, WORD icon, bool localOnly,
                           RecordIDPolicy policy);
    DWORD DrawRecordID(RecordIDPolicy policy);
    CObjectList* ListByNumber(int list);
    LONG LoadFile(const CString& path, bool upgrade);
    CDatabaseStatus SaveStatus();
    CDatabaseStatus SaveUnderLock();
    CDatabaseStatus WaitForLock() const;
    LONG Finish(CDatabaseStatus status) noexcept;
    void NoteFailure(const CException& e) noexcept;
    // Packs every item in the current form and reads it back, as a reload of the upgraded file
    // would: the older forms fill the working values only, and the types list converts old types
    // without their unpacked copies. keepPackedAsRead puts each item's packed record and CRC as
    // the file gave them back afterwards. Stamps the class schemas with the current version.
    void ReadItemsInCurrentForm(bool keepPackedAsRead);
    // Items whose packed record failed its checksum at load (FailedChecksumAtLoad).
    std::size_t CountMisreadItems();

    std::array<unsigned char, kCribSize> m_crib{};
    DWORD m_palmCreateDate = 0;
    WORD m_version = kCurrentVersion;
    WORD m_reservedWord = 0;
    DWORD m_reserved1 = 0;
    DWORD m_reserved2 = 0;
    CString m_iconFileName;
    CTypesList m_types;
    CRecordList m_records;
    CCategoryList m_categories;
    CString m_pathName;
    CString m_inPlaceCopyFolder;  // empty: never write in place
    bool m_locked = false;
    HANDLE m_mutex = nullptr;
    DWORD m_mutexError = 0;  // why the mutex could not be opened
    CString m_mutexDetail;
    unsigned m_lockHolds = 0;  // AcquireLock calls not yet given back
    std::function<void()> m_lockWaitObserver;
    CDatabaseStatus m_lastStatus;
    SyncType m_syncType = kSyncDesktop;
};

// Holds the database lock of db for one scope (AcquireLock ... ReleaseLock).
class CDatabaseLock {
  public:
    // Waits for the lock as db.AcquireLock() does; Result() tells whether it was obtained. db
    // must outlive this object.
    explicit CDatabaseLock(CDatabaseObj7& db) : m_db(db), m_result(db.AcquireLock()) {}
    ~CDatabaseLock() {
        if (m_result == 0) {
            m_db.ReleaseLock();
        }
    }
    CDatabaseLock(const CDatabaseLock&) = delete;
    CDatabaseLock& operator=(const CDatabaseLock&) = delete;
    // 0 when the lock is held; otherwise -1, and db.GetLastStatus() says why.
    LONG Result() const { return m_result; }
    bool Held() const { return m_result == 0; }  // Result() == 0

  private:
    CDatabaseObj7& m_db;
    LONG m_result;
};

}  // namespace LKMDB7
