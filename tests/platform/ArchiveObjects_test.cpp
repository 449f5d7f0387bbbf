#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "lkmdb7/platform/CArchive.h"
#include "lkmdb7/platform/CMemFile.h"
#include "lkmdb7/platform/CObList.h"
#include "tests/support/ArchiveBytes.h"

using namespace LKMDB7;

using lkmdb7_test::Bytes;
using lkmdb7_test::Join;
using lkmdb7_test::Store;
using lkmdb7_test::operator+;
using ::testing::HasSubstr;

namespace {

int g_live = 0;  // objects of the test classes alive now

class CTestBase : public CObject {
    LKMDB7_DECLARE_SERIAL(CTestBase);

  public:
    CTestBase() { ++g_live; }
    explicit CTestBase(DWORD v) : value(v) { ++g_live; }
    ~CTestBase() override { --g_live; }

    void Serialize(CArchive& ar) override {
        if (ar.IsStoring()) {
            ar.WriteDword(value);
        } else {
            schema = ar.GetObjectSchema();
            schemaAgain = ar.GetObjectSchema();
            value = ar.ReadDword("value");
        }
    }

    DWORD value = 0;
    UINT schema = 0;
    UINT schemaAgain = 0;
};
LKMDB7_IMPLEMENT_SERIAL(CTestBase, CObject, kVersionableSchema | 9)

class CTestDerived : public CTestBase {
    LKMDB7_DECLARE_SERIAL(CTestDerived);

  public:
    using CTestBase::CTestBase;
};
LKMDB7_IMPLEMENT_SERIAL(CTestDerived, CTestBase, kVersionableSchema | 5)

// Not versionable: any other schema in a file is refused.
class CTestFixed : public CObject {
    LKMDB7_DECLARE_SERIAL(CTestFixed);
};
LKMDB7_IMPLEMENT_SERIAL(CTestFixed, CObject, 3)

class CTestNoFactory : public CObject {
    LKMDB7_DECLARE_DYNAMIC(CTestNoFactory);
};
LKMDB7_IMPLEMENT_DYNAMIC(CTestNoFactory, CObject)

class CTestUnregistered : public CObject {
    LKMDB7_DECLARE_SERIAL(CTestUnregistered);
};
LKMDB7_IMPLEMENT_SERIAL(CTestUnregistered, CObject, 1)

class ArchiveObjects : public ::testing::Test {
  protected:
    void SetUp() override {
        CRuntimeClass::Register(LKMDB7_RUNTIME_CLASS(CTestBase));
        CRuntimeClass::Register(LKMDB7_RUNTIME_CLASS(CTestDerived));
        CRuntimeClass::Register(LKMDB7_RUNTIME_CLASS(CTestFixed));
        CRuntimeClass::Register(LKMDB7_RUNTIME_CLASS(CTestNoFactory));
        g_live = 0;
    }
    void TearDown() override { EXPECT_EQ(g_live, 0) << "test objects leaked"; }
};

void DeleteAll(CObList& list) {
    while (!list.IsEmpty()) {
        delete list.RemoveHead();
    }
}

const Bytes kBaseClass = Join({0xFF, 0xFF, 0x09, 0x00, 0x09, 0x00}, "CTestBase");
const Bytes kDerivedClass = Join({0xFF, 0xFF, 0x05, 0x00, 0x0C, 0x00}, "CTestDerived");

}  // namespace

TEST_F(ArchiveObjects, RegistryAndRuntimeClasses) {
    EXPECT_EQ(CRuntimeClass::FromName("CTestBase"), LKMDB7_RUNTIME_CLASS(CTestBase));
    EXPECT_EQ(CRuntimeClass::FromName("ctestbase"), nullptr);
    EXPECT_EQ(CRuntimeClass::FromName("CTestUnregistered"), nullptr);
    CRuntimeClass impostor{"CTestBase", 9, nullptr, nullptr};
    EXPECT_THROW(CRuntimeClass::Register(&impostor), CInvalidArgException);
    EXPECT_EQ(CRuntimeClass::FromName("CTestBase"), LKMDB7_RUNTIME_CLASS(CTestBase));
    const CTestNoFactory dynamicOnly;
    EXPECT_EQ(dynamicOnly.GetRuntimeClass()->CreateObject(), nullptr);
    CTestDerived d;
    EXPECT_TRUE(d.IsKindOf(LKMDB7_RUNTIME_CLASS(CTestBase)));
    EXPECT_TRUE(d.IsKindOf(LKMDB7_RUNTIME_CLASS(CObject)));
    EXPECT_FALSE(CTestBase().IsKindOf(LKMDB7_RUNTIME_CLASS(CTestDerived)));
    EXPECT_STREQ(d.GetRuntimeClass()->m_lpszClassName, "CTestDerived");
}

