#include "engine/List.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace meridia {

void TzoList::SetCount(int32_t n) {
#ifndef NDEBUG
  if (n < 0) {
    std::fprintf(stderr, "TzoList::SetCount: negative count %d\n", n);
    std::abort();
  }
#endif
  n = std::max(n, 0);
  if (n != Count) {
    Count = n;
    Items.resize(static_cast<size_t>(n), nullptr);
  }
}

int32_t TzoList::Add(TObject* item) {
  SetCount(Count + 1);
  Items[static_cast<size_t>(Count - 1)] = item;
  return Count - 1;
}

void TzoList::Insert(int32_t index, TObject* item) {
  index = std::max(index, 0);
  if (index >= Count) {
    Add(item);
    return;
  }
  SetCount(Count + 1);
  auto at = Items.begin() + index;
  std::move_backward(at, Items.end() - 1, Items.end());
  *at = item;
}

void TzoList::SetItem(int32_t index, TObject* item) {
  if (index >= 0 && index < Count) {
    Items[static_cast<size_t>(index)] = item;
  }
}

void TzoList::FreeAll() {
  // Index by index, entry nulled before the delete: a destructor that looks at this list finds
  // no dangling pointer.
  for (size_t i = 0; i < Items.size(); ++i) {
    TObject* item = Items[i];
    Items[i] = nullptr;
    delete item;
  }
}

} // namespace meridia
