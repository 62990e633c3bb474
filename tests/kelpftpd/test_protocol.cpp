// The wire format's edge rules, in-process; the exact bytes of every message are checked against
// the real server and a crafted peer in the other suites.
#include <gtest/gtest.h>

#include <vector>

#include "kelpftp/FtpProtocol.h"

using namespace kelpftp;

namespace {

std::vector<std::uint8_t> Be(std::initializer_list<std::uint32_t> words) {
  std::vector<std::uint8_t> out;
  for (std::uint32_t w : words)
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(w >> shift));
  return out;
}

TEST(FtpProtocol, TrailerPadsToAMultipleOfFourWithSpaces) {
  const struct {
    std::uint32_t n;
    bool more;
    std::vector<std::uint8_t> bytes;
  } cases[] = {
      {16, false, {0, 0, 0, 0}},
      {13, true, {' ', ' ', ' ', 0, 0, 0, 1}},
      {10, false, {' ', ' ', 0, 0, 0, 0}},
      {7, true, {' ', 0, 0, 0, 1}},
      {0, true, {0, 0, 0, 1}},
  };
  for (const auto& c : cases) {
    const Trailer trailer = EncodeDataTrailer(c.n, c.more);
    EXPECT_EQ(std::vector<std::uint8_t>(trailer.view().begin(), trailer.view().end()), c.bytes) << c.n;
    EXPECT_EQ(DataReplySize(c.n), 32 + c.n + c.bytes.size()) << c.n;
  }
}

TEST(FtpProtocol, RequestBodyNameStopsAtNulOrAfter1023Characters) {
  std::vector<std::uint8_t> body(kRequestBodySize, 0);
  const auto words = Be({0xFFFFFFFF, 0x00010000});
  std::copy(words.begin(), words.end(), body.begin() + 1024);

  const std::string shortName = "a.img";
  std::copy(shortName.begin(), shortName.end(), body.begin());
  body[6] = 'z';  // after the NUL: ignored
  FileRequest request = DecodeRequestBody(std::span<const std::uint8_t, kRequestBodySize>(body.data(), body.size()));
  EXPECT_EQ(request.name, "a.img");
  EXPECT_EQ(request.offset, kSizeRequestOffset);
  EXPECT_EQ(request.size, 0x00010000u);

  std::fill(body.begin(), body.begin() + 1024, 'n');
  request = DecodeRequestBody(std::span<const std::uint8_t, kRequestBodySize>(body.data(), body.size()));
  EXPECT_EQ(request.name, std::string(1023, 'n'));
}

TEST(FtpProtocol, FileRequestNamesMustFitTheField) {
  EXPECT_TRUE(EncodeFileRequest(std::string(1023, 'n'), 0, 1));
  EXPECT_FALSE(EncodeFileRequest(std::string(1024, 'n'), 0, 1));
  EXPECT_FALSE(EncodeFileRequest(std::string("a\0b", 3), 0, 1));
}

TEST(FtpProtocol, TraceTextsStayOnOneLine) {
  EXPECT_EQ(Printable(std::string("a\nb\x01\x7f\xff" "c", 7)), "a.b...c");
  const std::array<std::uint8_t, 16> magic{'*', 0, '\n', 'K'};
  EXPECT_EQ(MagicText(magic), std::string("*..K") + std::string(12, '.'));
}

}  // namespace
