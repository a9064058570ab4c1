#include "storage/abc/Model.h"

#include <algorithm>
#include <utility>

namespace meridia {

void T_ABC_Model::Setup(int count, uint32_t increment) {
  Count_ = count;
  Increment_ = increment;
  Reset();
}

void T_ABC_Model::Reset() {
  Total_ = 0;
  for (int k = 0; k < Count_; ++k) {
    Frequency_[k] = static_cast<uint32_t>(Count_ - k) * Increment_;
    Symbol_[k] = static_cast<uint16_t>(k);
    Total_ += Frequency_[k];
  }
  std::fill(Frequency_ + Count_, std::end(Frequency_), 0);
}

int T_ABC_Model::Decode(T_ABC_Range_Coder& coder) {
  const uint32_t target = coder.Target(Total_);
  // The first rank whose later ranks sum to at most the target, that is whose prefix sum
  // reaches Total - target (at least 1, so the walk ends by the last rank).
  const uint32_t need = Total_ - target;
  // Eight ranks at a time while their sum stays short of the need, then one at a time; the
  // unused entries past the count are 0.
  uint32_t prefix = 0;
  int rank = 0;
  for (;; rank += kStride) {
    uint32_t sum = 0;
    for (int k = 0; k < kStride; ++k) {
      sum += Frequency_[rank + k];
    }
    if (prefix + sum >= need) {
      break;
    }
    prefix += sum;
  }
  for (;; ++rank) {
    prefix += Frequency_[rank];
    if (prefix >= need) {
      break;
    }
  }
  coder.Consume(Total_ - prefix, Frequency_[rank], Total_);
  const int symbol = Symbol_[rank];
  Update(rank);
  return symbol;
}

int T_ABC_Model::RankOf(int symbol) const {
  for (int k = 0; k < Count_; ++k) {
    if (Symbol_[k] == symbol) {
      return k;
    }
  }
  return -1;
}

void T_ABC_Model::Interval(int rank, uint32_t& cumulative, uint32_t& frequency) const {
  cumulative = 0;
  for (int k = rank + 1; k < Count_; ++k) {
    cumulative += Frequency_[k];
  }
  frequency = Frequency_[rank];
}

void T_ABC_Model::Update(int rank) {
  const uint32_t frequency = Frequency_[rank];
  int first = rank;
  while (first > 0 && Frequency_[first - 1] == frequency) {
    --first;
  }
  std::swap(Symbol_[first], Symbol_[rank]);
  Frequency_[first] += Increment_;
  Total_ += Increment_;
  if (Total_ >= kLimit) {
    Total_ = 0;
    for (int k = 0; k < Count_; ++k) {
      Frequency_[k] = (Frequency_[k] + 1) >> 1;
      Total_ += Frequency_[k];
    }
  }
}

void T_ABC_Context_Model::Setup(int count, int bits, int length, uint32_t order0,
                                uint32_t shortIncrement, uint32_t longIncrement) {
  Count_ = count;
  Bits_ = bits;
  ShortMask_ = (1u << bits) - 1;
  LongMask_ = (1u << (bits * length)) - 1;
  Increment_[0] = order0;
  Increment_[1] = shortIncrement;
  Increment_[2] = longIncrement;
  const auto rows = [&](uint32_t mask) { return size_t{mask} + 1; };
  Order0_.assign(static_cast<size_t>(count), 0);
  Short_.assign(rows(ShortMask_) * static_cast<size_t>(count), 0);
  ShortTotal_.assign(rows(ShortMask_), 0);
  Long_.assign(rows(LongMask_) * static_cast<size_t>(count), 0);
  LongTotal_.assign(rows(LongMask_), 0);
  Mixed_.assign(static_cast<size_t>(count), 0);
  Reset(false, false);
}

void T_ABC_Context_Model::Reset(bool mtfPath, bool halveShort) {
  HalveShort_ = halveShort;
  History_ = 0;
  const auto initial = [&](int k, uint32_t increment) {
    return mtfPath ? static_cast<uint32_t>(Count_ - k) * increment : increment;
  };
  Order0Total_ = 0;
  uint32_t short_total = 0;
  uint32_t long_total = 0;
  for (int k = 0; k < Count_; ++k) {
    Order0_[k] = initial(k, Increment_[0]);
    Order0Total_ += Order0_[k];
    short_total += initial(k, Increment_[1]);
    long_total += initial(k, Increment_[2]);
  }
  for (size_t i = 0; i < Short_.size(); ++i) {
    Short_[i] = static_cast<uint16_t>(initial(static_cast<int>(i % Count_), Increment_[1]));
  }
  for (size_t i = 0; i < Long_.size(); ++i) {
    Long_[i] = static_cast<uint16_t>(initial(static_cast<int>(i % Count_), Increment_[2]));
  }
  std::fill(ShortTotal_.begin(), ShortTotal_.end(), short_total);
  std::fill(LongTotal_.begin(), LongTotal_.end(), long_total);
  Rebuild();
}

int T_ABC_Context_Model::Decode(T_ABC_Range_Coder& coder) {
  const uint32_t target = coder.Target(Total_);
  const uint32_t need = Total_ - target;
  const uint32_t* mixed = Mixed_.data();
  uint32_t prefix = 0;
  int symbol = 0;
  for (;; ++symbol) {
    prefix += mixed[symbol];
    if (prefix >= need) {
      break;
    }
  }
  coder.Consume(Total_ - prefix, mixed[symbol], Total_);
  Update(symbol);
  return symbol;
}

void T_ABC_Context_Model::Interval(int symbol, uint32_t& cumulative, uint32_t& frequency) const {
  cumulative = 0;
  for (int k = symbol + 1; k < Count_; ++k) {
    cumulative += Mixed_[k];
  }
  frequency = Mixed_[symbol];
}

void T_ABC_Context_Model::AddTo(uint32_t* table, uint32_t& total, int symbol, uint32_t increment) {
  table[symbol] += increment;
  total += increment;
  if (total > kLimit) {
    total = 0;
    for (int k = 0; k < Count_; ++k) {
      table[k] = (table[k] + 1) >> 1;
      total += table[k];
    }
  }
}

void T_ABC_Context_Model::AddTo(uint16_t* table, uint32_t& total, int symbol, uint32_t increment) {
  // Every entry stays below kLimit + the increment, so 16 bits hold it.
  table[symbol] = static_cast<uint16_t>(table[symbol] + increment);
  total += increment;
  if (total > kLimit) {
    total = 0;
    for (int k = 0; k < Count_; ++k) {
      table[k] = static_cast<uint16_t>((table[k] + 1) >> 1);
      total += table[k];
    }
  }
}

void T_ABC_Context_Model::Update(int symbol) {
  const uint32_t short_context = History_ & ShortMask_;
  const uint32_t long_context = History_ & LongMask_;
  AddTo(Order0_.data(), Order0Total_, symbol, Increment_[0]);
  AddTo(Short_.data() + size_t{short_context} * Count_, ShortTotal_[short_context], symbol,
        Increment_[1]);
  AddTo(Long_.data() + size_t{long_context} * Count_, LongTotal_[long_context], symbol,
        Increment_[2]);
  History_ = (History_ << Bits_) | static_cast<uint32_t>(symbol);
  if (MergesRunDigits_ && symbol < 2) {
    History_ &= ~3u;
  }
  Rebuild();
}

void T_ABC_Context_Model::Rebuild() {
  // Locals throughout: stores into the table would otherwise make the compiler reload the
  // count and the total on every step.
  const int count = Count_;
  const uint32_t* order0 = Order0_.data();
  const uint16_t* short_row = Short_.data() + size_t{History_ & ShortMask_} * count;
  const uint16_t* long_row = Long_.data() + size_t{History_ & LongMask_} * count;
  uint32_t* mixed = Mixed_.data();
  uint32_t total = 0;
  if (HalveShort_) {
    for (int k = 0; k < count; ++k) {
      mixed[k] = (((uint32_t{short_row[k]} >> 1) + order0[k] + long_row[k]) >> 2) + 1;
      total += mixed[k];
    }
  } else {
    for (int k = 0; k < count; ++k) {
      mixed[k] = ((short_row[k] + order0[k] + 2 * uint32_t{long_row[k]}) >> 2) + 1;
      total += mixed[k];
    }
  }
  Total_ = total;
}

} // namespace meridia
