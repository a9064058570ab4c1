// An intrusive doubly linked list whose items can reorder themselves. The list owns its items:
// First..Last walked by Next (or Last..First by Prev) visits exactly Count items, each with
// Parent == the list; an item outside any list has Next, Prev and Parent all null.
#pragma once

#include "engine/Object.h"

#include <cstdint>

namespace meridia {

class TzoQuickList;

class TzoQuickListItem : public TObject {
public:
  TzoQuickListItem() = default;
  // Leaves its list first, so deleting an item never leaves a dangling link behind.
  ~TzoQuickListItem() override;

  void Item_MoveToFirst();
  void Item_MoveToLast();
  // One place towards First; the second item becomes First.
  void Item_MoveToUp();
  // One place towards Last.
  void Item_MoveToDown();

  TzoQuickListItem* Next = nullptr;
  TzoQuickListItem* Prev = nullptr;
  TzoQuickList* Parent = nullptr;
};

class TzoQuickList : public TObject {
public:
  TzoQuickList() = default;
  // Frees the items from Last backwards.
  ~TzoQuickList() override;

  // Derived lists return their own item type.
  virtual TzoQuickListItem* AddNew();
  // Append, Prepend and InsertAfter first take the item out of whatever list holds it, this
  // one included, so they also serve to move items.
  virtual void Append(TzoQuickListItem* item);
  virtual void Prepend(TzoQuickListItem* item);
  // A null `after` prepends.
  virtual void InsertAfter(TzoQuickListItem* after, TzoQuickListItem* item);
  // Unlinks without freeing; the caller owns the item afterwards.
  virtual void Remove(TzoQuickListItem* item);

  int32_t Count = 0;
  TzoQuickListItem* First = nullptr;
  TzoQuickListItem* Last = nullptr;
};

} // namespace meridia
