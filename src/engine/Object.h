// The root of every object that an owning list may free through a base pointer. Objects have
// identity (lists link to them by address), so they are neither copied nor moved.
#pragma once

namespace meridia {

class TObject {
public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;
};

} // namespace meridia
