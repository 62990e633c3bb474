#include <gtest/gtest.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <fstream>
#include <functional>
#include <numeric>
#include <thread>
#include <vector>

#include "plat/Socket.h"

namespace {

using plat::Clock;
using plat::Millis;
using plat::ReadResult;
using plat::UniqueFd;
using plat::WaitResult;
using namespace std::chrono_literals;

using Bytes = std::vector<std::uint8_t>;

// A connected stream pair and a stop pipe, all closed by the test's end.
struct Pair {
  UniqueFd near;
  UniqueFd far;
  UniqueFd stopRead;
  UniqueFd stopWrite;

  Pair() {
    int sv[2];
    int stop[2];
    EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv), 0);
    EXPECT_EQ(::pipe2(stop, O_CLOEXEC), 0);
    near.Reset(sv[0]);
    far.Reset(sv[1]);
    stopRead.Reset(stop[0]);
    stopWrite.Reset(stop[1]);
  }
  void Write(const Bytes& bytes) const { ASSERT_TRUE(plat::SendAll(far.Get(), bytes)); }
  void Stop() const { ASSERT_EQ(::write(stopWrite.Get(), "s", 1), 1); }
};

bool IsOpen(int fd) { return ::fcntl(fd, F_GETFD) != -1; }

class SocketTest : public ::testing::Test {
 protected:
  void TearDown() override { Clock::SetTimeScale(1.0); }
};

TEST_F(SocketTest, PollMillisRoundsUpAndClamps) {
  const struct {
    double scale;
    Millis logical;
    int millis;
  } cases[] = {
      {1, Millis(0), 0},       {1, Millis(-5), 0},          {1, Millis(250), 250},
      {0.001, Millis(20000), 20}, {0.001, Millis(1500), 2}, {0.001, Millis(10), 1},
      {1, std::chrono::hours(24 * 365), INT_MAX},            {1000, Millis(3000000), INT_MAX},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.scale << " x " << c.logical.count());
    Clock::SetTimeScale(c.scale);
    EXPECT_EQ(plat::PollMillis(c.logical), c.millis);
  }
  Clock::SetTimeScale(1);
  EXPECT_EQ(plat::PollMillis(Clock::Now() - Millis(1)), 0);
  EXPECT_EQ(plat::PollMillis(plat::kNoDeadline), -1);
  EXPECT_GT(plat::PollMillis(Clock::Now() + Millis(1000)), 900);
}

TEST_F(SocketTest, WaitReadableTellsWhatEndedTheWait) {
  Clock::SetTimeScale(0.001);  // the 20-second time-outs take 20 ms
  const struct {
    const char* name;
    std::function<void(const Pair&)> before;
    Millis timeout;
    WaitResult result;
  } cases[] = {
      {"DataWaiting", [](const Pair& p) { p.Write({1}); }, Millis(20000), WaitResult::Ready},
      {"PeerClosed", [](const Pair& p) { ::shutdown(p.far.Get(), SHUT_WR); }, Millis(20000), WaitResult::Ready},
      {"Nothing", [](const Pair&) {}, Millis(20000), WaitResult::Timeout},
      {"DeadlinePassedWithData", [](const Pair& p) { p.Write({1}); }, Millis(-1), WaitResult::Ready},
      {"DeadlinePassed", [](const Pair&) {}, Millis(-1), WaitResult::Timeout},
      {"StopWinsOverData", [](const Pair& p) { p.Write({1}); p.Stop(); }, Millis(20000), WaitResult::Stopped},
      {"StopWithoutDeadline", [](const Pair& p) { p.Stop(); }, Millis::max(), WaitResult::Stopped},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Pair pair;
    c.before(pair);
    const plat::TimePoint deadline = c.timeout == Millis::max() ? plat::kNoDeadline : Clock::Now() + c.timeout;
    EXPECT_EQ(plat::WaitReadable(pair.near.Get(), deadline, pair.stopRead.Get()), c.result);
  }
}

TEST_F(SocketTest, WaitTimeOutIsLogical) {
  Clock::SetTimeScale(0.001);
  Pair pair;
  const auto realStart = std::chrono::steady_clock::now();
  const plat::TimePoint start = Clock::Now();
  EXPECT_EQ(plat::WaitReadable(pair.near.Get(), start + Millis(30000)), WaitResult::Timeout);
  EXPECT_GE(Clock::Now() - start, Millis(30000));
  EXPECT_LT(std::chrono::steady_clock::now() - realStart, 3s);
}

