#include "engine/StringList.h"

#include "engine/Strings.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace meridia {

int32_t TzoStringList::AddObject(std::string_view text, TObject* object) {
  SetCount(Count + 1);
  TzoString& entry = Items[static_cast<size_t>(Count - 1)];
  entry.Text = text;
  entry.Object = object;
  if (OnChange) {
    OnChange();
  }
  return Count - 1;
}

void TzoStringList::Delete(int32_t index) {
  if (index < 0 || index >= Count) {
    return;
  }
  Items.erase(Items.begin() + index);
  SetCount(Count - 1);
}

void TzoStringList::FreeObjects() {
  // Entry nulled before the delete: a destructor that looks at this list finds no dangling
  // pointer.
  for (size_t i = 0; i < Items.size(); ++i) {
    TObject* object = Items[i].Object;
    Items[i].Object = nullptr;
    delete object;
  }
}

int32_t TzoStringList::IndexOf(std::string_view text, const TObject* object) const {
  if (text.empty() && object == nullptr) {
    return -1;
  }
  for (int32_t i = 0; i < Count; ++i) {
    const TzoString& entry = Items[static_cast<size_t>(i)];
    if ((text.empty() || entry.Text == text) && (object == nullptr || entry.Object == object)) {
      return i;
    }
  }
  return -1;
}

void TzoStringList::SetCount(int32_t n) {
#ifndef NDEBUG
  if (n < 0) {
    std::fprintf(stderr, "TzoStringList::SetCount: negative count %d\n", n);
    std::abort();
  }
#endif
  Count = std::max(n, 0);
  Items.resize(static_cast<size_t>(Count));
}

void TzoStringList::AddText(std::string_view text, bool skipBlankLines) {
  size_t filled = static_cast<size_t>(Count);
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) {
      end = text.size();
    }
    const std::string_view line = text.substr(pos, end - pos);
    pos = end;
    // CR LF is one break; LF CR and CR CR are two.
    if (pos < text.size() && text[pos] == '\r') {
      ++pos;
    }
    if (pos < text.size() && text[pos] == '\n') {
      ++pos;
    }
    if (skipBlankLines && Trim(line).empty()) {
      continue;
    }
    // Growing in steps of 100 keeps a long text from reallocating for every line.
    if (filled >= Items.size()) {
      Items.resize(filled + 100);
    }
    Items[filled].Text = line;
    Items[filled].Object = nullptr;
    ++filled;
  }
  SetCount(static_cast<int32_t>(filled));
  if (OnChange) {
    OnChange();
  }
}

} // namespace meridia
