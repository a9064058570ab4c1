// The adaptive frequency tables of the entropy stage. T_ABC_Model keeps its symbols in
// descending order of frequency (rank 0 first); T_ABC_Context_Model keeps them in symbol order
// and mixes an order-0 table with tables chosen by the last symbol and by the last few.
// Tables are sized when a model is set up and only refilled afterwards, so decoding a block
// allocates nothing.
#pragma once

#include "storage/abc/RangeCoder.h"

#include <cstdint>
#include <vector>

namespace meridia {

class T_ABC_Model {
public:
  static constexpr int kMaxSymbols = 257;
  static constexpr uint32_t kLimit = 32768;

  void Setup(int count, uint32_t increment);
  // Rank k holds symbol k with frequency (count - k) * increment.
  void Reset();
  int Decode(T_ABC_Range_Coder& coder);

  // For an encoder: where a symbol stands and what it covers.
  int RankOf(int symbol) const;
  // [cumulative, cumulative + frequency) of Total(): the ranks after `rank` lie below it.
  void Interval(int rank, uint32_t& cumulative, uint32_t& frequency) const;
  uint32_t Total() const { return Total_; }
  int Count() const { return Count_; }
  // The rank swaps with the first rank of equal frequency, which then grows by the increment;
  // every frequency is halved (rounding up) when the total reaches kLimit.
  void Update(int rank);

private:
  // The decoder sums frequencies this many ranks at a time.
  static constexpr int kStride = 8;

  int Count_ = 0;
  uint32_t Increment_ = 0;
  uint32_t Total_ = 0;
  // Padded to whole strides; the entries past Count_ stay 0.
  uint32_t Frequency_[(kMaxSymbols + kStride - 1) / kStride * kStride] = {};
  uint16_t Symbol_[kMaxSymbols] = {};
};

class T_ABC_Context_Model {
public:
  static constexpr uint32_t kLimit = 32767;

  // `count` symbols; each symbol enters the history in `bits` bits; the short context is the
  // last symbol, the long one the last `length` symbols. Increments of the order-0, short and
  // long tables.
  void Setup(int count, int bits, int length, uint32_t order0, uint32_t shortIncrement,
             uint32_t longIncrement);
  // Initial frequencies fall with the symbol on the MTF path and are flat on the others; the
  // SIF flag halves the short table's share of the mix.
  void Reset(bool mtfPath, bool halveShort);
  int Decode(T_ABC_Range_Coder& coder);

  // For an encoder.
  void Interval(int symbol, uint32_t& cumulative, uint32_t& frequency) const;
  uint32_t Total() const { return Total_; }
  int Count() const { return Count_; }
  void Update(int symbol);

protected:
  // After the symbols 0 and 1 the two lowest history bits are cleared (level-0 models).
  bool MergesRunDigits_ = false;

private:
  void AddTo(uint32_t* table, uint32_t& total, int symbol, uint32_t increment);
  void AddTo(uint16_t* table, uint32_t& total, int symbol, uint32_t increment);
  void Rebuild();

  int Count_ = 0;
  int Bits_ = 0;
  uint32_t ShortMask_ = 0;
  uint32_t LongMask_ = 0;
  uint32_t Increment_[3] = {};
  bool HalveShort_ = false;
  uint32_t History_ = 0;

  std::vector<uint32_t> Order0_;
  uint32_t Order0Total_ = 0;
  // One row of Count_ entries per context, and each row's total.
  std::vector<uint16_t> Short_;
  std::vector<uint32_t> ShortTotal_;
  std::vector<uint16_t> Long_;
  std::vector<uint32_t> LongTotal_;
  // The mixed table the next symbol is decoded with.
  std::vector<uint32_t> Mixed_;
  uint32_t Total_ = 0;
};

class T_ABC_Context_Level_0_Model : public T_ABC_Context_Model {
public:
  T_ABC_Context_Level_0_Model() { MergesRunDigits_ = true; }
};

} // namespace meridia
