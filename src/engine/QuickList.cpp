#include "engine/QuickList.h"

#include <cstdio>
#include <cstdlib>

namespace meridia {
namespace {

// Misuse by the caller: loud in debug builds, ignored (the list left as it was) in release.
bool Expect(bool ok, [[maybe_unused]] const char* function, [[maybe_unused]] const char* what) {
#ifndef NDEBUG
  if (!ok) {
    std::fprintf(stderr, "%s: %s\n", function, what);
    std::abort();
  }
#endif
  return ok;
}

} // namespace

TzoQuickListItem::~TzoQuickListItem() {
  if (Parent != nullptr) {
    Parent->Remove(this);
  }
}

void TzoQuickListItem::Item_MoveToFirst() {
  if (Parent != nullptr) {
    Parent->Prepend(this);
  }
}

void TzoQuickListItem::Item_MoveToLast() {
  if (Parent != nullptr) {
    Parent->Append(this);
  }
}

void TzoQuickListItem::Item_MoveToUp() {
  if (Parent != nullptr && Prev != nullptr) {
    Parent->InsertAfter(Prev->Prev, this);
  }
}

void TzoQuickListItem::Item_MoveToDown() {
  if (Parent != nullptr && Next != nullptr) {
    Parent->InsertAfter(Next, this);
  }
}

TzoQuickList::~TzoQuickList() {
  // Each item's destructor unlinks it, so Last steps back by itself.
  while (Last != nullptr) {
    delete Last;
  }
}

TzoQuickListItem* TzoQuickList::AddNew() {
  auto* item = new TzoQuickListItem;
  Append(item);
  return item;
}

void TzoQuickList::Append(TzoQuickListItem* item) {
  if (!Expect(item != nullptr, "TzoQuickList::Append", "null item")) {
    return;
  }
  if (item->Parent != nullptr) {
    item->Parent->Remove(item);
  }
  item->Prev = Last;
  item->Next = nullptr;
  if (Last != nullptr) {
    Last->Next = item;
  }
  if (First == nullptr) {
    First = item;
  }
  Last = item;
  item->Parent = this;
  ++Count;
}

void TzoQuickList::Prepend(TzoQuickListItem* item) {
  if (!Expect(item != nullptr, "TzoQuickList::Prepend", "null item")) {
    return;
  }
  if (item->Parent != nullptr) {
    item->Parent->Remove(item);
  }
  item->Next = First;
  item->Prev = nullptr;
  if (First != nullptr) {
    First->Prev = item;
  }
  First = item;
  if (Last == nullptr) {
    Last = item;
  }
  item->Parent = this;
  ++Count;
}

void TzoQuickList::InsertAfter(TzoQuickListItem* after, TzoQuickListItem* item) {
  // An anchor from another list, or the item itself, would splice two lists together or link
  // the item to itself.
  if (!Expect(item != nullptr && after != item && (after == nullptr || after->Parent == this),
              "TzoQuickList::InsertAfter", "null item, or anchor not in this list")) {
    return;
  }
  if (item->Parent != nullptr) {
    item->Parent->Remove(item);
  }
  if (after == nullptr) {
    Prepend(item);
    return;
  }
  item->Prev = after;
  item->Next = after->Next;
  if (after->Next != nullptr) {
    after->Next->Prev = item;
  }
  after->Next = item;
  if (Last == after) {
    Last = item;
  }
  item->Parent = this;
  ++Count;
}

void TzoQuickList::Remove(TzoQuickListItem* item) {
  // Unlinking a stranger would rewrite another list's links and this list's Count.
  if (!Expect(item != nullptr && item->Parent == this, "TzoQuickList::Remove",
              "item is not in this list")) {
    return;
  }
  // First never has a Prev nor Last a Next while the links are sound, so these pick the
  // neighbour that takes over the end.
  if (First == item) {
    First = item->Prev != nullptr ? item->Prev : item->Next;
  }
  if (Last == item) {
    Last = item->Next != nullptr ? item->Next : item->Prev;
  }
  if (item->Prev != nullptr) {
    item->Prev->Next = item->Next;
  }
  if (item->Next != nullptr) {
    item->Next->Prev = item->Prev;
  }
  item->Next = nullptr;
  item->Prev = nullptr;
  item->Parent = nullptr;
  --Count;
}

} // namespace meridia
