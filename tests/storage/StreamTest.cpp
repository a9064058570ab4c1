#include "storage/MemoryStream.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace meridia {
namespace {

TEST(MemoryStreamTest, OneRoutineSavesAndLoadsTheSameValues) {
  struct Record {
    int32_t count = 0;
    double scale = 0;
    std::string name, empty;
    void Serialize(TzoStream& s) {
      s.TransferInt32(count);
      s.TransferInt64(scale);
      s.TransferString(name);
      EXPECT_TRUE(s.TransferString(empty));
    }
  };
  TzoMemoryStream stream;
  EXPECT_EQ(stream.Mode, kStreamRead);
  Record saved{-7, 0.1, "abcde", ""};
  stream.SetMode(kStreamWrite);
  saved.Serialize(stream);
  // 4 + 8 + (4 + 5) + 4: no spare bytes, position at the end, little-endian.
  EXPECT_EQ(stream.GetSize(), 25);
  EXPECT_EQ(stream.GetPosition(), 25);
  EXPECT_EQ(TzoMemoryStreamBuffer(stream.Buffer.begin(), stream.Buffer.begin() + 4),
            (TzoMemoryStreamBuffer{0xF9, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(TzoMemoryStreamBuffer(stream.Buffer.end() - 4, stream.Buffer.end()),
            TzoMemoryStreamBuffer(4, 0));

  stream.Buffer.push_back(0x5A); // a byte after the record must stay unread
  Record loaded{0, 0, "", "old"};
  stream.SetMode(kStreamRead);
  stream.SetPosition(0);
  loaded.Serialize(stream);
  EXPECT_TRUE(loaded.count == -7 && loaded.scale == 0.1 && loaded.name == "abcde");
  EXPECT_EQ(loaded.empty, "");
  EXPECT_EQ(stream.GetPosition(), 25);
}

TEST(MemoryStreamTest, WritesGrowBySizeWrittenWhereverThePositionIs) {
  TzoMemoryStream stream;
  stream.SetMode(kStreamWrite);
  std::array<uint8_t, 10> ten{};
  ten.fill(9);
  stream.TransferBuffer(ten.data(), 10);
  stream.SetPosition(0);
  std::array<uint8_t, 3> three = {1, 2, 3};
  stream.TransferBuffer(three.data(), 3);
  EXPECT_EQ(stream.GetPosition(), 3);
  EXPECT_EQ(stream.Buffer, (TzoMemoryStreamBuffer{1, 2, 3, 9, 9, 9, 9, 9, 9, 9, 0, 0, 0}));
}

TEST(MemoryStreamTest, ReadsStopAtTheEnd) {
  TzoMemoryStream stream;
  stream.Buffer = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  stream.SetPosition(6);
  std::array<uint8_t, 8> out{};
  out.fill(0xEE);
  stream.TransferBuffer(out.data(), 8);
  EXPECT_EQ(out, (std::array<uint8_t, 8>{6, 7, 8, 9, 0xEE, 0xEE, 0xEE, 0xEE}));
  out.fill(0xEE);
  stream.TransferBuffer(out.data(), 8); // nothing left
  EXPECT_EQ(out[0], 0xEE);
  EXPECT_EQ(stream.GetPosition(), 10);

  // Damaged lengths: a string longer than the rest, a negative one, a cut length field.
  const struct {
    const char* name;
    TzoMemoryStreamBuffer bytes;
    const char* expected;
  } strings[] = {
      {"overrun", {5, 0, 0, 0, 'a', 'b'}, "ab"},
      {"negative", {0xFF, 0xFF, 0xFF, 0xFF, 'a'}, ""},
      {"huge", {0xFF, 0xFF, 0xFF, 0x7F, 'a'}, "a"},
      {"cut length", {1, 0}, ""},
  };
  for (const auto& c : strings) {
    TzoMemoryStream damaged;
    damaged.Buffer = c.bytes;
    std::string text = "old";
    EXPECT_FALSE(damaged.TransferString(text)) << c.name;
    EXPECT_EQ(text, c.expected) << c.name;
    EXPECT_LE(damaged.GetPosition(), damaged.GetSize()) << c.name;
  }
}

TEST(MemoryStreamTest, SizeAndPositionClamps) {
  TzoMemoryStream stream;
  stream.Buffer = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  stream.SetPosition(8);
  stream.SetSize(4);
  EXPECT_EQ(stream.GetPosition(), 4);
  stream.SetSize(6);
  EXPECT_EQ(stream.Buffer, (TzoMemoryStreamBuffer{1, 2, 3, 4, 0, 0}));
  EXPECT_EQ(stream.GetPosition(), 4);
  stream.SetPosition(100);
  EXPECT_EQ(stream.GetPosition(), 6);
  stream.SetPosition(-3);
  EXPECT_EQ(stream.GetPosition(), 0);

  // Counts of zero or less move nothing in either direction.
  stream.SetMode(kStreamWrite);
  uint8_t byte = 0x77;
  stream.TransferBuffer(&byte, 0);
  stream.TransferBuffer(&byte, -5);
  EXPECT_EQ(stream.GetSize(), 6);
  EXPECT_EQ(stream.GetPosition(), 0);
  stream.SetPosition(3);
  stream.SetSize(-1);
  EXPECT_EQ(stream.Buffer, (TzoMemoryStreamBuffer{1, 2, 3, 4, 0, 0})) << "refused, not emptied";
  EXPECT_EQ(stream.GetPosition(), 3);
}

} // namespace
} // namespace meridia
