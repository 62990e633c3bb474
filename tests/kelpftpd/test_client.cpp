// The client library against a test-local server that answers with crafted bytes: every field
// of every reply is checked, and each breach is reported, never passed on as data.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "FtpdHarness.h"

using kelpftp::ClientStatus;
using kelpftp::FtpClient;
using namespace ftptest;

namespace {

constexpr std::uint32_t kFileReply = 0x00020001;

// Accepts one connection, sends the greeting, then for each step reads a whole request and
// writes the step's bytes; closes after the last step, or when holding, once the client has
// closed or 5 s passed.
class CraftedServer {
 public:
  struct Step {
    std::size_t requestSize;
    std::vector<std::uint8_t> reply;
  };

  CraftedServer(std::vector<std::uint8_t> greeting, std::vector<Step> steps, bool hold = false) {
    m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof sa;
    EXPECT_EQ(::bind(m_listen, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
    EXPECT_EQ(::listen(m_listen, 1), 0);
    ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&sa), &len);
    m_port = ntohs(sa.sin_port);
    m_thread = std::thread([this, hold, greeting = std::move(greeting), steps = std::move(steps)] {
      const int fd = ::accept(m_listen, nullptr, nullptr);
      if (fd < 0) return;
      Write(fd, greeting);
      for (const Step& step : steps) {
        std::vector<std::uint8_t> request(step.requestSize);
        if (::recv(fd, request.data(), request.size(), MSG_WAITALL) != static_cast<ssize_t>(request.size())) break;
        Write(fd, step.reply);
      }
      if (hold) {
        pollfd pfd{fd, POLLIN, 0};
        ::poll(&pfd, 1, 5000);
      }
      ::close(fd);
    });
  }
  ~CraftedServer() {
    m_thread.join();
    ::close(m_listen);
  }
  std::uint16_t port() const { return m_port; }

 private:
  static void Write(int fd, const std::vector<std::uint8_t>& bytes) {
    if (!bytes.empty()) ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
  }

