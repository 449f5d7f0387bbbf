// Allocation number k fails, for every k, during a load and during a save of a small database:
// the load raises CMemoryException, the save returns -1, nothing leaks (the sanitizer build
// checks that at exit) and the file on disk stays as it was.
//
// This program replaces the global operator new, so it runs apart from the other tests. Under
// Windows the library has its own allocator in its DLL, out of reach of this one: the test skips.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <new>

#include "lkmdb7/database/Crib.h"
#include "lkmdb7/database/DatabaseObj7.h"
#include "lkmdb7/items/CategoryItem.h"
#include "lkmdb7/items/Record.h"
#include "lkmdb7/items/RecordCipher.h"
#include "lkmdb7/items/TypeItem.h"
#include "tests/support/ItemTesting.h"
#include "tests/support/TestPaths.h"

namespace {

// Allocations counted since Arm; the one numbered g_failAt (from 1) fails. 0: none fails.
std::atomic<bool> g_counting{false};
std::atomic<std::size_t> g_count{0};
std::atomic<std::size_t> g_failAt{0};
std::atomic<bool> g_failed{false};

void* Allocate(std::size_t size) {
    if (g_counting.load(std::memory_order_relaxed)) {
        const std::size_t n = ++g_count;
        if (n == g_failAt.load(std::memory_order_relaxed)) {
            g_failed = true;
            throw std::bad_alloc();
        }
    }
    if (void* p = std::malloc(size != 0 ? size : 1)) {
        return p;
    }
    throw std::bad_alloc();
}

void Arm(std::size_t failAt) {
    g_count = 0;
    g_failAt = failAt;
    g_failed = false;
    g_counting = true;
}

void Disarm() {
    g_counting = false;
}

}  // namespace

