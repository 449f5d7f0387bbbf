// A doubly linked list of CObject pointers. It does not own the objects: whoever fills it
// deletes them. Insertion and removal are O(1) at a known position.
#pragma once

#include "lkmdb7/platform/CObject.h"
#include "lkmdb7/platform/Export.h"
#include "lkmdb7/platform/Types.h"

namespace LKMDB7 {

class CArchive;

// A place in a CObList; null is "no element" (past either end). A position stays valid until
// its own element is removed, so a walk may remove the current element once it has taken the
// next position. Passing a null position, or one of another list, raises CInvalidArgException.
struct CObListNode;
using POSITION = CObListNode*;  // see above

// See the top of this header.
class LKMDB7_EXPORT CObList : public CObject {
    LKMDB7_DECLARE_DYNAMIC(CObList);

  public:
    CObList() = default;
    // Frees the nodes, not the objects.
    ~CObList() override;
    CObList(const CObList&) = delete;
    CObList& operator=(const CObList&) = delete;

    int GetCount() const { return m_nCount; }  // the number of elements
    // Grows with every change to the list: insertion, removal, SetAt, and every accessor that
    // hands out a writable reference to an element (GetHead, GetTail, GetNext, GetPrev, GetAt),
    // counted when the reference is handed out. Lookups cached over the list compare it to know
    // that they are still current; a reference kept and written after a later call of the list
    // escapes it.
    ULONGLONG GetModificationCount() const { return m_nModifications; }
    int GetSize() const { return m_nCount; }        // GetCount()
    bool IsEmpty() const { return m_nCount == 0; }  // GetCount() is 0

    // @{
    // The first or last object; on an empty list CInvalidArgException.
    CObject*& GetHead();
    CObject* GetHead() const;
    CObject*& GetTail();
    CObject* GetTail() const;
    // @}
    // @{
    // Unlinks and returns the first or last object; on an empty list CInvalidArgException.
    CObject* RemoveHead();
    CObject* RemoveTail();
    // @}

    // @{
    // Links object in at the head or the tail; returns its position. Throws CMemoryException.
    POSITION AddHead(CObject* object);
    POSITION AddTail(CObject* object);
    // @}
    // @{
    // Links object in before or after position; returns its position. A null position inserts
    // at the head (before) or at the tail (after). Throws CMemoryException.
    POSITION InsertBefore(POSITION position, CObject* object);
    POSITION InsertAfter(POSITION position, CObject* object);
    // @}
    // Unlinks the element at position; the object is not deleted.
    void RemoveAt(POSITION position);
    // Unlinks every element; no object is deleted.
    void RemoveAll();

    // @{
    // The position of the first or last element; null for an empty list.
    POSITION GetHeadPosition() const { return m_pHead; }
    POSITION GetTailPosition() const { return m_pTail; }
    // @}
    // @{
    // The object at position; position moves to the next (previous) one, null past the end.
    CObject*& GetNext(POSITION& position);
    CObject* GetNext(POSITION& position) const;
    CObject*& GetPrev(POSITION& position);
    CObject* GetPrev(POSITION& position) const;
    // @}
    // @{
    // The object at position, which stays where it is.
    CObject*& GetAt(POSITION position);
    CObject* GetAt(POSITION position) const;
    // @}
    // Puts object at position in place of the one there, which is not deleted.
    void SetAt(POSITION position, CObject* object);
    // The first position after startAfter (from the head when null) that holds this pointer.
    POSITION Find(const CObject* object, POSITION startAfter = nullptr) const;

    // Count and tagged objects of any registered class; see SerializeObjects.
    void Serialize(CArchive& ar) override;
    // Storing writes the count and each object. Loading reads the count and appends each object
    // read, which must be of requiredBase; the caller owns what was appended, also when reading
    // fails part way (the objects read so far stay in the list).
    void SerializeObjects(CArchive& ar, const CRuntimeClass* requiredBase, const char* what);

  private:
    CObListNode* Check(POSITION position, const char* operation) const;
    CObListNode* NewNode(CObject* object, CObListNode* prev, CObListNode* next);

    CObListNode* m_pHead = nullptr;
    CObListNode* m_pTail = nullptr;
    int m_nCount = 0;
    ULONGLONG m_nModifications = 0;
};

}  // namespace LKMDB7
