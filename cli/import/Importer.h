// The receiving end of every import format: each record that a reader parses is checked,
// converted to Windows-1252 and added to the database at once, so that rows are not kept twice.
// Problems are collected rather than thrown, so that one run names every bad row; the caller saves
// only when there were none (a bad row means nothing is saved).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "cli/CliError.h"
#include "cli/import/DigestSet.h"
#include "lkmdb7/lkmdb7.h"

namespace lkmdb {

// A record's fields, as a count of slots.
inline constexpr std::size_t kFieldSlots = static_cast<std::size_t>(LKMDB7::kFieldCount);

// One record as an export file gives it, texts in UTF-8.
struct ImportedRecord {
    std::string where;     // how messages name it: "line 4", "item 3"
    std::string typeName;  // empty or "Unfiled" for none
    // The labels its fields show; empty when the input names none (the type's own then apply).
    // They also name the fields in messages.
    std::vector<std::string> labels;
    // What a type that the import makes for this record gets: labels and default mask. Empty
    // typeLabels: the record's labels and mask (a record may have secret fields of its own).
    std::vector<std::string> typeLabels;
    LKMDB7::WORD typeMask = 0;
    bool maskGiven = false;  // else the type's default mask applies
    LKMDB7::WORD mask = 0;
    std::string category;  // empty or "Unfiled" for none
    std::array<std::string, kFieldSlots> fields;
    std::string note;
};

class Importer {
  public:
    struct Options {
        bool replaceUnmappable = false;
        bool allowDuplicates = false;
    };
    // `inputName` names the input in messages. The database stays the caller's.
    Importer(LKMDB7::CDatabaseObj7& db, std::string inputName, Options options);

    // Adds the record, or notes why it cannot be added. Never throws for bad input; the
    // library's memory exception passes through.
    void Add(const ImportedRecord& record);
    // A problem that a reader found at `where` (which may be empty for the input as a whole).
    void Problem(const std::string& where, const std::string& what);
    // A problem whose message already names the input and the place (a malformed CSV record).
    void Malformed(const std::string& message);

    const std::string& Name() const { return name_; }
    // Called after every 1000 records read.
    void OnProgress(std::function<void()> progress) { progress_ = std::move(progress); }

    // Whether any record was refused or any character could not be stored.
    bool Failed() const { return !problems_.empty() || (unmappableCount_ != 0 && !replace_); }
    // Writes one line per problem, in input order, then one for the characters without a
    // Windows-1252 byte (all of them together), each line starting "lkmdb: ". Returns the number
    // of records named.
    std::size_t WriteProblems(std::ostream& err) const;

    std::size_t Added() const { return added_; }
    std::size_t Duplicates() const { return duplicates_; }
    // Characters stored as '?' under replaceUnmappable.
    std::size_t Replaced() const { return replace_ ? unmappableCount_ : 0; }

  private:
    struct TypeInfo {
        LKMDB7::CTypeItem* item = nullptr;  // null: not made yet, or none for Unfiled
        bool unfiled = false;               // records take no type
        std::array<LKMDB7::CString, kFieldSlots>
            shown;  // the labels its records show without overrides
    };
    struct Unmappable {
        std::size_t count = 0;
        std::string firstWhere;
    };

    // The text in Windows-1252; false (the problem noted) when it cannot be stored.
    bool Convert(const std::string& utf8, const std::string& where, const std::string& field,
                 LKMDB7::CString& out);
    TypeInfo& Type(const LKMDB7::CString& name);
    // What makes two records equal: type and category identifiers, mask, fields and the note as a
    // reload gives it back (packing drops carriage returns).
    RecordDigest DigestOf(const LKMDB7::CUID& type, const LKMDB7::CUID& category, LKMDB7::WORD mask,
                          const LKMDB7::CStringArray& texts, int firstField,
                          const LKMDB7::CString& note);
    void NoteProblemRow(const std::string& where);

    LKMDB7::CDatabaseObj7& db_;
    std::string name_;
    bool replace_;
    bool checkDuplicates_;
    std::unordered_map<std::string, TypeInfo> types_;
    std::unordered_map<std::string, LKMDB7::CUID> categories_;
    DigestSet known_;
    std::string key_;  // reused by DigestOf
    std::vector<std::string> problems_;
    std::string lastProblemWhere_;
    std::size_t problemRows_ = 0;
    std::map<char32_t, Unmappable> unmappable_;
    std::size_t unmappableCount_ = 0;
    std::size_t added_ = 0;
    std::size_t duplicates_ = 0;
    std::size_t read_ = 0;
    std::function<void()> progress_;
};

}  // namespace lkmdb
