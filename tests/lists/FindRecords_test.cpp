// Finding records by text: which fields and whether the note are searched, how texts compare,
// and that records marked deleted are never found.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lkmdb7/lists/RecordList.h"

using namespace LKMDB7;

namespace {

// Texts are searched in their unpacked form, as a load leaves them.
CRecord* AddRecord(CRecordList& list, std::initializer_list<const char*> fields, const char* note,
                   WORD mask = 0) {
    auto* record = new CRecord;
    int i = 0;
    for (const char* field : fields) {
        record->SetField(i++, field);
    }
    record->SetNote(note);
    record->SetMaskBits(mask);
    record->PackPalmRecord(true);
    record->PuffPalmRecord(true);
    list.AddItem(record);
    return record;
}

struct Case {
    const char* name;
    const char* text;
    WORD fields;
    unsigned flags;
    std::vector<int> expected;  // indexes into the records, in list order
};

}  // namespace

TEST(FindRecords, FieldsNoteCaseWordsAndDeletedRecords) {
    CRecordList list;
    const std::vector<CRecord*> records = {
        AddRecord(list, {"Mail", "alice@example.org", "Secret pw"}, "call Bob", 0b100),
        AddRecord(list, {"Bank", "ALICE", "https://bank.example"}, ""),
        AddRecord(list, {"Web shop", "alice,bob"}, "ALICE\r\nnext"),
        AddRecord(list, {"Old", "alice"}, "alice"),
    };
    records[3]->SetDeleted(true);

    const std::vector<Case> cases = {
        {"any case, every field", "alice", kFindAllFields, 0, {0, 1, 2}},
        {"case must match", "alice", kFindAllFields, kFindMatchCase, {0, 2}},
        {"whole words: a comma joins", "alice", kFindAllFields, kFindWholeWord, {1}},
        {"whole words, note too", "alice", kFindAllFields, kFindWholeWord | kFindInNote, {1, 2}},
        {"only field 0", "alice", 0b1, 0, {}},
        {"only field 0, note too", "alice", 0b1, kFindInNote, {2}},
        {"a secret field in clear", "secret", 0b100, 0, {0}},
        {"the note alone", "bob", 0, kFindInNote, {0}},
        {"bits above field 9 ignored", "a", 0xFC00, 0, {}},
        {"an empty text is everywhere searched", "", 0, kFindInNote, {0, 1, 2}},
        {"an empty text, nothing searched", "", 0, 0, {}},
        {"no match", "carol", kFindAllFields, kFindInNote, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<CRecord*> expected;
        for (int i : c.expected) {
            expected.push_back(records[static_cast<std::size_t>(i)]);
        }
        EXPECT_EQ(list.FindRecords(c.text, c.fields, c.flags), expected);
    }
}