  int m_listen = -1;
  std::uint16_t m_port = 0;
  std::thread m_thread;
};

std::vector<std::uint8_t> DataReply(std::uint32_t n, const std::string& data, const std::string& pad,
                                    std::uint32_t flag) {
  std::vector<std::uint8_t> out = ReplyBytes(kFileReply, 0);
  PutBE32(out, n);
  out.insert(out.end(), data.begin(), data.end());
  out.insert(out.end(), pad.begin(), pad.end());
  PutBE32(out, flag);
  return out;
}

std::vector<std::uint8_t> SizeReply(std::uint32_t size) {
  std::vector<std::uint8_t> out = ReplyBytes(kFileReply, 0);
  PutBE32(out, size);
  return out;
}

std::vector<std::uint8_t> Greeting(std::uint32_t status) { return ReplyBytes(0x00020000, status); }

struct GreetingCase {
  const char* name;
  std::vector<std::uint8_t> greeting;
  ClientStatus status;
};

class FtpClientGreeting : public testing::TestWithParam<GreetingCase> {};

TEST_P(FtpClientGreeting, IsCheckedOnConnect) {
  CraftedServer server(GetParam().greeting, {});
  FtpClient client;
  EXPECT_EQ(client.Connect("127.0.0.1", server.port(), plat::Millis(2000)), GetParam().status) << client.Error();
  EXPECT_EQ(client.IsConnected(), GetParam().status == ClientStatus::Ok);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FtpClientGreeting,
    testing::Values(GreetingCase{"Served", Greeting(1), ClientStatus::Ok},
                    GreetingCase{"AllSlotsInUse", Greeting(0), ClientStatus::Refused},
                    GreetingCase{"UnknownStatus", Greeting(2), ClientStatus::BadReply},
                    GreetingCase{"NotAGreeting", ReplyBytes(0x00020002, 1), ClientStatus::BadReply},
                    GreetingCase{"WrongVersion", [] {
                                   std::vector<std::uint8_t> g = HeaderBytes(0x00020000, 0x00010001);
                                   PutBE32(g, 1);
                                   return g;
                                 }(),
                                 ClientStatus::BadReply},
                    GreetingCase{"ClosedBeforeGreeting", {}, ClientStatus::Closed},
                    GreetingCase{"HalfAGreeting", [] {
                                   std::vector<std::uint8_t> g = Greeting(1);
                                   g.resize(20);
                                   return g;
                                 }(),
                                 ClientStatus::Closed}),
    CaseName());

struct BlockCase {
  const char* name;
  std::vector<std::uint8_t> reply;
  ClientStatus status;
  std::string data;
  bool more;
  bool hold = false;  // the server neither answers nor closes
};

class FtpClientDataReply : public testing::TestWithParam<BlockCase> {};

TEST_P(FtpClientDataReply, IsAcceptedOnlyWhenEveryFieldIsRight) {
  const BlockCase& c = GetParam();
  CraftedServer server(Greeting(1), {{1056, c.reply}}, c.hold);
  FtpClient client;
  ASSERT_EQ(client.Connect("127.0.0.1", server.port(), plat::Millis(2000)), ClientStatus::Ok);
  std::vector<std::uint8_t> data;
  bool more = false;
  EXPECT_EQ(client.ReadBlock("f", 0, 8, data, more), c.status) << client.Error();
  if (c.status == ClientStatus::Ok) {
    EXPECT_EQ(std::string(data.begin(), data.end()), c.data);
    EXPECT_EQ(more, c.more);
    EXPECT_TRUE(client.IsConnected());
  } else {
    EXPECT_TRUE(data.empty());
    EXPECT_FALSE(client.IsConnected());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FtpClientDataReply,
    testing::Values(
        BlockCase{"FullBlockMoreToCome", DataReply(8, "abcdefgh", "", 1), ClientStatus::Ok, "abcdefgh", true},
        BlockCase{"ShortLastBlockPadded", DataReply(5, "abcde", "   ", 0), ClientStatus::Ok, "abcde", false},
        BlockCase{"PaddingNotSpaces", DataReply(5, "abcde", std::string("  \0", 3), 0), ClientStatus::BadReply, "", false},
        BlockCase{"PaddingMissing", DataReply(5, "abcde", "", 0), ClientStatus::Closed, "", false},
        BlockCase{"EndFlagTwo", DataReply(8, "abcdefgh", "", 2), ClientStatus::BadReply, "", false},
        BlockCase{"MoreThanAsked", DataReply(12, "abcdefghijkl", "", 0), ClientStatus::BadReply, "", false},
        BlockCase{"ShortBlockClaimingMore", DataReply(4, "abcd", "", 1), ClientStatus::BadReply, "", false},
        BlockCase{"EndReplyInstead", ReplyBytes(0x00020002, 0), ClientStatus::BadReply, "", false},
        BlockCase{"GreetingInstead", Greeting(1), ClientStatus::BadReply, "", false},
        BlockCase{"WrongMagic", [] {
                    std::vector<std::uint8_t> r = HeaderBytes(kFileReply, 0x00010000, "****KELPFTPD***?");
                    PutBE32(r, 0);
                    PutBE32(r, 0);
                    return r;
                  }(),
                  ClientStatus::BadReply, "", false},
        BlockCase{"ErrorReply", ReplyBytes(kFileReply, 3), ClientStatus::ErrorReply, "", false},
        BlockCase{"ClosedMidData", [] {
                    std::vector<std::uint8_t> r = DataReply(8, "abcdefgh", "", 0);
                    r.resize(36);
                    return r;
                  }(),
                  ClientStatus::Closed, "", false},
        BlockCase{"Silence", {}, ClientStatus::Timeout, "", false, true}),
    CaseName());

TEST(FtpClient, ErrorReplyKeepsItsStatus) {
  CraftedServer server(Greeting(1), {{1056, ReplyBytes(kFileReply, 10)}});
  FtpClient client;
  ASSERT_EQ(client.Connect("127.0.0.1", server.port(), plat::Millis(2000)), ClientStatus::Ok);
  std::uint32_t size = 0;
  EXPECT_EQ(client.RequestSize("f", size), ClientStatus::ErrorReply);
  EXPECT_EQ(client.ErrorStatus(), 10u);
}

struct FetchCase {
  const char* name;
  std::vector<CraftedServer::Step> steps;
  ClientStatus status;
};

class FtpClientFetch : public testing::TestWithParam<FetchCase> {};

TEST_P(FtpClientFetch, BlocksMustAddUpToTheSize) {
  CraftedServer server(Greeting(1), GetParam().steps);
  FtpClient client;
  ASSERT_EQ(client.Connect("127.0.0.1", server.port(), plat::Millis(2000)), ClientStatus::Ok);
  std::string got;
  const ClientStatus status = client.FetchFile("f", 4, [&](std::uint32_t offset, std::span<const std::uint8_t> b) {
    EXPECT_EQ(offset, got.size());
    got.append(b.begin(), b.end());
    return true;
  });
  EXPECT_EQ(status, GetParam().status) << client.Error();
  if (status == ClientStatus::Ok) {
    EXPECT_EQ(got, "abcdef");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FtpClientFetch,
    testing::Values(
        FetchCase{"Whole",
                  {{1056, SizeReply(6)}, {1056, DataReply(4, "abcd", "", 1)}, {1056, DataReply(2, "ef", "  ", 0)}},
                  ClientStatus::Ok},
        FetchCase{"EndsEarly", {{1056, SizeReply(6)}, {1056, DataReply(4, "abcd", "", 0)}}, ClientStatus::BadReply},
        FetchCase{"GoesOnPastTheSize",
                  {{1056, SizeReply(3)}, {1056, DataReply(4, "abcd", "", 0)}},
                  ClientStatus::BadReply},
        FetchCase{"MoreAtTheEnd",
                  {{1056, SizeReply(4)}, {1056, DataReply(4, "abcd", "", 1)}},
                  ClientStatus::BadReply}),
    CaseName());

// A block larger than the receive window reaches the sink in window-sized pieces, in order, each
// with its own offset, and the bytes are the block's.
TEST(FtpClient, LargeBlockArrivesInWindowSizedPieces) {
  constexpr std::uint32_t kWindow = FtpClient::kWindowSize;
  std::string data(2 * kWindow + 5, '\0');
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>('a' + i % 23);
  const auto size = static_cast<std::uint32_t>(data.size());
  CraftedServer server(Greeting(1), {{1056, SizeReply(size)}, {1056, DataReply(size, data, "   ", 0)}});
  FtpClient client;
  ASSERT_EQ(client.Connect("127.0.0.1", server.port(), plat::Millis(2000)), ClientStatus::Ok);
  std::vector<std::pair<std::uint32_t, std::size_t>> pieces;
  std::string got;
  const auto sink = [&](std::uint32_t offset, std::span<const std::uint8_t> b) {
    pieces.emplace_back(offset, b.size());
    got.append(b.begin(), b.end());
    return true;
  };
  const ClientStatus status = client.FetchFile("f", 4 * kWindow, sink);
  ASSERT_EQ(status, ClientStatus::Ok) << client.Error();
  EXPECT_THAT(pieces, testing::ElementsAre(std::pair(0u, std::size_t{kWindow}),
                                           std::pair(kWindow, std::size_t{kWindow}),
                                           std::pair(2 * kWindow, std::size_t{5})));
  EXPECT_TRUE(got == data);
}

TEST(FtpClient, EndRequestWantsTheEndReply) {
  {
    CraftedServer server(Greeting(1), {{24, ReplyBytes(0x00020002, 0)}});
    FtpClient client;
    ASSERT_EQ(client.Connect("127.0.0.1", server.port(), plat::Millis(2000)), ClientStatus::Ok);
    EXPECT_EQ(client.End(), ClientStatus::Ok) << client.Error();
    EXPECT_FALSE(client.IsConnected());
  }
  {
    CraftedServer server(Greeting(1), {{24, ReplyBytes(0x00020002, 1)}});
    FtpClient client;
    ASSERT_EQ(client.Connect("127.0.0.1", server.port(), plat::Millis(2000)), ClientStatus::Ok);
    EXPECT_EQ(client.End(), ClientStatus::BadReply);
  }
}

TEST(FtpClient, RefusesRequestsItCannotEncode) {
  CraftedServer server(Greeting(1), {});
  FtpClient client;
  ASSERT_EQ(client.Connect("127.0.0.1", server.port(), plat::Millis(2000)), ClientStatus::Ok);
  std::uint32_t size = 0;
  EXPECT_EQ(client.RequestSize(std::string(1024, 'n'), size), ClientStatus::BadRequest);
  FtpClient unconnected;
  EXPECT_EQ(unconnected.RequestSize("f", size), ClientStatus::NotConnected);
  EXPECT_EQ(unconnected.Connect("not-an-address", 1), ClientStatus::ConnectFailed);
}

}  // namespace
