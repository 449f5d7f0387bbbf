#include "lkmdb7/platform/CObList.h"

#include <memory>
#include <new>
#include <string>

#include "lkmdb7/platform/CArchive.h"
#include "lkmdb7/platform/Exceptions.h"

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
    return node;
}

CObject*& CObList::GetHead() {
    return Check(m_pHead, "GetHead")->data;
}
CObject* CObList::GetHead() const {
    return Check(m_pHead, "GetHead")->data;
}
CObject*& CObList::GetTail() {
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
}

CObject*& CObList::GetNext(POSITION& position) {
    CObListNode* node = Check(position, "GetNext");
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
    position = node->prev;
    return node->data;
}

CObject* CObList::GetPrev(POSITION& position) const {
    CObListNode* node = Check(position, "GetPrev");
    position = node->prev;
    return node->data;
}

CObject*& CObList::GetAt(POSITION position) {
    return Check(position, "GetAt")->data;
}

CObject* CObList::GetAt(POSITION position) const {
    return Check(position, "GetAt")->data;
}

void CObList::SetAt(POSITION position, CObject* object) {
    Check(position, "SetAt")->data = object;
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
    SerializeObjects(ar, RUNTIME_CLASS(CObject), "object");
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
    for (DWORD i = 0; i < count; ++i) {
        const std::string item =
            name + " item " + std::to_string(i + 1) + " of " + std::to_string(count);
        std::unique_ptr<CObject> object = ar.ReadObject(requiredBase, item.c_str());
        AddTail(object.get());
        static_cast<void>(object.release());  // the list holds it now
    }
}
