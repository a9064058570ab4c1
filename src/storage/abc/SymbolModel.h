// The composite models of the entropy stage. A symbol model decodes the small values 0, 1 and 2
// with a head model; the head's fourth symbol escapes to one of eight groups of values, and
// then, for a group of two or more, to the group's own model. The exponent model does the same
// for 0..23 with one escape, and the mantissa models read numbers of a given bit width.
#pragma once

#include "storage/abc/Model.h"
#include "storage/abc/RangeCoder.h"

#include <array>
#include <cstdint>

namespace meridia {

// Lower bounds of the eight groups; the last group ends at the alphabet size.
inline constexpr std::array<int, 8> kAbcGroupStarts = {3, 4, 6, 10, 16, 32, 70, 150};
inline constexpr std::array<uint32_t, 8> kAbcGroupIncrements = {0, 64, 16, 16, 16, 8, 8, 8};

// The group of a symbol of 3 or more.
int AbcGroupOf(int symbol);

class T_ABC_Symbol_Model {
public:
  // 256 values, or 257 with the end symbol 256.
  void Setup(int alphabet);
  void Reset();
  int Decode(T_ABC_Range_Coder& coder);
  int GroupEnd(int group) const { return group == 7 ? Alphabet : kAbcGroupStarts[group + 1]; }

  int Alphabet = 256;
  T_ABC_Model Head;
  T_ABC_Model Selector;
  std::array<T_ABC_Model, 8> Groups;
};

// The same shape with context models for the head (merging the run digits 0 and 1), the group
// selector and the first two groups.
class T_ABC_Symbol_Context_Model {
public:
  void Setup(int alphabet);
  void Reset(bool mtfPath, bool halveShort);
  int Decode(T_ABC_Range_Coder& coder);
  int GroupEnd(int group) const { return group == 7 ? Alphabet : kAbcGroupStarts[group + 1]; }

  int Alphabet = 257;
  T_ABC_Context_Level_0_Model Head;
  T_ABC_Context_Model Selector;
  std::array<T_ABC_Context_Model, 2> FirstGroups;
  // Groups 2 to 7; the first two entries are unused.
  std::array<T_ABC_Model, 8> Groups;
};

class T_ABC_Exponent_Model {
public:
  T_ABC_Exponent_Model();
  void Reset(bool mtfPath, bool halveShort);
  // 0..23.
  int Decode(T_ABC_Range_Coder& coder);

  T_ABC_Context_Model Head;
  T_ABC_Context_Model Tail;
};

// Single bits of long mantissas.
class T_ABC_Mantissa_Model : public T_ABC_Model {
public:
  T_ABC_Mantissa_Model() { Setup(2, 1); }
};

// Mantissas of 1 bit.
class T_ABC_Mantissa_Model_1 : public T_ABC_Model {
public:
  T_ABC_Mantissa_Model_1() { Setup(2, 100); }
};

// Mantissas of 2 bits.
class T_ABC_Mantissa_Model_2 : public T_ABC_Model {
public:
  T_ABC_Mantissa_Model_2() { Setup(4, 40); }
};

// Mantissas of 3 bits, and the top 3 bits of longer ones.
class T_ABC_Mantissa_Model_3 : public T_ABC_Context_Model {
public:
  T_ABC_Mantissa_Model_3() { Setup(8, 3, 3, 40, 20, 10); }
};

class T_ABC_Mantissa_Models {
public:
  void Reset(bool mtfPath, bool halveShort);
  // An unsigned number of `bits` bits, 1 to 23.
  uint32_t Decode(T_ABC_Range_Coder& coder, int bits);

  T_ABC_Mantissa_Model Bit;
  T_ABC_Mantissa_Model_1 One;
  T_ABC_Mantissa_Model_2 Two;
  T_ABC_Mantissa_Model_3 Three;
};

} // namespace meridia
