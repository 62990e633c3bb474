// A short, bounded soak: 16 boards at once read every product of a generated medium several
// times, with block sizes that exercise every padding length, and check every byte.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "FtpdHarness.h"
#include "mkmedia/MediaWriter.h"

using kelpftp::ClientStatus;
using namespace ftptest;

namespace {

constexpr int kClients = 16;
constexpr int kRounds = 2;
constexpr std::uint64_t kProductSize = (1 << 20) + 13;
constexpr std::uint32_t kBlockSizes[] = {65536, 100001, 262146, 1 << 20, 7};

TEST(FtpdSoak, SixteenClientsReadTheWholeMediumRepeatedlyByteForByte) {
  FtpdHarness server;
  mkmedia::Media media = mkmedia::DefaultMedia(kProductSize);
  media.products.back().size = 3000;  // a small one, read in 7-byte blocks too
  std::string error;
  ASSERT_TRUE(mkmedia::WriteMedia(server.root(), media, error)) << error;
  ASSERT_EQ(server.Start(), "KELPFTPD OK");

  std::atomic<std::uint64_t> verified{0};
  std::atomic<int> failures{0};
  std::vector<std::thread> clients;
  for (int c = 0; c < kClients; ++c) {
    clients.emplace_back([&, c] {
      std::vector<std::uint8_t> expected;
      for (int round = 0; round < kRounds; ++round) {
        for (std::size_t p = 0; p < media.products.size(); ++p) {
          const mkmedia::Product& product = media.products[p];
          std::uint32_t block = kBlockSizes[(c + round + p) % std::size(kBlockSizes)];
          if (block < 4096 && product.size > 4096) block = 4096 + c;
          kelpftp::FtpClient client;
          // A board reconnecting right after its end request may find its old slot not yet
          // freed and be refused; it tries again, as a board would.
          ClientStatus connected = ClientStatus::Refused;
          for (int attempt = 0; attempt < 1000 && connected == ClientStatus::Refused; ++attempt) {
            connected = client.Connect(server.address(), server.port(), plat::Millis(30000));
            if (connected == ClientStatus::Refused) std::this_thread::sleep_for(std::chrono::milliseconds(2));
          }
          if (connected != ClientStatus::Ok) {
            ADD_FAILURE() << "client " << c << ": " << kelpftp::ToText(connected) << " " << client.Error();
            ++failures;
            return;
          }
          const ClientStatus status = client.FetchFile(
              product.file, block, [&](std::uint32_t offset, std::span<const std::uint8_t> bytes) {
                expected.resize(bytes.size());
                mkmedia::ProductBytes(product, offset, expected);
                if (!std::equal(bytes.begin(), bytes.end(), expected.begin())) return false;
                verified += bytes.size();
                return true;
              });
          if (status != ClientStatus::Ok || client.End() != ClientStatus::Ok) {
            ADD_FAILURE() << "client " << c << " " << product.file << ": " << kelpftp::ToText(status) << " "
                          << client.Error();
            ++failures;
          }
        }
      }
    });
  }
  for (std::thread& t : clients) t.join();
  EXPECT_EQ(failures.load(), 0);
  std::uint64_t total = 0;
  for (const mkmedia::Product& product : media.products) total += product.size;
  EXPECT_EQ(verified.load(), total * kClients * kRounds);
  EXPECT_EQ(server.Stop(), 0);
}

}  // namespace
