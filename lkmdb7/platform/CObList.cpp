#include "lkmdb7/platform/CObList.h"

#include <charconv>
#include <memory>
#include <new>
#include <string>

#include "lkmdb7/platform/CArchive.h"
#include "lkmdb7/platform/Exceptions.h"

namespace LKMDB7 {

struct CObListNode {
    CObListNode* next;
    CObListNode* prev;
    CObject* data;
    const CObList* owner;  // catches a position handed to the wrong list
};

LKMDB7_IMPLEMENT_DYNAMIC(CObList, CObject)

CObList::~CObList() {
    RemoveAll();
}

CObListNode* CObList::Check(POSITION position, const char* operation) const {
    if (position == nullptr || position->owner != this) {
        AfxThrowInvalidArgException(std::string("CObList::") + operation +
                                    ": position not in this list");
    }
    return position;
}

CObListNode* CObList::NewNode(CObject* object, CObListNode* prev, CObListNode* next) {
    CObListNode* node = new (std::nothrow) CObListNode{next, prev, object, this};
    if (node == nullptr) {
        AfxThrowMemoryException();
    }
    (prev != nullptr ? prev->next : m_pHead) = node;
    (next != nullptr ? next->prev : m_pTail) = node;
    ++m_nCount;
    ++m_nModifications;
    return node;
}

CObject*& CObList::GetHead() {
    ++m_nModifications;
    return Check(m_pHead, "GetHead")->data;
}
CObject* CObList::GetHead() const {
    return Check(m_pHead, "GetHead")->data;
}
CObject*& CObList::GetTail() {
    ++m_nModifications;
    return Check(m_pTail, "GetTail")->data;
}
CObject* CObList::GetTail() const {
    return Check(m_pTail, "GetTail")->data;
}

CObject* CObList::RemoveHead() {
    CObject* object = Check(m_pHead, "RemoveHead")->data;
    RemoveAt(m_pHead);
    return object;
}

CObject* CObList::RemoveTail() {
    CObject* object = Check(m_pTail, "RemoveTail")->data;
    RemoveAt(m_pTail);
    return object;
}

POSITION CObList::AddHead(CObject* object) {
    return NewNode(object, nullptr, m_pHead);
}

POSITION CObList::AddTail(CObject* object) {
    return NewNode(object, m_pTail, nullptr);
}

POSITION CObList::InsertBefore(POSITION position, CObject* object) {
    if (position == nullptr) {
        return AddHead(object);
    }
    CObListNode* at = Check(position, "InsertBefore");
    return NewNode(object, at->prev, at);
}

POSITION CObList::InsertAfter(POSITION position, CObject* object) {
    if (position == nullptr) {
        return AddTail(object);
    }
    CObListNode* at = Check(position, "InsertAfter");
    return NewNode(object, at, at->next);
}

void CObList::RemoveAt(POSITION position) {
    CObListNode* node = Check(position, "RemoveAt");
    (node->prev != nullptr ? node->prev->next : m_pHead) = node->next;
    (node->next != nullptr ? node->next->prev : m_pTail) = node->prev;
    --m_nCount;
    ++m_nModifications;
    delete node;
}

void CObList::RemoveAll() {
    CObListNode* node = m_pHead;
    while (node != nullptr) {
        CObListNode* next = node->next;
        delete node;
        node = next;
    }
    m_pHead = m_pTail = nullptr;
    m_nCount = 0;
    ++m_nModifications;
}

CObject*& CObList::GetNext(POSITION& position) {
    CObListNode* node = Check(position, "GetNext");
    ++m_nModifications;
    position = node->next;
    return node->data;
}

CObject* CObList::GetNext(POSITION& position) const {
    CObListNode* node = Check(position, "GetNext");
    position = node->next;
    return node->data;
}

CObject*& CObList::GetPrev(POSITION& position) {
    CObListNode* node = Check(position, "GetPrev");
    ++m_nModifications;
    position = node->prev;
    return node->data;
}

CObject* CObList::GetPrev(POSITION& position) const {
    CObListNode* node = Check(position, "GetPrev");
    position = node->prev;
    return node->data;
}

CObject*& CObList::GetAt(POSITION position) {
    ++m_nModifications;
    return Check(position, "GetAt")->data;
}

CObject* CObList::GetAt(POSITION position) const {
    return Check(position, "GetAt")->data;
}

void CObList::SetAt(POSITION position, CObject* object) {
    Check(position, "SetAt")->data = object;
    ++m_nModifications;
}

POSITION CObList::Find(const CObject* object, POSITION startAfter) const {
    CObListNode* node = startAfter == nullptr ? m_pHead : Check(startAfter, "Find")->next;
    for (; node != nullptr; node = node->next) {
        if (node->data == object) {
            return node;
        }
    }
    return nullptr;
}

void CObList::Serialize(CArchive& ar) {
    SerializeObjects(ar, LKMDB7_RUNTIME_CLASS(CObject), "object");
}

void CObList::SerializeObjects(CArchive& ar, const CRuntimeClass* requiredBase, const char* what) {
    if (ar.IsStoring()) {
        ar.WriteCount(static_cast<DWORD>(m_nCount));
        for (CObListNode* node = m_pHead; node != nullptr; node = node->next) {
            ar.WriteObject(node->data);
        }
        return;
    }
    const std::string name = what != nullptr ? what : "object list";
    const DWORD count = ar.ReadCount((name + " count").c_str());
    // "<list> item <i> of <count>": only the number changes from item to item, so one string is
    // rewritten in place rather than built afresh for each of many items.
    const std::string prefix = name + " item ";
    const std::string suffix = " of " + std::to_string(count);
    std::string item = prefix;
    for (DWORD i = 0; i < count; ++i) {
        char number[16];
        const auto written = std::to_chars(number, number + sizeof number, i + 1);
        item.resize(prefix.size());
        item.append(number, written.ptr);
        item += suffix;
        std::unique_ptr<CObject> object = ar.ReadObject(requiredBase, item.c_str());
        AddTail(object.get());
        static_cast<void>(object.release());  // the list holds it now
    }
}

}  // namespace LKMDB7
