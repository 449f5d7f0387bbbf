// The root of the serializable class tree and its run-time class records. A class record names a
// class, carries its schema number and, for dynamically creatable classes, a factory; the archive
// reader creates objects by the class name found in a file through the registry below.
#pragma once

#include "lkmdb7/platform/Export.h"
#include "lkmdb7/platform/Types.h"

namespace LKMDB7 {

class CArchive;
class CObject;

// Set in a schema number: objects of another schema are accepted on reading, which then asks the
// archive for the schema that was read (CArchive::GetObjectSchema).
inline constexpr UINT kVersionableSchema = 0x80000000u;

// A class record: one static instance per class, made by the LKMDB7_IMPLEMENT_... macros.
struct LKMDB7_EXPORT CRuntimeClass {
    const char* m_lpszClassName;  // the class's bare name, as files carry it; static
    // Mutable, process-wide: the database stamps the file version into its classes before it
    // reads or writes the lists. The low 16 bits are what a class description carries.
    UINT m_wSchema;
    CObject* (*m_pfnCreateObject)();  // null for classes that cannot be created by name
    CRuntimeClass* m_pBaseClass;      // null for CObject

    // A new object that the caller owns, or null when the class has no factory. Allocation
    // failure raises CMemoryException.
    CObject* CreateObject() const;
    // True for this class and every class derived from it.
    bool IsDerivedFrom(const CRuntimeClass* base) const;

    // The registered class of exactly this (case-sensitive) name, or null. Safe to call from the
    // initialisation of other statics.
    static const CRuntimeClass* FromName(const char* name);
    // Adds a class to the registry. Registering the same record again does nothing; a different
    // record under a name that is taken raises CInvalidArgException.
    static void Register(CRuntimeClass* cls);
};

// The base of every class that has a class record; see the top of this header.
class LKMDB7_EXPORT CObject {
  public:
    virtual ~CObject();
    // The class record of the object's own class; static.
    virtual CRuntimeClass* GetRuntimeClass() const;
    // Writes or reads the object's own data; CObject has none.
    virtual void Serialize(CArchive& ar);
    // Whether the object's class is cls or derived from it.
    bool IsKindOf(const CRuntimeClass* cls) const;
    // CObject's class record; every class with a record declares its own.
    static CRuntimeClass* GetThisClass();

  protected:
    CObject() = default;
    // @{
    // Copies nothing: CObject holds no data.
    CObject(const CObject&) = default;
    CObject& operator=(const CObject&) = default;
    // @}
};

}  // namespace LKMDB7

// The class record of Class.
#define LKMDB7_RUNTIME_CLASS(Class) (Class::GetThisClass())

// In the class body. The class record is created on first use, so classes in different
// translation units never depend on each other's static initialisation.
#define LKMDB7_DECLARE_DYNAMIC(Class)               \
  public:                                           \
    static ::LKMDB7::CRuntimeClass* GetThisClass(); \
    ::LKMDB7::CRuntimeClass* GetRuntimeClass() const override

// As LKMDB7_DECLARE_DYNAMIC, plus the factory that creates the class by name.
#define LKMDB7_DECLARE_SERIAL(Class) \
    LKMDB7_DECLARE_DYNAMIC(Class);   \
    static ::LKMDB7::CObject* CreateObject()

// The definitions that the two macros below share; not for direct use.
#define LKMDB7_IMPLEMENT_RUNTIMECLASS_(Class, Base, schema, factory)                            \
    ::LKMDB7::CRuntimeClass* Class::GetThisClass() {                                            \
        static ::LKMDB7::CRuntimeClass rc{#Class, static_cast<::LKMDB7::UINT>(schema), factory, \
                                          Base::GetThisClass()};                                \
        return &rc;                                                                             \
    }                                                                                           \
    ::LKMDB7::CRuntimeClass* Class::GetRuntimeClass() const {                                   \
        return Class::GetThisClass();                                                           \
    }

// At namespace scope of the class, with its bare name: the name string is `#Class` ("CRecord" for
// LKMDB7::CRecord), which is what files carry.
#define LKMDB7_IMPLEMENT_DYNAMIC(Class, Base) \
    LKMDB7_IMPLEMENT_RUNTIMECLASS_(Class, Base, 0xFFFFu, nullptr)

// The definitions of LKMDB7_DECLARE_SERIAL's members: a class record with this schema number
// and a factory; the class must be default-constructible.
#define LKMDB7_IMPLEMENT_SERIAL(Class, Base, schema)               \
    ::LKMDB7::CObject* Class::CreateObject() {                     \
        return new Class; /* NOLINT(bugprone-macro-parentheses) */ \
    }                                                              \
    LKMDB7_IMPLEMENT_RUNTIMECLASS_(Class, Base, schema, &Class::CreateObject)