TEST_F(SocketTest, UnderManualClockAPassedDeadlineOnlyChecks) {
  plat::ManualClock clock;
  Pair pair;
  const plat::TimePoint deadline = Clock::Now() + Millis(60000);
  clock.Advance(Millis(60000));
  const auto realStart = std::chrono::steady_clock::now();
  EXPECT_EQ(plat::WaitReadable(pair.near.Get(), deadline), WaitResult::Timeout);
  EXPECT_LT(std::chrono::steady_clock::now() - realStart, 1s);
  pair.Write({1});
  EXPECT_EQ(plat::WaitReadable(pair.near.Get(), deadline), WaitResult::Ready);
}

TEST_F(SocketTest, UnderManualClockAWaitFollowsManualTime) {
  plat::ManualClock clock;
  Pair pair;
  std::atomic<int> result{-1};
  std::thread timed([&] {
    result = static_cast<int>(plat::WaitReadable(pair.near.Get(), Clock::Now() + Millis(60000)));
  });
  EXPECT_TRUE(clock.WaitForWaiters(1));
  clock.Advance(Millis(59999));
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(result, -1) << "ended before its manual deadline";
  clock.Advance(Millis(1));
  timed.join();
  EXPECT_EQ(result, static_cast<int>(WaitResult::Timeout));

  // Data and the stop descriptor end a wait without manual time moving.
  const struct {
    const char* name;
    std::function<void(const Pair&)> wake;
    WaitResult result;
  } cases[] = {
      {"Data", [](const Pair& p) { p.Write({1}); }, WaitResult::Ready},
      {"Stop", [](const Pair& p) { p.Stop(); }, WaitResult::Stopped},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Pair woken;
    std::thread waiter([&] {
      result = static_cast<int>(
          plat::WaitReadable(woken.near.Get(), Clock::Now() + Millis(60000), woken.stopRead.Get()));
    });
    EXPECT_TRUE(clock.WaitForWaiters(1));
    c.wake(woken);
    waiter.join();
    EXPECT_EQ(result, static_cast<int>(c.result));
  }
}

TEST_F(SocketTest, WaitEventsReportsTheEvents) {
  Pair pair;
  short revents = 0;
  EXPECT_EQ(plat::WaitEvents(pair.near.Get(), POLLOUT, Clock::Now(), -1, &revents), WaitResult::Ready);
  EXPECT_EQ(revents, POLLOUT);
  pair.Write({1});
  EXPECT_EQ(plat::WaitEvents(pair.near.Get(), POLLIN | POLLPRI, Clock::Now(), -1, &revents), WaitResult::Ready);
  EXPECT_EQ(revents, POLLIN);
}

TEST_F(SocketTest, ReadExactlyFillsTheBufferOrSaysWhyNot) {
  Clock::SetTimeScale(0.001);
  const Bytes message = {1, 2, 3, 4, 5, 6, 7, 8};
  const struct {
    const char* name;
    std::function<void(const Pair&)> peer;  // runs on its own thread
    ReadResult result;
  } cases[] = {
      {"AllAtOnce", [&](const Pair& p) { p.Write(message); }, ReadResult::Complete},
      {"InPieces",
       [&](const Pair& p) {
         for (const std::uint8_t b : message) {
           p.Write({b});
           std::this_thread::sleep_for(1ms);
         }
       },
       ReadResult::Complete},
      {"PeerClosesHalfWay",
       [&](const Pair& p) {
         p.Write(Bytes(message.begin(), message.begin() + 3));
         ::shutdown(p.far.Get(), SHUT_WR);
       },
       ReadResult::Closed},
      {"TooLittleInTime", [&](const Pair& p) { p.Write({1, 2}); }, ReadResult::Timeout},
      {"Stopped", [](const Pair& p) { p.Stop(); }, ReadResult::Stopped},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Pair pair;
    std::thread peer([&] { c.peer(pair); });
    Bytes got(message.size());
    EXPECT_EQ(plat::ReadExactly(pair.near.Get(), got, Clock::Now() + Millis(500000), pair.stopRead.Get()), c.result);
    peer.join();
    if (c.result == ReadResult::Complete) {
      EXPECT_EQ(got, message);
    }
  }
}

