#include "storage/abc/SymbolModel.h"

namespace meridia {
namespace {

constexpr int kEscape = 3;

int GroupSize(int start, int end) {
  return end - start;
}

} // namespace

int AbcGroupOf(int symbol) {
  int group = 7;
  while (symbol < kAbcGroupStarts[group]) {
    --group;
  }
  return group;
}

void T_ABC_Symbol_Model::Setup(int alphabet) {
  Alphabet = alphabet;
  Head.Setup(4, 450);
  Selector.Setup(8, 333);
  for (int g = 0; g < 8; ++g) {
    Groups[g].Setup(GroupSize(kAbcGroupStarts[g], GroupEnd(g)), kAbcGroupIncrements[g]);
  }
}

void T_ABC_Symbol_Model::Reset() {
  Head.Reset();
  Selector.Reset();
  for (T_ABC_Model& group : Groups) {
    group.Reset();
  }
}

int T_ABC_Symbol_Model::Decode(T_ABC_Range_Coder& coder) {
  const int head = Head.Decode(coder);
  if (head < kEscape) {
    return head;
  }
  const int group = Selector.Decode(coder);
  const int start = kAbcGroupStarts[group];
  if (GroupEnd(group) - start < 2) {
    return start;
  }
  return start + Groups[group].Decode(coder);
}

void T_ABC_Symbol_Context_Model::Setup(int alphabet) {
  Alphabet = alphabet;
  Head.Setup(4, 2, 5, 900, 400, 500);
  Selector.Setup(8, 3, 2, 1000, 500, 150);
  for (int g = 0; g < 2; ++g) {
    const uint32_t increment = g == 0 ? 0 : 128;
    FirstGroups[g].Setup(GroupSize(kAbcGroupStarts[g], GroupEnd(g)), 1, 5, increment, increment,
                         increment / 2);
  }
  for (int g = 2; g < 8; ++g) {
    Groups[g].Setup(GroupSize(kAbcGroupStarts[g], GroupEnd(g)), kAbcGroupIncrements[g]);
  }
}

void T_ABC_Symbol_Context_Model::Reset(bool mtfPath, bool halveShort) {
  Head.Reset(mtfPath, halveShort);
  Selector.Reset(mtfPath, halveShort);
  for (T_ABC_Context_Model& group : FirstGroups) {
    group.Reset(mtfPath, halveShort);
  }
  for (int g = 2; g < 8; ++g) {
    Groups[g].Reset();
  }
}

int T_ABC_Symbol_Context_Model::Decode(T_ABC_Range_Coder& coder) {
  const int head = Head.Decode(coder);
  if (head < kEscape) {
    return head;
  }
  const int group = Selector.Decode(coder);
  const int start = kAbcGroupStarts[group];
  if (GroupEnd(group) - start < 2) {
    return start;
  }
  return start + (group < 2 ? FirstGroups[group].Decode(coder) : Groups[group].Decode(coder));
}

T_ABC_Exponent_Model::T_ABC_Exponent_Model() {
  Head.Setup(5, 3, 3, 1400, 400, 200);
  Tail.Setup(20, 5, 2, 1300, 300, 80);
}

void T_ABC_Exponent_Model::Reset(bool mtfPath, bool halveShort) {
  Head.Reset(mtfPath, halveShort);
  Tail.Reset(mtfPath, halveShort);
}

int T_ABC_Exponent_Model::Decode(T_ABC_Range_Coder& coder) {
  const int head = Head.Decode(coder);
  return head < 4 ? head : 4 + Tail.Decode(coder);
}

void T_ABC_Mantissa_Models::Reset(bool mtfPath, bool halveShort) {
  Bit.Reset();
  One.Reset();
  Two.Reset();
  Three.Reset(mtfPath, halveShort);
}

uint32_t T_ABC_Mantissa_Models::Decode(T_ABC_Range_Coder& coder, int bits) {
  switch (bits) {
  case 1:
    return static_cast<uint32_t>(One.Decode(coder));
  case 2:
    return static_cast<uint32_t>(Two.Decode(coder));
  default:
    break;
  }
  auto value = static_cast<uint32_t>(Three.Decode(coder));
  for (int i = 3; i < bits; ++i) {
    value = value << 1 | static_cast<uint32_t>(Bit.Decode(coder));
  }
  return value;
}

} // namespace meridia
