// Whole streams through the block-sorting decoder: round trips on every path, and damaged
// streams (checksums, headers, every truncated prefix, every changed byte) that must end the
// decode cleanly.
#include "AbcTestSupport.h"

#include "AbcEncoder.h"
#include "AbcEntropy.h"
#include "storage/abc/Mcp.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace meridia {
namespace {

using pack::AbcChoice;
using pack::AbcOptions;
using testing::Bytes;
using testing::RandomBytes;
using testing::RecordBytes;
using testing::TextBytes;
using ByteVector = std::vector<uint8_t>;

// One decoder for the whole suite: its work memory is the size of the largest block.
T_ABC_MCP& Decoder() {
  static T_ABC_MCP decoder;
  return decoder;
}

ByteVector Compress(const ByteVector& data, AbcChoice path, uint32_t block_size = 1 << 20,
                    std::vector<T_ABC_Path>* paths = nullptr) {
  AbcOptions options;
  options.Path = path;
  options.BlockSize = block_size;
  return pack::AbcCompress(data, options, paths);
}

// The decoded bytes, or the decoder's reason prefixed with "refused: ".
std::string Decoded(const ByteVector& stream) {
  ByteVector out;
  if (!Decoder().Decode(stream, out)) {
    EXPECT_TRUE(out.empty());
    return "refused: " + Decoder().LastError();
  }
  return {out.begin(), out.end()};
}

std::string Text(const ByteVector& bytes) {
  return {bytes.begin(), bytes.end()};
}

T_ABC_Path PathOf(AbcChoice choice) {
  return choice == AbcChoice::Sif    ? T_ABC_Path::Sif
         : choice == AbcChoice::Awfc ? T_ABC_Path::Awfc
                                     : T_ABC_Path::Mtf;
}

TEST(AbcMcp, EmptyStreamGivesEmptyOutput) {
  EXPECT_EQ(Decoded({}), "");
  EXPECT_TRUE(pack::AbcCompress({}).empty());
}

TEST(AbcMcp, RoundTripsOnEveryPath) {
  ByteVector repetitive;
  for (int i = 0; i < 300; ++i) {
    repetitive.insert(repetitive.end(), static_cast<size_t>(i % 17 + 1), 'a' + i % 3);
  }
  repetitive.insert(repetitive.end(), 20000, 'q');
  const struct {
    const char* name;
    ByteVector data;
    uint32_t block_size;
  } inputs[] = {
      {"one byte", Bytes("x"), 1 << 20},
      {"one zero byte", ByteVector{0}, 1 << 20},
      {"tiny", Bytes("ab"), 1 << 20},
      {"repetitive", repetitive, 1 << 20},
      {"text", TextBytes(30000, 1), 1 << 20},
      {"records", RecordBytes(30000, 2), 1 << 20},
      {"random", RandomBytes(20000, 3), 1 << 20},
      {"text in blocks", TextBytes(24000, 4), 7000},
      {"records in blocks", RecordBytes(20000, 5), 6000},
  };
  for (const auto& input : inputs) {
    for (const AbcChoice choice : {AbcChoice::Mtf, AbcChoice::Sif, AbcChoice::Awfc}) {
      std::vector<T_ABC_Path> paths;
      const ByteVector stream = Compress(input.data, choice, input.block_size, &paths);
      EXPECT_EQ(Decoded(stream), Text(input.data)) << input.name << " " << int(choice);
      ASSERT_EQ(paths.size(), (input.data.size() + input.block_size - 1) / input.block_size);
      for (size_t b = 0; b < paths.size(); ++b) {
        // The zero-run coding has no rank 0, and a block's first symbol after sorting is its
        // last byte, ranked by its own value: a block ending in 0 takes the MTF path.
        const size_t end = std::min<size_t>((b + 1) * input.block_size, input.data.size());
        const bool awfc_refused = choice == AbcChoice::Awfc && input.data[end - 1] == 0;
        EXPECT_EQ(paths[b], awfc_refused ? T_ABC_Path::Mtf : PathOf(choice))
            << input.name << " block " << b;
      }
    }
  }
  // The MTF path's other mix of the context models (flag bit 1).
  AbcOptions options;
  options.Path = AbcChoice::Mtf;
  options.HalveShort = true;
  const ByteVector records = RecordBytes(20000, 6);
  const ByteVector stream = pack::AbcCompress(records, options);
  EXPECT_EQ(stream[1], kAbcFlagMtf | kAbcFlagSif);
  EXPECT_EQ(Decoded(stream), Text(records));
}

TEST(AbcMcp, InputLargerThanOneBlock) {
  // Past the largest block, on one path: two blocks, the first as large as a block can be.
  // Long runs keep sorting and unsorting quick enough for a sanitizer build.
  std::mt19937 rng(7);
  ByteVector data;
  while (data.size() < kAbcMaxBlock + 4096) {
    data.insert(data.end(), 1 + rng() % 3000, static_cast<uint8_t>(rng()));
  }
  std::vector<T_ABC_Path> paths;
  AbcOptions options;
  options.Path = AbcChoice::Mtf;
  const ByteVector stream = pack::AbcCompress(data, options, &paths);
  EXPECT_EQ(paths.size(), 2u);
  ByteVector out;
  ASSERT_TRUE(Decoder().Decode(stream, out)) << Decoder().LastError();
  EXPECT_TRUE(out == data);
}

TEST(AbcMcp, FlippedChecksumStopsTheDecode) {
  const ByteVector text = TextBytes(3000, 8);
  std::vector<T_ABC_Path> paths;
  ByteVector stream = Compress(text, AbcChoice::Mtf, 1000, &paths);
  ASSERT_EQ(paths.size(), 3u);
  const size_t second = stream[0] + (stream[9] | stream[10] << 8 | stream[11] << 16);
  stream[second + 2] ^= 0x10;
  EXPECT_EQ(Decoded(stream),
            "refused: block checksum mismatch (block at byte " + std::to_string(second) + ")");
}

TEST(AbcMcp, ExtraHeaderBytesBeforeTheFieldsAreSkipped) {
  for (const AbcChoice choice : {AbcChoice::Mtf, AbcChoice::Sif, AbcChoice::Awfc}) {
    const ByteVector text = TextBytes(2000, 9);
    ByteVector stream = Compress(text, choice);
    stream.insert(stream.begin() + 2, {0xAA, 0xBB});
    stream[0] = static_cast<uint8_t>(stream[0] + 2);
    EXPECT_EQ(Decoded(stream), Text(text)) << int(choice);
  }
}

TEST(AbcMcp, DamagedStreamsAreRefusedWithTheirReason) {
  const ByteVector text = TextBytes(2000, 10);
  const ByteVector mtf = Compress(text, AbcChoice::Mtf);
  const ByteVector awfc = Compress(text, AbcChoice::Awfc);
  ASSERT_EQ(awfc[1], 0);
  // An AWFC block whose zero-run stream opens with a digit.
  std::vector<uint8_t> digit_first = {13, 0, 0, 0, 0, 0, 1, 0, 0, 16};
  const ByteVector payload = pack::AwfcPayload(ByteVector{0, 5});
  for (int i = 0; i < 3; ++i) {
    digit_first.push_back(static_cast<uint8_t>(payload.size() >> (8 * i)));
  }
  digit_first.insert(digit_first.end(), payload.begin(), payload.end());

  const auto changed = [](ByteVector bytes, size_t at, uint8_t value) {
    bytes[at] = value;
    return bytes;
  };
  const auto coded_length = [&](const ByteVector& stream, size_t at, int delta) {
    ByteVector bytes = stream;
    const uint32_t length = (bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16) + delta;
    for (int i = 0; i < 3; ++i) {
      bytes[at + i] = static_cast<uint8_t>(length >> (8 * i));
    }
    return bytes;
  };
  const struct {
    const char* name;
    ByteVector stream;
    const char* reason;
  } cases[] = {
      {"one byte", ByteVector{12}, "block header cut short"},
      {"header cut", ByteVector(mtf.begin(), mtf.begin() + 8), "block header cut short"},
      {"header only", ByteVector(mtf.begin(), mtf.begin() + 12), "block without payload"},
      {"MTF header of 11", changed(mtf, 0, 11), "block header shorter than its fields"},
      {"AWFC header of 12", changed(awfc, 0, 12), "block header shorter than its fields"},
      {"coded length past the data", coded_length(mtf, 9, 1), "coded length past the data"},
      {"coded length short", coded_length(mtf, 9, -4), "coded segments run past the coded length"},
      {"primary index past the block", changed(mtf, 8, 0x7F),
       "BWT primary index outside the block"},
      {"digit before any rank", digit_first, "run digits before any rank"},
  };
  for (const auto& c : cases) {
    const std::string decoded = Decoded(c.stream);
    EXPECT_EQ(decoded.substr(0, decoded.find(" (block at")), std::string("refused: ") + c.reason)
        << c.name;
  }
}

TEST(AbcMcp, EveryTruncatedPrefixEndsCleanly) {
  const ByteVector text = TextBytes(500, 11);
  for (const AbcChoice choice : {AbcChoice::Mtf, AbcChoice::Sif, AbcChoice::Awfc}) {
    const ByteVector stream = Compress(text, choice, 250);
    // Where whole blocks end, the stream is a sound shorter one.
    const size_t first_end = stream[0] + (stream[stream[0] - 3] | stream[stream[0] - 2] << 8 |
                                          stream[stream[0] - 1] << 16);
    for (size_t length = 0; length < stream.size(); ++length) {
      const std::string decoded = Decoded(ByteVector(stream.begin(), stream.begin() + length));
      if (length == 0) {
        EXPECT_EQ(decoded, "");
      } else if (length == first_end) {
        EXPECT_EQ(decoded, Text(ByteVector(text.begin(), text.begin() + 250)));
      } else {
        EXPECT_EQ(decoded.rfind("refused: ", 0), 0u) << int(choice) << " " << length;
      }
    }
  }
}

TEST(AbcMcp, EveryChangedByteEndsCleanly) {
  const ByteVector records = RecordBytes(300, 12);
  for (const AbcChoice choice : {AbcChoice::Mtf, AbcChoice::Sif, AbcChoice::Awfc}) {
    const ByteVector stream = Compress(records, choice);
    for (size_t at = 0; at < stream.size(); ++at) {
      for (const uint8_t flip : {uint8_t{0x01}, uint8_t{0xFF}}) {
        ByteVector damaged = stream;
        damaged[at] ^= flip;
        const std::string decoded = Decoded(damaged);
        // Only bytes the decoder skips (the first of each segment) can change unnoticed.
        if (decoded.rfind("refused: ", 0) != 0) {
          EXPECT_EQ(decoded, Text(records)) << int(choice) << " " << at;
        }
      }
    }
  }
}

TEST(AbcMcp, OutputPastTheLimitIsRefused) {
  const ByteVector text = TextBytes(5000, 13);
  const ByteVector stream = Compress(text, AbcChoice::Mtf, 2000);
  Decoder().OutputLimit = 4000;
  EXPECT_EQ(Decoded(stream).substr(0, 30), "refused: output past the limit");
  Decoder().OutputLimit = T_ABC_MCP::kDefaultOutputLimit;
  EXPECT_EQ(Decoded(stream), Text(text));
}

TEST(AbcMcp, DecodeStreamTakesTheInputAndGivesAStreamToRead) {
  const ByteVector text = TextBytes(1000, 14);
  auto input = std::make_unique<TzoMemoryStream>();
  input->Buffer = Compress(text, AbcChoice::Sif);
  auto output = Decoder().DecodeStream(std::move(input));
  ASSERT_NE(output, nullptr);
  EXPECT_EQ(output->Mode, kStreamRead);
  EXPECT_EQ(output->GetPosition(), 0);
  EXPECT_EQ(Text(output->Buffer), Text(text));
  EXPECT_EQ(Decoder().DecodeStream(nullptr), nullptr);
  auto damaged = std::make_unique<TzoMemoryStream>();
  damaged->Buffer = {12, 1};
  EXPECT_EQ(Decoder().DecodeStream(std::move(damaged)), nullptr);
}

} // namespace
} // namespace meridia
