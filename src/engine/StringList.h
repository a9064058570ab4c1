// A list of text/object pairs. Items.size() == Count between calls; the objects are borrowed
// unless FreeObjects is called.
#pragma once

#include "engine/Object.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace meridia {

struct TzoString {
  std::string Text;
  TObject* Object = nullptr;
};

class TzoStringList : public TObject {
public:
  TzoStringList() = default;

  // Fires OnChange; returns the index of the new entry.
  int32_t AddObject(std::string_view text, TObject* object);
  // Out-of-range indices are ignored. Does not free the object and does not fire OnChange.
  void Delete(int32_t index);
  // Frees every object and nulls its entry; texts and Count stay.
  void FreeObjects();
  // The first entry whose text is exactly `text` (an empty text matches any) and, when `object`
  // is not null, whose object is `object`; -1 if none, or if both are empty.
  int32_t IndexOf(std::string_view text, const TObject* object) const;
  // A negative count is a caller error and empties the list.
  void SetCount(int32_t n);
  // Appends one entry per line; lines end at CR, LF or CR LF. A trailing line break adds no
  // empty entry. Kept lines are stored untrimmed. Fires OnChange once.
  void AddText(std::string_view text, bool skipBlankLines);

  int32_t Count = 0;
  std::function<void()> OnChange;
  std::vector<TzoString> Items;
};

} // namespace meridia