TEST_F(ArchiveObjects, ListFramingBytesAndRoundTrip) {
    CTestBase a(1);
    CTestBase b(2);
    CTestDerived c(3);
    CObList list;
    list.AddTail(&a);
    list.AddTail(&b);
    list.AddTail(&c);
    // Indices: class CTestBase 1, objects 2 and 3, class CTestDerived 4, object 5.
    const Bytes expected = Join({0x03, 0x00}) + kBaseClass + Join({1, 0, 0, 0}) +
                           Join({0x01, 0x80, 2, 0, 0, 0}) + kDerivedClass + Join({3, 0, 0, 0}) +
                           Join({0x01, 0x00}) + Join({0x04, 0x80, 4, 0, 0, 0});
    CTestDerived d(4);
    const Bytes bytes = Store([&](CArchive& ar) {
        list.Serialize(ar);
        // A second list in the same archive continues the numbering.
        CObList second;
        second.AddTail(&d);
        second.Serialize(ar);
    });
    EXPECT_EQ(bytes, expected);

    CMemFile file(bytes);
    CArchive ar(&file, CArchive::load);
    CObList back;
    back.SerializeObjects(ar, LKMDB7_RUNTIME_CLASS(CTestBase), "record");
    back.SerializeObjects(ar, LKMDB7_RUNTIME_CLASS(CTestBase), "type");
    ASSERT_EQ(back.GetCount(), 4);
    POSITION pos = back.GetHeadPosition();
    const UINT schemas[] = {9, 9, 5, 5};
    for (DWORD i = 1; i <= 4; ++i) {
        auto* item = static_cast<CTestBase*>(back.GetNext(pos));
        EXPECT_EQ(item->value, i);
        EXPECT_EQ(item->schema, schemas[i - 1]);
        EXPECT_EQ(item->schemaAgain, static_cast<UINT>(-1));  // reported once per object
    }
    EXPECT_TRUE(back.GetTail()->IsKindOf(LKMDB7_RUNTIME_CLASS(CTestDerived)));
    DeleteAll(back);
}

TEST_F(ArchiveObjects, SchemaIsTheStampedVersionWithoutTheFlag) {
    CRuntimeClass* cls = LKMDB7_RUNTIME_CLASS(CTestBase);
    const UINT saved = cls->m_wSchema;
    cls->m_wSchema = kVersionableSchema | 7;
    CTestBase a(1);
    const Bytes bytes = Store([&](CArchive& ar) { ar.WriteObject(&a); });
    cls->m_wSchema = saved;
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 4), Join({0xFF, 0xFF, 0x07, 0x00}));

    CMemFile file(bytes);
    CArchive ar(&file, CArchive::load);
    const std::unique_ptr<CTestBase> back = ar.ReadObjectOf<CTestBase>("item");
    EXPECT_EQ(back->schema, 7u);  // the file's schema, not the class's current 9
}

TEST_F(ArchiveObjects, NullAndRepeatedObjectsAreWrittenAsTags) {
    CTestBase a(1);
    const Bytes bytes = Store([&](CArchive& ar) {
        ar.WriteObject(&a);
        ar.WriteObject(&a);
        ar.WriteObject(nullptr);
    });
    EXPECT_EQ(bytes, kBaseClass + Join({1, 0, 0, 0, 0x02, 0x00, 0x00, 0x00}));
}

TEST_F(ArchiveObjects, ThirtyTwoBitIndexForms) {
    // 0x7FFD objects of one class take indices 2..0x7FFE, so the next class takes 0x7FFF, the
    // first index that no longer fits a 15-bit tag, and its first object takes 0x8000.
    const DWORD many = 0x7FFD;
    std::vector<std::unique_ptr<CTestBase>> objects;
    for (DWORD i = 0; i < many; ++i) {
        objects.push_back(std::make_unique<CTestBase>(i));
    }
    CTestDerived x(7);
    CTestDerived y(8);
    const Bytes bytes = Store([&](CArchive& ar) {
        for (const auto& o : objects) {
            ar.WriteObject(o.get());
        }
        ar.WriteObject(&x);
        ar.WriteObject(&y);
        ar.WriteObject(&x);
    });
    const Bytes tail = kDerivedClass + Join({7, 0, 0, 0}) +
                       Join({0xFF, 0x7F, 0xFF, 0x7F, 0x00, 0x80, 8, 0, 0, 0}) +
                       Join({0xFF, 0x7F, 0x00, 0x80, 0x00, 0x00});
    ASSERT_GT(bytes.size(), tail.size());
    EXPECT_EQ(Bytes(bytes.end() - static_cast<long>(tail.size()), bytes.end()), tail);

    CMemFile file(bytes);
    CArchive ar(&file, CArchive::load);
    for (DWORD i = 0; i < many; ++i) {
        ASSERT_EQ(ar.ReadObjectOf<CTestBase>("item")->value, i);
    }
    EXPECT_EQ(ar.ReadObjectOf<CTestBase>("item")->value, 7u);
    EXPECT_EQ(ar.ReadObjectOf<CTestBase>("item")->value, 8u);
    try {
        ar.ReadObject(LKMDB7_RUNTIME_CLASS(CTestBase), "item");
        FAIL() << "a repeated object was accepted";
    } catch (const CArchiveException& e) {
        EXPECT_EQ(e.m_cause, CArchiveException::badIndex);
        EXPECT_THAT(e.what(), HasSubstr("object index 32768 repeats"));
    }
}

