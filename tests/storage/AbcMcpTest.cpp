// Whole streams through the block-sorting decoder: round trips on every path, and damaged
// streams (checksums, headers, every truncated prefix, every changed byte) that must end the
// decode cleanly.
#include "AbcTestSupport.h"

#include "AbcEncoder.h"
#include "AbcEntropy.h"
#include "storage/abc/Mcp.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <fstream>
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

// Streams worked out apart from meridia-pack, from the format's description alone, by a
// throwaway script: the sorted rotations of the data with an end symbol below every byte, the
// rank and run stages forward, then each segment coded as an exact interval with the models
// driven as described, its value chosen inside its interval so that its last bytes are the
// first of the next segment and, for the last one, so that any bytes after the guard decode the
// same. For "banana": the rotations of banana$ end in a n n b $ a a (primary index 4; CRC, with
// initial value 0 and no final inversion, 0x04B249C6); two runs of 2, no cut runs; MTF ranks
// 97 110 0 99 3 3 0. Segment 1 codes the top exponent 0 and the count 2 (00 00 02), segment 2
// nothing, segment 3 the ranks and the end symbol 256.
TEST(AbcMcp, GoldenStreamsOnEveryPath) {
  const struct {
    const char* name;
    ByteVector stream;
    const char* text;
  } streams[] = {
      {"MTF",
       {0x0c, 0x01, 0x6c, 0xc6, 0x49, 0xb2, 0x04, 0x00, 0x00, 0x0e, 0x00, 0x00, 0x00,
        0xea, 0x85, 0x00, 0x00, 0x01, 0x50, 0xd8, 0x5e, 0xc7, 0x51, 0x65, 0xab, 0xb5},
       "banana"},
      // Runs cut to 2 + e copies: the a's with exponent 4, mantissa 7; the b's exponent 1.
      {"MTF runs",
       {0x0c, 0x01, 0xfc, 0x21, 0xa1, 0x51, 0x01, 0x00, 0x00, 0x11, 0x00, 0x00, 0x00, 0x13, 0xe0,
        0x1b, 0xa9, 0x17, 0xea, 0x01, 0x47, 0x53, 0x4d, 0xa1, 0x06, 0x65, 0xae, 0x5f, 0x24},
       "aaaaaaaaaaaaaaaaaaaaaaaabbbbbcc"},
      // Counts 4 4 1 2 (i m p s): even enough for the most frequent first.
      {"SIF",
       {0x0c, 0x02, 0x73, 0x01, 0x27, 0x79, 0x05, 0x00, 0x00, 0x17, 0x00, 0x00,
        0x00, 0xd1, 0x94, 0x1e, 0x3e, 0x0d, 0x2e, 0x2e, 0x23, 0x2d, 0xa2, 0xf5,
        0x6f, 0xeb, 0x2e, 0x86, 0xe8, 0xb6, 0x2b, 0x38, 0x81, 0xba, 0xd0},
       "mississippi"},
      {"SIF runs",
       {0x0c, 0x02, 0xfc, 0x21, 0xa1, 0x51, 0x01, 0x00, 0x00, 0x19, 0x00, 0x00, 0x00,
        0xd1, 0x9b, 0xb9, 0x08, 0x2a, 0x1d, 0xd8, 0xf2, 0x60, 0x55, 0x2d, 0xa2, 0xf5,
        0x6f, 0xe6, 0x0f, 0x42, 0x01, 0x8f, 0x40, 0x55, 0x6b, 0x6e, 0x75},
       "aaaaaaaaaaaaaaaaaaaaaaaabbbbbcc"},
      {"AWFC p 16",
       {0x0d, 0x00, 0x5b, 0x48, 0x6d, 0x7c, 0x03, 0x00, 0x00, 0x10, 0x0d, 0x00, 0x00,
        0x00, 0x0b, 0x47, 0xb3, 0x92, 0x32, 0x9e, 0xcd, 0xbd, 0xe3, 0x6d, 0xe0, 0xc0},
       "abracadabra"},
      // Repeats 9 and 2 as zero-run digits.
      {"AWFC p 4 runs",
       {0x0d, 0x00, 0x08, 0x1f, 0x82, 0x6f, 0x0e, 0x00, 0x00, 0x04, 0x0a, 0x00,
        0x00, 0x00, 0x09, 0x01, 0x6d, 0xfe, 0x51, 0x29, 0x07, 0xe6, 0x22},
       "zzzzzzzzzzyyyx"},
      // What no stage reads may hold anything: the SIF path's second number is 0 here, the
      // count of runs of 2 is 9 there.
      {"SIF, unread number 0",
       {0x0c, 0x02, 0x73, 0x01, 0x27, 0x79, 0x05, 0x00, 0x00, 0x16, 0x00, 0x00,
        0x00, 0xd1, 0x94, 0x30, 0xb4, 0x0f, 0x48, 0x31, 0x2d, 0xa2, 0xf5, 0x6f,
        0xeb, 0x2e, 0x86, 0xe8, 0xb6, 0x2b, 0x38, 0x81, 0xba, 0xd0},
       "mississippi"},
      {"MTF, 9 runs of 2 stored",
       {0x0c, 0x01, 0x6c, 0xc6, 0x49, 0xb2, 0x04, 0x00, 0x00, 0x0f, 0x00, 0x00, 0x00, 0xe9,
        0x78, 0xff, 0x00, 0x00, 0x01, 0x50, 0xd8, 0x5e, 0xc7, 0x51, 0x65, 0xab, 0xb5},
       "banana"},
      // Lists of two run mantissas, 0 1 and 5 7, for one run each: read from their ends.
      {"MTF runs, extra mantissas",
       {0x0c, 0x01, 0xfc, 0x21, 0xa1, 0x51, 0x01, 0x00, 0x00, 0x12, 0x00, 0x00, 0x00, 0x13, 0xdd,
        0x25, 0xa7, 0x67, 0xdc, 0xb7, 0x01, 0x47, 0x53, 0x4d, 0xa1, 0x06, 0x65, 0xae, 0x5f, 0x24},
       "aaaaaaaaaaaaaaaaaaaaaaaabbbbbcc"},
  };
  for (const auto& s : streams) {
    EXPECT_EQ(Decoded(s.stream), s.text) << s.name;
  }

  // Two blocks. The first one's last symbols decode as they should only with the bytes the
  // range decoder reads after its guard being the second block's flags (0xFF: the MTF path,
  // unused bits set) and the low byte of its checksum, not zeros.
  ByteVector two = {0x0c, 0x02, 0xde, 0x75, 0x5e, 0x81, 0x09, 0x00, 0x00, 0x17, 0x00, 0x00,
                    0x00, 0xd1, 0x99, 0xe5, 0x76, 0x7b, 0xbb, 0x92, 0x2e, 0x2d, 0xa2, 0xf5,
                    0x6f, 0xe6, 0xe1, 0x1e, 0x65, 0xb5, 0x94, 0xbc, 0x84, 0x43, 0xf9};
  const ByteVector second = {0x0c, 0xff, 0x0e, 0x27, 0x50, 0x33, 0x0c, 0x00, 0x00, 0x17, 0x00, 0x00,
                             0x00, 0xf3, 0x78, 0x00, 0x00, 0x01, 0x1b, 0x7f, 0xc8, 0x6b, 0xff, 0x1e,
                             0x94, 0x8a, 0x72, 0x7e, 0xad, 0x78, 0xc5, 0xba, 0xa9, 0xef, 0x30};
  const ByteVector first = two;
  two.insert(two.end(), second.begin(), second.end());
  EXPECT_EQ(Decoded(two), "hfddbghgccsecond block");
  // Alone, with zeros after its guard, the block is damaged.
  EXPECT_EQ(Decoded(first).rfind("refused: ", 0), 0u);
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
      {"MTF header of 11", changed(mtf, 0, 11), "block header shorter than its fields"},
      {"header length 0 before a byte", ByteVector{0, 5}, "block header shorter than its fields"},
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

TEST(AbcMcp, StreamEndsAtABlockWithoutPayload) {
  const ByteVector text = TextBytes(600, 15);
  const ByteVector stream = Compress(text, AbcChoice::Mtf);
  const auto with = [&](ByteVector tail) {
    ByteVector bytes = stream;
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    return bytes;
  };
  const struct {
    const char* name;
    ByteVector stream;
    std::string decoded;
  } cases[] = {
      // A header read as far as the stream goes, with nothing after it.
      {"header length only", {12}, ""},
      {"header length 0", {0}, ""},
      {"header cut", ByteVector(stream.begin(), stream.begin() + 8), ""},
      {"header only", ByteVector(stream.begin(), stream.begin() + 12), ""},
      {"a header after a block", with(ByteVector(stream.begin(), stream.begin() + 12)), Text(text)},
      {"two stray bytes after a block", with({0xFF, 0x07}), Text(text)},
      {"a short header after a block", with({5, 0, 0, 0}), Text(text)},
      // A payload behind a header too short for its fields is damage.
      {"a header of 2 and two bytes after a block", with({2, 0, 0, 0}),
       "refused: block header shorter than its fields (block at byte " +
           std::to_string(stream.size()) + ")"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Decoded(c.stream), c.decoded) << c.name;
  }
}

TEST(AbcMcp, EveryTruncatedPrefixEndsCleanly) {
  const ByteVector text = TextBytes(500, 11);
  for (const AbcChoice choice : {AbcChoice::Mtf, AbcChoice::Sif, AbcChoice::Awfc}) {
    const ByteVector stream = Compress(text, choice, 250);
    // Cut inside a header, or just after one, the stream ends with the blocks before it; cut
    // inside a payload, the block is damaged.
    const size_t first_end = stream[0] + (stream[stream[0] - 3] | stream[stream[0] - 2] << 8 |
                                          stream[stream[0] - 1] << 16);
    for (size_t length = 0; length < stream.size(); ++length) {
      const std::string decoded = Decoded(ByteVector(stream.begin(), stream.begin() + length));
      if (length <= stream[0]) {
        EXPECT_EQ(decoded, "") << int(choice) << " " << length;
      } else if (length >= first_end && length <= first_end + stream[first_end]) {
        EXPECT_EQ(decoded, Text(ByteVector(text.begin(), text.begin() + 250)))
            << int(choice) << " " << length;
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
        // Only bytes the decoder skips (the first of each segment) can change unnoticed, but a
        // header length reaching past the end leaves a stream with no block in it.
        if (at == 0 && damaged[0] >= damaged.size()) {
          EXPECT_EQ(decoded, "") << int(choice);
        } else if (decoded.rfind("refused: ", 0) != 0) {
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
  damaged->Buffer = Compress(text, AbcChoice::Sif);
  damaged->Buffer[2] ^= 1;
  EXPECT_EQ(Decoder().DecodeStream(std::move(damaged)), nullptr);
}

// The process's address space, from the kernel's own account.
size_t AddressSpace() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmSize:", 0) == 0) {
      return std::stoull(line.substr(7)) * 1024;
    }
  }
  return 0;
}

TEST(AbcMcp, MemoryThatCannotBeHadRefusesTheStream) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer reserves address space of its own";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
  GTEST_SKIP() << "the address sanitizer reserves address space of its own";
#endif
#endif
  // 64 blocks of 1 MiB of one byte value: a few kilobytes of stream, 64 MiB of output.
  const ByteVector block = pack::AbcBlock(ByteVector((1 << 20) - 1, 'z'), T_ABC_Path::Mtf);
  ByteVector stream;
  for (int i = 0; i < 64; ++i) {
    stream.insert(stream.end(), block.begin(), block.end());
  }
  // Room for a decoder's work memory and 32 MiB more: the output does not fit.
  rlimit previous{};
  ASSERT_EQ(getrlimit(RLIMIT_AS, &previous), 0);
  rlimit tight = previous;
  tight.rlim_cur = AddressSpace() + T_ABC_MCP::WorkBytes() + (size_t{32} << 20);
  ASSERT_EQ(setrlimit(RLIMIT_AS, &tight), 0);
  bool sound = true;
  std::string error;
  std::vector<uint8_t> out;
  {
    T_ABC_MCP decoder;
    sound = decoder.Decode(stream, out);
    error = decoder.LastError();
  }
  setrlimit(RLIMIT_AS, &previous);
  EXPECT_FALSE(sound);
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(error.rfind("no memory for the output", 0), 0u) << error;
}

} // namespace
} // namespace meridia
