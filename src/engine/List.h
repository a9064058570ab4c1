// A growable list of object pointers. Items.size() == Count at all times; entries may be null.
// The list frees its objects only when FreeAll is called.
#pragma once

#include "engine/Object.h"

#include <cstdint>
#include <vector>

namespace meridia {

class TzoList : public TObject {
public:
  TzoList() = default;

  // New entries are null; a negative count is a caller error and empties the list.
  virtual void SetCount(int32_t n);
  // Returns the index of the new entry.
  virtual int32_t Add(TObject* item);
  // A negative index inserts at 0, one at or past Count appends.
  virtual void Insert(int32_t index, TObject* item);
  // Out-of-range indices are ignored.
  void SetItem(int32_t index, TObject* item);
  // Frees every object and nulls its entry; Count stays.
  void FreeAll();

  int32_t Count = 0;
  std::vector<TObject*> Items;
};

} // namespace meridia