void* operator new(std::size_t size) {
    return Allocate(size);
}
void* operator new[](std::size_t size) {
    return Allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

using namespace LKMDB7;
using namespace lkmdb7_test;
namespace fs = std::filesystem;

namespace {

// Two records, a type and a category: every list and every item class.
void Fill(CDatabaseObj7& db, const char* text) {
    db.Reset(false);
    for (DWORD id = 1; id <= 2; ++id) {
        auto* record = new CRecord;
        record->SetRecordID(id);
        record->SetField(0, text);
        record->SetField(3, "a secret that is long enough for the heap too");
        record->SetNote("a note");
        db.GetRecordList().AddItem(record);
    }
    auto* type = new CTypeItem;
    type->SetRecordID(10);
    type->SetName("Web");
    db.GetTypesList().AddItem(type);
    auto* category = new CCategoryItem;
    category->SetRecordID(11);
    category->SetName("Home");
    db.GetCategoryList().AddItem(category);
}

// Whether db holds everything Fill put there, read back from a file.
bool HoldsAll(CDatabaseObj7& db, const char* text) {
    for (DWORD id = 1; id <= 2; ++id) {
        const auto* record = dynamic_cast<const CRecord*>(db.GetItemByRecordID(0, id));
        if (record == nullptr || record->GetField(0, false) != text ||
            record->GetField(3, false) != "a secret that is long enough for the heap too" ||
            record->GetNote() != "a note") {
            return false;
        }
    }
    const CBaseItem* type = db.GetItemByRecordID(1, 10);
    const CBaseItem* category = db.GetItemByRecordID(2, 11);
    return db.GetRecordList().GetCount() == 2 && type != nullptr && type->GetName() == "Web" &&
           category != nullptr && category->GetName() == "Home";
}

class MemoryFaults : public ::testing::Test {
  protected:
    void SetUp() override {
        CDatabaseObj7 db;
        ASSERT_EQ(db.Load(CString(path())), 0);
        Fill(db, "old text, long enough for the heap");
        ASSERT_EQ(db.Save(true), 0);
        old_ = ReadFileBytes(file());
    }
    fs::path file() const { return dir_.path() / "LockmeraDatabase.lkb"; }
    std::string path() const { return file().string(); }

    ProcessStateGuard guard_;
    TempDir dir_;
    Bytes old_;
};

}  // namespace

TEST_F(MemoryFaults, LoadRaisesTheMemoryExceptionAtEveryAllocation) {
    std::size_t total = 0;
    {
        CDatabaseObj7 db;
        const CString name(path());
        Arm(0);
        const LONG result = db.Load(name);
        Disarm();
        total = g_count;
        ASSERT_EQ(result, 0);
    }
    if (total == 0) {
        GTEST_SKIP() << "the library's allocations do not pass through this program";
    }
    for (std::size_t k = 1; k <= total; ++k) {
        SCOPED_TRACE("allocation " + std::to_string(k) + " of " + std::to_string(total));
        CDatabaseObj7 db;
        const CString name(path());
        bool raised = false;
        LONG result = -1;
        Arm(k);
        try {
            result = db.Load(name);
        } catch (const CMemoryException&) {
            raised = true;
        } catch (const std::exception& e) {
            Disarm();
            ADD_FAILURE() << "raised " << typeid(e).name() << ": " << e.what();
        }
        Disarm();
        EXPECT_TRUE(g_failed);
        // A sort that gets no buffer sorts in place: a load that went on must be complete.
        if (!raised) {
            EXPECT_EQ(result, 0);
            EXPECT_TRUE(HoldsAll(db, "old text, long enough for the heap"));
        }
        EXPECT_EQ(ReadFileBytes(file()), old_);
    }
    std::cout << "[ memory   ] load: " << total << " allocations, each failed in turn\n";
}

TEST_F(MemoryFaults, SaveReturnsMinusOneAndKeepsTheFileAtEveryAllocation) {
    CDatabaseObj7 db;
    ASSERT_EQ(db.Load(CString(path())), 0);
    Fill(db, "new text, long enough for the heap");
    Arm(0);
    const LONG first = db.Save(true);
    Disarm();
    const std::size_t total = g_count;
    ASSERT_EQ(first, 0);
    if (total == 0) {
        GTEST_SKIP() << "the library's allocations do not pass through this program";
    }
    {
        std::ofstream out(file(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(old_.data()),
                  static_cast<std::streamsize>(old_.size()));
    }
    // Later saves may allocate less than the first (packed buffers are reused), so the sweep
    // runs until a save no longer reaches allocation k; that save must then succeed.
    std::size_t failedIn = 0;
    for (std::size_t k = 1;; ++k) {
        SCOPED_TRACE("allocation " + std::to_string(k) + " of at most " + std::to_string(total));
        Arm(k);
        const LONG result = db.Save(true);
        Disarm();
        if (!g_failed) {
            EXPECT_EQ(result, 0);
            break;
        }
        ++failedIn;
        EXPECT_EQ(result, -1);
        EXPECT_EQ(ReadFileBytes(file()), old_);
        EXPECT_TRUE(Temporaries(dir_.path()).empty());
        ASSERT_LE(k, total + 1) << "saves keep allocating more";
    }
    EXPECT_GT(failedIn, 0u);
    ASSERT_EQ(db.Save(true), 0);
    CDatabaseObj7 reread;
    ASSERT_EQ(reread.Load(CString(path())), 0);
    EXPECT_TRUE(HoldsAll(reread, "new text, long enough for the heap"));
    std::cout << "[ memory   ] save: " << failedIn << " allocations, each failed in turn\n";
}

// A failure that leaves nothing changed, or (when only a cache went without memory) a change
// that is complete.
TEST_F(MemoryFaults, ChangePasswordLeavesCipherCribAndRecordsAsTheyWereAtEveryAllocation) {
    std::size_t failedIn = 0;
    for (std::size_t k = 1;; ++k) {
        SCOPED_TRACE("allocation " + std::to_string(k));
        SetRecordCipherPassword(nullptr);  // the file was saved without a password
        CDatabaseObj7 db;
        ASSERT_EQ(db.Load(CString(path())), 0);
        const auto packed = [&db] {
            std::vector<std::vector<BYTE>> all;
            for (DWORD id : {1u, 2u, 10u, 11u}) {
                all.push_back(db.GetItemByRecordID(-1, id)->PalmRecord());
            }
            return all;
        };
        const auto before = packed();
        const BlowfishKey* cipher = GetRecordCipher();
        Arm(k);
        bool raised = false;
        try {
            db.ChangePassword("new", 4);
        } catch (const CMemoryException&) {
            raised = true;
        }
        Disarm();
        unsigned char crib[kCribSize];
        db.GetCrib(crib);
        if (!raised) {
            EXPECT_TRUE(CribMatches(crib, "new"));
            EXPECT_NE(packed(), before);
            if (!g_failed) {
                ASSERT_EQ(db.Save(true), 0);
                break;
            }
            continue;
        }
        ++failedIn;
        EXPECT_EQ(GetCribKind(crib), CribKind::kNone);
        EXPECT_EQ(GetRecordCipher(), cipher);
        EXPECT_EQ(packed(), before);
        ASSERT_LE(k, 1000u);
    }
    if (failedIn == 0) {
        GTEST_SKIP() << "the library's allocations do not pass through this program";
    }
    SetRecordCipherPassword("new");
    CDatabaseObj7 reread;
    ASSERT_EQ(reread.Load(CString(path())), 0);
    EXPECT_TRUE(HoldsAll(reread, "old text, long enough for the heap"));
    unsigned char crib[kCribSize];
    reread.GetCrib(crib);
    EXPECT_TRUE(CribMatches(crib, "new"));
    std::cout << "[ memory   ] password change: " << failedIn << " allocations failed it\n";
}
