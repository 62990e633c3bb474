// The field encoder and the frame codec: byte layouts, blank padding, bounded unpacking of
// short or malformed input.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "agent/FrameCodec.h"
#include "WireBytes.h"
#include "agent/Pack.h"
#include "common/TextFormats.h"

namespace {

using agent::Pack;
using agent::Unpack;
using kelptest::Bytes;
using kelptest::Of;

TEST(Pack, NumbersAreBigEndianAndCutToTheirWidth) {
  Bytes out;
  EXPECT_EQ(Pack(out, "lsc", {0x01020304u, 0xAABBCCDDu, 0x1FFu}), 7u);
  EXPECT_EQ(out, (Bytes{1, 2, 3, 4, 0xCC, 0xDD, 0xFF}));
}

TEST(Pack, FixedTextIsPaddedWithBlanksNeverZerosAndCutWhenLonger) {
  Bytes out;
  EXPECT_EQ(Pack(out, "S(6)S(2)", {std::string_view("ab"), std::string_view("xyz")}), 8u);
  EXPECT_EQ(out, Of("ab    xy"));
}

TEST(Pack, TextWithoutLengthIsCopiedAsItIs) {
  Bytes out{9};
  EXPECT_EQ(Pack(out, "Sl", {std::string_view("mng0"), 5u}), 8u);
  EXPECT_EQ(out, (Bytes{9, 'm', 'n', 'g', '0', 0, 0, 0, 5}));
}

TEST(Pack, StopsAtWhatItCannotEncode) {
  struct Case {
    const char* name;
    std::size_t (*pack)(Bytes&);
    std::size_t produced;
  };
  const Case cases[] = {
      {"unknown letter after an item", [](Bytes& o) { return Pack(o, "lxl", {1u, 2u}); }, 4},
      {"unterminated width", [](Bytes& o) { return Pack(o, "lS(4", {1u, "abcd"}); }, 4},
      {"width without digits", [](Bytes& o) { return Pack(o, "S()", {"ab"}); }, 0},
      {"absurd width", [](Bytes& o) { return Pack(o, "S(99999999999)", {"ab"}); }, 0},
      {"text where a number belongs", [](Bytes& o) { return Pack(o, "ll", {1u, "x"}); }, 4},
      {"number where a text belongs", [](Bytes& o) { return Pack(o, "lS(2)", {1u, 2u}); }, 4},
      {"missing value", [](Bytes& o) { return Pack(o, "lll", {1u}); }, 4},
  };
  for (const Case& c : cases) {
    Bytes out;
    EXPECT_EQ(c.pack(out), c.produced) << c.name;
    EXPECT_EQ(out.size(), c.produced) << c.name;
  }
}

TEST(Unpack, DecodesEveryItemKind) {
  const Bytes in = {0, 0, 1, 0, 0x12, 0x34, 0x56, 'a', 'b', ' ', 'c', 'd', 0, 'z'};
  std::uint32_t l = 0;
  std::uint16_t s = 0;
  std::uint8_t c = 0;
  std::string fixed, open;
  const agent::UnpackResult r = Unpack(in, "lscS(3)S", {&l, &s, &c, &fixed, &open});
  EXPECT_TRUE(r.complete);
  EXPECT_EQ(r.used, 12u) << "the zero after the open text is not consumed";
  EXPECT_EQ(l, 256u);
  EXPECT_EQ(s, 0x1234);
  EXPECT_EQ(c, 0x56);
  EXPECT_EQ(fixed, "ab ");
  EXPECT_EQ(open, "cd");
}

TEST(Unpack, TextWithoutLengthEndsAtTheBufferEnd) {
  const Bytes in = Of("no terminator");
  std::string text;
  const agent::UnpackResult r = Unpack(std::span(in).first(5), "S", {&text});
  EXPECT_TRUE(r.complete);
  EXPECT_EQ(text, "no te");
  EXPECT_EQ(r.used, 5u);
}

TEST(Unpack, IncompleteInputNeverReadsPastTheBuffer) {
  struct Case {
    const char* name;
    std::size_t size;  // of a heap buffer of exactly this size, so that a read past it is caught
    agent::UnpackResult (*unpack)(std::span<const std::uint8_t>);
    std::size_t used;
  };
  static std::uint32_t l;
  static std::uint16_t s;
  static std::uint8_t b;
  static std::string text;
  const Case cases[] = {
      {"number cut short", 3, [](std::span<const std::uint8_t> in) { return Unpack(in, "l", {&l}); }, 0},
      {"second number cut short", 5, [](std::span<const std::uint8_t> in) { return Unpack(in, "ll", {&l, &l}); }, 4},
      {"short cut short", 1, [](std::span<const std::uint8_t> in) { return Unpack(in, "s", {&s}); }, 0},
      {"byte from nothing", 0, [](std::span<const std::uint8_t> in) { return Unpack(in, "c", {&b}); }, 0},
      {"fixed text longer than the rest", 10,
       [](std::span<const std::uint8_t> in) { return Unpack(in, "lS(7)", {&l, &text}); }, 4},
      {"unknown letter", 8, [](std::span<const std::uint8_t> in) { return Unpack(in, "lq", {&l, &l}); }, 4},
      {"malformed width", 8, [](std::span<const std::uint8_t> in) { return Unpack(in, "S(x)", {&text}); }, 0},
  };
  for (const Case& c : cases) {
    const Bytes in(c.size, 'A');
    const agent::UnpackResult r = c.unpack(in);
    EXPECT_FALSE(r.complete) << c.name;
    EXPECT_EQ(r.used, c.used) << c.name;
  }
}

TEST(Unpack, DestinationOfTheWrongKindStopsTheWalk) {
  const Bytes in(8, 1);
  std::uint16_t s = 0;
  std::uint32_t l = 0;
  EXPECT_FALSE(Unpack(in, "l", {&s}).complete);
  EXPECT_FALSE(Unpack(in, "ll", {&l}).complete) << "missing destination";
}

TEST(PackHelpers, FormatsAndPadding) {
  EXPECT_EQ(agent::MakeFormat("S(%d)llll", 16), "S(16)llll");
  EXPECT_EQ(agent::PadBlanks("ab", 4), "ab  ");
  EXPECT_EQ(agent::PadBlanks("abcdef", 4), "abcdef");
  EXPECT_EQ(agent::PadToWord("default"), "default ");
  EXPECT_EQ(agent::PadToWord("10.0.0.1"), "10.0.0.1");
  EXPECT_EQ(agent::PadToWord(""), "");
  EXPECT_EQ(agent::TrimTrailingBlanks("a b  "), "a b");
  EXPECT_EQ(agent::TrimTrailingBlanks("   "), "");
  const std::uint8_t addr[4] = {192, 168, 0, 255};
  EXPECT_EQ(common::AddressText(addr), "192.168.0.255");
}

TEST(FrameCodec, RequestsCarryHeaderCommandAndSizes) {
  const Bytes bare = agent::EncodeBareRequest(agent::Exchange::Version);
  ASSERT_EQ(bare.size(), 32u);
  EXPECT_EQ(Bytes(bare.begin(), bare.begin() + 16), Of(agent::kMagic));
  EXPECT_EQ(Bytes(bare.begin() + 16, bare.end()), (Bytes{0, 1, 0, 1, 0, 0, 0, 15, 0, 0, 0, 4, 0, 0, 0, 0}));

  const Bytes params = {1, 2, 3};
  const Bytes withSize = agent::EncodeRequest(agent::Exchange::MTUSetting, params);
  ASSERT_EQ(withSize.size(), 28u + 8 + 3);
  EXPECT_EQ(Bytes(withSize.begin() + 16, withSize.end()),
            (Bytes{0, 2, 0, 2, 0, 0, 0, 2, 0, 0, 0, 11, 0, 0, 0, 7, 0, 0, 0, 3, 1, 2, 3}));

  const Bytes noSize = agent::EncodeRequestNoDataSize(agent::Exchange::StopCluster, Bytes{0, 0, 0, 3});
  EXPECT_EQ(Bytes(noSize.begin() + 24, noSize.end()), (Bytes{0, 0, 0, 8, 0, 0, 0, 10, 0, 0, 0, 3}));
}

TEST(FrameCodec, ReplyRoundTripsThroughTheDecoders) {
  const Bytes reply = agent::EncodeReply(agent::Exchange::NTPInfo, 7, Bytes{9, 9});
  agent::ReplyHeader header;
  ASSERT_EQ(agent::DecodeHeader(reply, &header), agent::Decode::Ok);
  EXPECT_TRUE(agent::IsMagic(header.magic));
  EXPECT_EQ(header.protoVer, 0x00010000u);
  EXPECT_EQ(header.msgType, 2u);
  EXPECT_EQ(header.msgSize, 10u);
  agent::BodyPrefix prefix;
  ASSERT_EQ(agent::DecodeBodyPrefix(std::span(reply).subspan(agent::kHeaderSize), &prefix), agent::Decode::Ok);
  EXPECT_EQ(prefix.dataType, 0x10002u);
  EXPECT_EQ(prefix.result, 7u);
}

TEST(FrameCodec, ShortInputIsTruncatedNotRead) {
  const Bytes reply = agent::EncodeReply(agent::Exchange::NTPInfo, 0);
  for (std::size_t n = 0; n < agent::kHeaderSize; ++n) {
    const Bytes cut(reply.begin(), reply.begin() + static_cast<std::ptrdiff_t>(n));
    agent::ReplyHeader header;
    EXPECT_EQ(agent::DecodeHeader(cut, &header), agent::Decode::Truncated) << n;
  }
  for (std::size_t n = 0; n < 8; ++n) {
    const Bytes cut(n, 0);
    agent::BodyPrefix prefix;
    EXPECT_EQ(agent::DecodeBodyPrefix(cut, &prefix), agent::Decode::Truncated) << n;
  }
  EXPECT_FALSE(agent::IsMagic("KELPAGENTMESSAGF"));
}

}  // namespace
