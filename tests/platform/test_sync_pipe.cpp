#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <thread>

#include "TestEnv.h"
#include "plat/SyncPipe.h"

namespace {

using plat::ManualClock;
using plat::Millis;
using plat::PipeStatus;
using plat::SyncPipe;

constexpr std::size_t kBuffer = 256;

TEST(SyncPipe, CarriesOneMessageEachWay) {
  kelptest::IsolatedEnv env;
  SyncPipe server;
  ASSERT_EQ(server.Create(), PipeStatus::Ok) << server.Error();
  EXPECT_EQ(server.Path(), env.runtimeDir() / "KelpSyncPipe");

  std::string reply;
  std::thread client([&] {
    SyncPipe pipe;
    ASSERT_EQ(pipe.Connect(), PipeStatus::Ok) << pipe.Error();
    ASSERT_EQ(pipe.Write("KELPFTPD OK"), PipeStatus::Ok);
    ASSERT_EQ(pipe.Read(reply, kBuffer, Millis(10000)), PipeStatus::Ok);
  });
  ASSERT_EQ(server.Accept(Millis(10000)), PipeStatus::Ok) << server.Error();
  std::string message;
  EXPECT_EQ(server.Read(message, kBuffer, Millis(10000)), PipeStatus::Ok);
  EXPECT_EQ(message, "KELPFTPD OK");
  EXPECT_EQ(server.Write("NG"), PipeStatus::Ok);
  client.join();
  EXPECT_EQ(reply, "NG");

  EXPECT_EQ(server.Read(message, kBuffer, Millis(10000)), PipeStatus::Closed);
  EXPECT_EQ(server.Write("late"), PipeStatus::Closed);
}

TEST(SyncPipe, LongMessageIsTruncatedAndTheNextArrivesWhole) {
  kelptest::IsolatedEnv env;
  SyncPipe server;
  ASSERT_EQ(server.Create("truncate"), PipeStatus::Ok) << server.Error();
  SyncPipe client;
  ASSERT_EQ(client.Connect("truncate"), PipeStatus::Ok) << client.Error();
  ASSERT_EQ(server.Accept(), PipeStatus::Ok);
  ASSERT_EQ(client.Write("0123456789"), PipeStatus::Ok);
  ASSERT_EQ(client.Write("abcd"), PipeStatus::Ok);
  std::string message;
  EXPECT_EQ(server.Read(message, 4), PipeStatus::Truncated);
  EXPECT_EQ(message, "0123");
  EXPECT_EQ(server.Read(message, 4), PipeStatus::Ok);
  EXPECT_EQ(message, "abcd");
}

TEST(SyncPipe, AcceptTimesOutAtTheManualDeadline) {
  kelptest::IsolatedEnv env;
  SyncPipe server;
  ASSERT_EQ(server.Create(), PipeStatus::Ok) << server.Error();
  ManualClock manual;
  std::atomic<int> accepted{-1};
  std::thread acceptor([&] { accepted = static_cast<int>(server.Accept(Millis(30000))); });
  EXPECT_TRUE(manual.WaitForWaiters(1));
  manual.Advance(Millis(29999));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(accepted, -1);
  manual.Advance(Millis(1));
  acceptor.join();
  EXPECT_EQ(accepted, static_cast<int>(PipeStatus::Timeout));
}

TEST(SyncPipe, ClientWithoutServerFailsCleanly) {
  kelptest::IsolatedEnv env;
  SyncPipe client;
  EXPECT_EQ(client.Connect(), PipeStatus::NoServer);
  EXPECT_NE(client.Error().find("KelpSyncPipe"), std::string::npos) << client.Error();
  std::string message;
  EXPECT_EQ(client.Read(message, kBuffer), PipeStatus::Failed);
  {
    SyncPipe server;
    ASSERT_EQ(server.Create(), PipeStatus::Ok);
  }
  EXPECT_FALSE(std::filesystem::exists(env.runtimeDir() / "KelpSyncPipe"))
      << "the server removes its socket";
  EXPECT_EQ(client.Connect(), PipeStatus::NoServer);
}

TEST(SyncPipe, StaleSocketIsReplacedButALiveServerIsNot) {
  kelptest::IsolatedEnv env;
  const std::filesystem::path path = env.runtimeDir() / "KelpSyncPipe";
  {
    // What a server killed before it could clean up leaves behind.
    const int fd = socket(AF_UNIX, SOCK_SEQPACKET, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path.c_str());
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(fd);
  }
  SyncPipe stale;
  EXPECT_EQ(stale.Connect(), PipeStatus::NoServer);

  SyncPipe server;
  ASSERT_EQ(server.Create(), PipeStatus::Ok) << server.Error();
  SyncPipe second;
  EXPECT_EQ(second.Create(), PipeStatus::InUse);
  EXPECT_NE(second.Error().find("another server"), std::string::npos) << second.Error();

  SyncPipe client;
  ASSERT_EQ(client.Connect(), PipeStatus::Ok) << "the second Create left the live socket alone";
  ASSERT_EQ(client.Write("KELPFTPD OK"), PipeStatus::Ok);
  ASSERT_EQ(server.Accept(), PipeStatus::Ok);
  std::string message;
  EXPECT_EQ(server.Read(message, kBuffer), PipeStatus::Ok);
  EXPECT_EQ(message, "KELPFTPD OK");
}

}  // namespace
