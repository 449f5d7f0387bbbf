// The Python face of one open database: lkmdb7.Database and its lkmdb7.Record views.
//
// A Database owns its CDatabaseObj7 and the password it was opened with (Windows-1252 bytes,
// wiped when the object goes). The library's record cipher is one per process, so every call that
// packs or unpacks first puts this database's password in force; databases with different
// passwords can be open side by side. Calls hold the GIL throughout, which gives the library the
// one thread at a time it needs.
//
// A Record is a view of one record of its database (which it keeps alive), found again by its
// record ID after the database's records were added to or deleted from. Its getters show what the
// record's packed form holds; every setter repacks the record at once, so a getter shows the
// edit, and an edit the packed form cannot take (too long) leaves the record as it was.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include <pybind11/pybind11.h>

#include "lkmdb7/lkmdb7.h"

namespace lkmdb7py {

namespace py = pybind11;

class Database : public std::enable_shared_from_this<Database> {
  public:
    // Opens the database at path (its file, or a folder that holds one). Decides on the password
    // before anything is shown: a crib of ours decides alone, before any record is read;
    // otherwise the records' checksums under the password do. Raises FileNotFoundError,
    // PasswordError (WrongPasswordError), FormatError, LockError, FileError.
    static std::shared_ptr<Database> Open(const std::string& path,
                                          const std::optional<py::str>& password);
    // Makes a new, empty database in folder (made when missing) with the password's crib, or
    // none, and saves it. Raises FileExistsError when folder already holds a database.
    static std::shared_ptr<Database> Create(const std::string& folder,
                                            const std::optional<py::str>& password);

    Database() = default;
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // The open database; raises ValueError once it was closed.
    LKMDB7::CDatabaseObj7& Db();
    // Puts this database's password in force as the record cipher, if another is.
    void UseCipher();
    // Grows whenever a record may have left the record list (a purge); adding and marking
    // deleted leave every record where it is, so Record views keep their pointers.
    unsigned long long Changes() const { return changes_; }

    std::string Path() const { return db_.GetPathName().str(); }
    bool HasPassword() const { return !password_.empty(); }
    // Records not marked deleted, in the list's order.
    py::list Records();
    // Records marked deleted, in the list's order.
    py::list Deleted();
    py::object Record(unsigned long long recordID);
    // The record of that ID, deleted or not; raises KeyError when there is none.
    LKMDB7::CRecord& AnyRecord(unsigned long long recordID);
    std::size_t Count();
    py::list TypeNames();
    py::list CategoryNames();
    py::object Add(const py::str& type, const py::sequence& fields, const py::str& category,
                   const py::str& note, std::optional<unsigned long long> mask);
    // Marks the record deleted (the next save writes the mark, so devices learn of it).
    void Delete(LKMDB7::CRecord& record);
    // Takes the deleted mark off; the record needs sync again.
    void Undelete(LKMDB7::CRecord& record);
    // Removes the records, types and categories marked deleted from memory, so that the next save
    // no longer writes them; returns the number of records removed.
    std::size_t Purge();
    // The undeleted records in which text occurs (CRecordList::FindRecords).
    py::list Find(const py::str& text, const std::optional<py::iterable>& fields, bool matchCase,
                  bool wholeWord, bool note);
    void Save();
    py::list ToDicts();
    // Drops the records and the password from memory; every later call raises ValueError.
    void Close();
    bool Closed() const { return closed_; }

  private:
    void Load(const std::string& path, const std::optional<py::str>& password);
    void JudgePassword(const LKMDB7::CribKind crib, bool given);

    LKMDB7::CDatabaseObj7 db_;
    std::string password_;
    LKMDB7::ULONGLONG cipherGeneration_ = 0;
    bool cipherSet_ = false;
    std::size_t damaged_ = 0;  // packed records that failed their checksum at open
    unsigned long long changes_ = 0;
    bool closed_ = false;
};

class Record {
  public:
    Record(std::shared_ptr<Database> db, LKMDB7::CRecord& record);

    // Raises KeyError when the record is no longer in the database.
    LKMDB7::CRecord& Get();
    Database& Db() { return *db_; }

    unsigned long Id() const { return id_; }
    py::str Field(int i);
    void SetField(int i, const py::str& text);
    // record[index]: an int (negative from the end) gives a field, a slice a tuple of fields.
    py::object Item(const py::object& index);
    // record[index] = value; a slice takes a sequence of as many str, all set or none.
    void SetItem(const py::object& index, const py::object& value);
    std::size_t Hash() const;
    py::tuple Fields();
    py::tuple Labels();
    py::str Note();
    void SetNote(const py::str& text);
    py::str Type();
    void SetType(const py::str& name);
    py::str Category();
    void SetCategory(const py::str& name);
    unsigned Mask();
    void SetMask(unsigned long long mask);
    bool Deleted();
    py::dict ToDict();
    // Two views are equal when they show the same record of the same Database object.
    bool operator==(const Record& other) const { return db_ == other.db_ && id_ == other.id_; }

  private:
    // Applies change to the record and repacks it; undo puts it back when packing refuses.
    template <class Change, class Undo>
    void Edit(Change change, Undo undo);

    std::shared_ptr<Database> db_;
    LKMDB7::DWORD id_;
    LKMDB7::CRecord* record_;
    unsigned long long seen_;
};

// The value of index, an int that names a field; raises TypeError naming `what` for anything
// else. Ints too large for a long long come out as its least or greatest value, outside every
// field range.
long long IndexValue(py::handle index, const char* what);

void RegisterDatabase(py::module_& m);

}  // namespace lkmdb7py
