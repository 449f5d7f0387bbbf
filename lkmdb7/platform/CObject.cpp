#include "lkmdb7/platform/CObject.h"

#include <map>
#include <mutex>
#include <new>
#include <string>
#include <string_view>

#include "lkmdb7/platform/Exceptions.h"

namespace LKMDB7 {

namespace {

struct Registry {
    std::mutex mutex;
    std::map<std::string, CRuntimeClass*, std::less<>> byName;
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

}  // namespace

CObject* CRuntimeClass::CreateObject() const {
    if (m_pfnCreateObject == nullptr) {
        return nullptr;
    }
    try {
        return m_pfnCreateObject();
    } catch (const std::bad_alloc&) {
        AfxThrowMemoryException();
    }
}

bool CRuntimeClass::IsDerivedFrom(const CRuntimeClass* base) const {
    for (const CRuntimeClass* c = this; c != nullptr; c = c->m_pBaseClass) {
        if (c == base) {
            return true;
        }
    }
    return false;
}

const CRuntimeClass* CRuntimeClass::FromName(const char* name) {
    if (name == nullptr) {
        return nullptr;
    }
    Registry& r = TheRegistry();
    const std::lock_guard<std::mutex> lock(r.mutex);
    const auto it = r.byName.find(std::string_view(name));
    return it == r.byName.end() ? nullptr : it->second;
}

void CRuntimeClass::Register(CRuntimeClass* cls) {
    if (cls == nullptr || cls->m_lpszClassName == nullptr) {
        AfxThrowInvalidArgException("cannot register a class without a name");
    }
    Registry& r = TheRegistry();
    const std::lock_guard<std::mutex> lock(r.mutex);
    const auto [it, inserted] = r.byName.emplace(cls->m_lpszClassName, cls);
    if (!inserted && it->second != cls) {
        AfxThrowInvalidArgException(std::string("another class is registered as ") +
                                    cls->m_lpszClassName);
    }
}

CObject::~CObject() = default;

CRuntimeClass* CObject::GetThisClass() {
    static CRuntimeClass rc{"CObject", 0xFFFFu, nullptr, nullptr};
    return &rc;
}

CRuntimeClass* CObject::GetRuntimeClass() const {
    return GetThisClass();
}

void CObject::Serialize(CArchive& /*ar*/) {}

bool CObject::IsKindOf(const CRuntimeClass* cls) const {
    return GetRuntimeClass()->IsDerivedFrom(cls);
}

}  // namespace LKMDB7