TEST_F(SocketTest, FailedReadKeepsErrno) {
  Pair pair;
  pair.Stop();  // a pipe with data to read, but no socket
  Bytes got(1);
  errno = 0;
  EXPECT_EQ(plat::ReadExactly(pair.stopRead.Get(), got, plat::kNoDeadline), ReadResult::Failed);
  EXPECT_EQ(errno, ENOTSOCK);
}

TEST_F(SocketTest, GatheredSendArrivesWholeAndInOrder) {
  Pair pair;
  Bytes large(4 << 20);  // beyond the socket buffer: the send goes out in several calls
  std::iota(large.begin(), large.end(), std::uint8_t{0});
  Bytes head = {0xAA, 0xBB};
  Bytes tail = {0xCC};
  std::vector<iovec> pieces = {{head.data(), head.size()}, {nullptr, 0}, {large.data(), large.size()}, {tail.data(), tail.size()}};
  Bytes got(head.size() + large.size() + tail.size());
  std::thread reader([&] { EXPECT_EQ(plat::ReadExactly(pair.far.Get(), got, plat::kNoDeadline), ReadResult::Complete); });
  EXPECT_TRUE(plat::SendAll(pair.near.Get(), pieces));
  reader.join();
  Bytes expected = head;
  expected.insert(expected.end(), large.begin(), large.end());
  expected.insert(expected.end(), tail.begin(), tail.end());
  EXPECT_EQ(got, expected);
}

TEST_F(SocketTest, SendToAClosedPeerFailsWithoutSignal) {
  Pair pair;
  pair.far.Reset();
  errno = 0;
  EXPECT_FALSE(plat::SendAll(pair.near.Get(), Bytes{1, 2, 3}));
  EXPECT_EQ(errno, EPIPE);
}

TEST_F(SocketTest, SendTimeoutIsLogical) {
  Clock::SetTimeScale(0.001);
  Pair pair;
  ASSERT_TRUE(plat::SetSendTimeout(pair.near.Get(), Millis(60000)));
  ASSERT_TRUE(plat::SetReceiveTimeout(pair.near.Get(), Millis(20000)));
  timeval tv{};
  socklen_t len = sizeof tv;
  ASSERT_EQ(::getsockopt(pair.near.Get(), SOL_SOCKET, SO_SNDTIMEO, &tv, &len), 0);
  EXPECT_EQ(tv.tv_sec * 1000000 + tv.tv_usec, 60000);  // in microseconds
  ASSERT_EQ(::getsockopt(pair.near.Get(), SOL_SOCKET, SO_RCVTIMEO, &tv, &len), 0);
  EXPECT_EQ(tv.tv_sec * 1000000 + tv.tv_usec, 20000);
}

TEST(UniqueFd, OwnsOneDescriptorUntilReleased) {
  UniqueFd a(::dup(STDERR_FILENO));
  ASSERT_TRUE(a);
  const int fd = a.Get();
  UniqueFd b(std::move(a));
  EXPECT_FALSE(a);
  EXPECT_EQ(b.Get(), fd);
  a = std::move(b);
  EXPECT_EQ(a.Get(), fd);
  const int released = a.Release();
  EXPECT_FALSE(a);
  EXPECT_TRUE(IsOpen(released));
  a.Reset(released);
  a.Reset();
  EXPECT_FALSE(IsOpen(released));
  {
    const UniqueFd scoped(::dup(STDERR_FILENO));
    ASSERT_TRUE(scoped);
    b.Reset(::dup(scoped.Get()));
  }
  EXPECT_TRUE(IsOpen(b.Get()));
}

// Below the kernel's ephemeral range, so that no connection's local port takes it before the
// caller binds it.
TEST(FreeLoopbackPort, CanBeBoundAndLiesBelowTheEphemeralRange) {
  const std::uint16_t port = plat::FreeLoopbackPort();
  ASSERT_NE(port, 0);
  std::ifstream range("/proc/sys/net/ipv4/ip_local_port_range");
  unsigned low = 0;
  ASSERT_TRUE(range >> low);
  EXPECT_GE(port, plat::kFirstChosenPort);
  EXPECT_LT(port, low);
  const UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  EXPECT_EQ(::bind(fd.Get(), reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
}

}  // namespace