TEST_F(ArchiveObjects, BadTagsAreRefused) {
    const Bytes oneBase = kBaseClass + Join({1, 0, 0, 0});
    struct Case {
        const char* name;
        Bytes bytes;  // read with CTestBase as the required base until the error
        int cause;
        const char* message;
    };
    const Case cases[] = {
        {"null object", Join({0x00, 0x00}), CArchiveException::badIndex, "null object at byte 0"},
        {"32-bit null object", Join({0xFF, 0x7F, 0, 0, 0, 0}), CArchiveException::badIndex,
         "null object"},
        {"repeated object", oneBase + Join({0x02, 0x00}), CArchiveException::badIndex,
         "object index 2 repeats an object read before at byte 19"},
        {"unknown object", Join({0x05, 0x00}), CArchiveException::badIndex,
         "object index 5 names no object"},
        {"class index 0", Join({0x00, 0x80}), CArchiveException::badIndex, "class index 0"},
        {"class index not read", Join({0x01, 0x80}), CArchiveException::badIndex,
         "class index 1 names no class"},
        {"class index naming an object", oneBase + Join({0x02, 0x80}), CArchiveException::badIndex,
         "class index 2"},
        {"32-bit class index not read", Join({0xFF, 0x7F, 0x01, 0x00, 0x00, 0x80}),
         CArchiveException::badIndex, "class index 1"},
        {"unknown class", Join({0xFF, 0xFF, 0x09, 0x00, 0x04, 0x00}, "CFoo"),
         CArchiveException::badClass, "unknown class \"CFoo\" at byte 0 while reading item"},
        {"case differs", Join({0xFF, 0xFF, 0x09, 0x00, 0x09, 0x00}, "ctestbase"),
         CArchiveException::badClass, "unknown class"},
        {"name with NUL",
         Join({0xFF, 0xFF, 0x09, 0x00, 0x0A, 0x00}, std::string("CTestBase\0", 10)),
         CArchiveException::badClass, "unknown class \"CTestBase\\x00\""},
        {"name too long", Join({0xFF, 0xFF, 0x09, 0x00, 0x40, 0x00}) + Bytes(64, 'A'),
         CArchiveException::badClass, "class name of 64 bytes"},
        {"not the required base", Join({0xFF, 0xFF, 0x03, 0x00, 0x0A, 0x00}, "CTestFixed"),
         CArchiveException::badClass, "class CTestFixed where CTestBase was expected"},
        {"fixed schema differs", Join({0xFF, 0xFF, 0x04, 0x00, 0x0A, 0x00}, "CTestFixed"),
         CArchiveException::badSchema, "schema 4 of class CTestFixed"},
        {"class description cut short", Join({0xFF, 0xFF, 0x09}), CArchiveException::endOfFile,
         "unexpected end of data at byte 2"},
        {"body cut short", kBaseClass + Join({1, 0}), CArchiveException::endOfFile,
         "while reading value"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CMemFile file(c.bytes);
        CArchive ar(&file, CArchive::load);
        try {
            while (true) {
                ar.ReadObject(LKMDB7_RUNTIME_CLASS(CTestBase), "item");
            }
        } catch (const CArchiveException& e) {
            EXPECT_EQ(e.m_cause, c.cause);
            EXPECT_THAT(e.what(), HasSubstr(c.message));
        }
        EXPECT_EQ(g_live, 0);  // an object whose body failed is destroyed
    }

    CMemFile file(Join({0xFF, 0xFF, 0x01, 0x00, 0x0E, 0x00}, "CTestNoFactory"));
    CArchive ar(&file, CArchive::load);
    EXPECT_THROW(ar.ReadObject(nullptr, "item"), CArchiveException);
}

TEST_F(ArchiveObjects, PartlyReadListKeepsWhatWasRead) {
    const Bytes bytes = Join({0x02, 0x00}) + kBaseClass + Join({1, 0, 0, 0, 0x01, 0x80, 2, 0});
    CMemFile file(bytes);
    CArchive ar(&file, CArchive::load);
    CObList list;
    EXPECT_THROW(list.SerializeObjects(ar, LKMDB7_RUNTIME_CLASS(CTestBase), "record"),
                 CArchiveException);
    ASSERT_EQ(list.GetCount(), 1);
    EXPECT_EQ(static_cast<CTestBase*>(list.GetHead())->value, 1u);
    DeleteAll(list);
}

TEST_F(ArchiveObjects, UnregisteredClassIsNotWritten) {
    CTestUnregistered u;
    CMemFile file;
    CArchive ar(&file, CArchive::store);
    try {
        ar.WriteObject(&u);
        FAIL() << "an unregistered class was written";
    } catch (const CArchiveException& e) {
        EXPECT_EQ(e.m_cause, CArchiveException::badClass);
        EXPECT_THAT(e.what(), HasSubstr("CTestUnregistered"));
    }
}
