// A real kelpftpd process driven over loopback: the pipe handshake, the replies byte by byte,
// protocol faults, the slot limit, time-outs, the block size limit and the end of the server.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "FtpdHarness.h"
#include "plat/SyncPipe.h"

namespace fs = std::filesystem;
using kelpftp::ClientStatus;
using kelpftp::FtpClient;
using namespace ftptest;
using testing::HasSubstr;

namespace {

constexpr std::uint32_t kFileReply = 0x00020001;
const std::string kSixteen = "0123456789abcdef";

std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

// Connects raw and takes the 28-byte greeting, which must carry the given status.
void ConnectRaw(FtpdHarness& server, RawConnection& raw, std::uint32_t status = 1) {
  ASSERT_TRUE(raw.Connect(server.address(), server.port()));
  const auto greeting = raw.Read(28);
  ASSERT_TRUE(greeting);
  EXPECT_EQ(*greeting, ReplyBytes(0x00020000, status));
}

TEST(FtpdHandshake, AnswersOkOnThePipeAndGreetsWithStatusOne) {
  FtpdHarness server;
  ASSERT_EQ(server.Start(), "KELPFTPD OK");
  RawConnection raw;
  ConnectRaw(server, raw);
  EXPECT_EQ(server.Stop(), 0);
  const std::string trace = server.TraceText();
  EXPECT_THAT(trace, HasSubstr("info_ CusrTrace Start ver.5, 0, 1, 0"));
  EXPECT_THAT(trace, HasSubstr("SVP IP:127.0.0.1, Port: " + std::to_string(server.port())));
  EXPECT_THAT(trace, HasSubstr("accept() ok: client IP address is 127.0.0.1"));
  EXPECT_THAT(trace, HasSubstr("SendMess: Status  = |0x00000001|"));
}

struct BadCommandLine {
  const char* name;
  std::vector<std::string> args;  // "@" stands for the settings file
};

class FtpdBadCommandLine : public testing::TestWithParam<BadCommandLine> {};

TEST_P(FtpdBadCommandLine, AnswersNgAndShowsMessage3501) {
  FtpdHarness server;
  std::vector<std::string> args;
  for (const std::string& a : GetParam().args) args.push_back(a == "@" ? server.settingsFile().string() : a);
  EXPECT_EQ(server.StartWith(args), "NG");
  EXPECT_EQ(server.Stop(), 2);
  const std::string err = server.StderrText();
  EXPECT_THAT(err, HasSubstr("[DMEN03501E]")) << err;
  std::string commandLine = "\"" KELPFTPD_PATH "\"";
  for (const std::string& a : args) commandLine += " \"" + a + "\"";
  EXPECT_THAT(err, HasSubstr("Command line: " + commandLine)) << err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FtpdBadCommandLine,
    testing::Values(BadCommandLine{"NoArguments", {}}, BadCommandLine{"FourArguments", {"@", "127", "0", "0"}},
                    BadCommandLine{"SixArguments", {"@", "127", "0", "0", "1", "9"}},
                    BadCommandLine{"OctetAbove255", {"@", "127", "0", "0", "256"}},
                    BadCommandLine{"OctetNotDecimal", {"@", "127", "0", "0", "1x"}},
                    BadCommandLine{"EmptyOctet", {"@", "127", "", "0", "1"}}),
    CaseName());

TEST(FtpdHandshake, SaysNothingWhenItCannotBind) {
  FtpdHarness server;
  // Someone listens on the port already: binding fails even with address reuse.
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(server.port());
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
  ASSERT_EQ(::listen(fd, 1), 0);
  EXPECT_EQ(server.Start(), "");
  EXPECT_EQ(server.Stop(), 8);
  ::close(fd);
  EXPECT_THAT(server.TraceText(), HasSubstr("bint cond=98"));
}

TEST(FtpdHandshake, EndsSilentlyWithoutThePipe) {
  kelptest::IsolatedEnv env;
  plat::Process process;
  ASSERT_TRUE(process.Start(KELPFTPD_PATH, {"x.ini", "127", "0", "0", "1"}));
  EXPECT_EQ(process.Wait(plat::Millis(20000)), 1);
}

TEST(FtpdHandshake, PortZeroMeans20266AndShowsMessage3507) {
  // A loopback address of its own, so that port 20266 is free whatever else runs.
  const unsigned pid = static_cast<unsigned>(::getpid());
  Options options;
  options.port = 0;
  options.address = "127.66." + std::to_string((pid >> 8) & 0xFF) + "." + std::to_string(1 + pid % 250);
  FtpdHarness server(options);
  ASSERT_EQ(server.Start(), "KELPFTPD OK");
  FtpClient client;
  EXPECT_EQ(client.Connect(options.address, 20266, plat::Millis(10000)), ClientStatus::Ok) << client.Error();
  const std::string err = server.StderrText();
  EXPECT_THAT(err, HasSubstr("[DMEN03507E]")) << err;
  EXPECT_THAT(err, HasSubstr(server.settingsFile().string())) << err;
  EXPECT_THAT(server.TraceText(), HasSubstr("[DMEN03507E]"));
}

class FtpdReplies : public testing::Test {
 protected:
  void SetUp() override {
    kelptest::WriteFile(server.mp() / "sixteen.bin", kSixteen);
    ASSERT_EQ(server.Start(), "KELPFTPD OK");
  }
  FtpdHarness server;
};

TEST_F(FtpdReplies, SizeThenDataRepliesOnOneConnection) {
  FtpClient client = server.Connect();
  std::uint32_t size = 0;
  ASSERT_EQ(client.RequestSize("sixteen.bin", size), ClientStatus::Ok) << client.Error();
  EXPECT_EQ(size, 16u);
  std::vector<std::uint8_t> data;
  bool more = false;
  ASSERT_EQ(client.ReadBlock("sixteen.bin", 0, 5, data, more), ClientStatus::Ok) << client.Error();
  EXPECT_EQ(data, Bytes("01234"));
  EXPECT_TRUE(more);
  // Later requests address the file resolved by the first, whatever name they carry.
  ASSERT_EQ(client.ReadBlock("other-name", 5, 11, data, more), ClientStatus::Ok) << client.Error();
  EXPECT_EQ(data, Bytes("56789abcdef"));
  EXPECT_FALSE(more);
  EXPECT_EQ(client.End(), ClientStatus::Ok) << client.Error();
}

struct WireCase {
  const char* name;
  std::uint32_t offset;
  std::uint32_t size;
  std::string data;   // the bytes the reply carries
  std::string pad;    // padding after them
  std::uint32_t more; // end flag
};

class FtpdDataReplyBytes : public FtpdReplies, public testing::WithParamInterface<WireCase> {};

TEST_P(FtpdDataReplyBytes, AreExactlyAsLaidOut) {
  const WireCase& c = GetParam();
  RawConnection raw;
  ConnectRaw(server, raw);
  ASSERT_TRUE(raw.Send(FileRequestBytes("sixteen.bin", c.offset, c.size)));
  std::vector<std::uint8_t> expected = ReplyBytes(kFileReply, 0);
  PutBE32(expected, static_cast<std::uint32_t>(c.data.size()));
  expected.insert(expected.end(), c.data.begin(), c.data.end());
  expected.insert(expected.end(), c.pad.begin(), c.pad.end());
  PutBE32(expected, c.more);
  const auto reply = raw.Read(expected.size());
  ASSERT_TRUE(reply);
  EXPECT_EQ(*reply, expected);
  // The connection stays open for the next request.
  ASSERT_TRUE(raw.Send(FileRequestBytes("sixteen.bin", 0xFFFFFFFF, 0)));
  std::vector<std::uint8_t> sizeReply = ReplyBytes(kFileReply, 0);
  PutBE32(sizeReply, 16);
  EXPECT_EQ(raw.Read(sizeReply.size()), sizeReply);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FtpdDataReplyBytes,
    testing::Values(WireCase{"LastTenBytesArePaddedAndEnd", 6, 10, "6789abcdef", "  ", 0},
                    WireCase{"BlockEndingAtTheEndOfTheFileHasEndFlag0", 8, 8, "89abcdef", "", 0},
                    WireCase{"BlockEndingOneByteEarlierHasEndFlag1", 7, 8, "789abcde", "", 1},
                    WireCase{"OneBytePadsThree", 0, 1, "0", "   ", 1},
                    WireCase{"WholeFileAskedWithRoomToSpare", 0, 100, kSixteen, "", 0},
                    WireCase{"EmptyBlockAtTheEnd", 16, 4, "", "", 0},
                    WireCase{"OffsetPastTheEnd", 40, 4, "", "", 0},
                    WireCase{"ZeroBytesAskedMidFile", 3, 0, "", "", 1}),
    CaseName());

TEST_F(FtpdReplies, RequestSplitIntoSingleBytesIsServed) {
  RawConnection raw;
  ConnectRaw(server, raw);
  for (std::uint8_t b : FileRequestBytes("sixteen.bin", 0xFFFFFFFF, 0)) ASSERT_TRUE(raw.Send({b}));
  std::vector<std::uint8_t> sizeReply = ReplyBytes(kFileReply, 0);
  PutBE32(sizeReply, 16);
  EXPECT_EQ(raw.Read(sizeReply.size()), sizeReply);
}

struct FaultCase {
  const char* name;
  std::vector<std::uint8_t> bytes;
  const char* trace;
};

class FtpdProtocolFault : public FtpdReplies, public testing::WithParamInterface<FaultCase> {};

TEST_P(FtpdProtocolFault, ClosesTheConnectionWithoutReply) {
  RawConnection raw;
  ConnectRaw(server, raw);
  ASSERT_TRUE(raw.Send(GetParam().bytes));
  const auto rest = raw.ReadToClose();
  ASSERT_TRUE(rest) << "connection left open";
  EXPECT_TRUE(rest->empty());
  // The server goes on serving others.
  FtpClient client = server.Connect();
  std::uint32_t size = 0;
  EXPECT_EQ(client.RequestSize("sixteen.bin", size), ClientStatus::Ok) << client.Error();
  EXPECT_THAT(server.TraceText(), HasSubstr(GetParam().trace)) << GetParam().trace;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FtpdProtocolFault,
    testing::Values(FaultCase{"WrongVersion", HeaderBytes(0x00010001, 0x00020000), "version : 0x00020000"},
                    FaultCase{"WrongMagic", HeaderBytes(0x00010001, 0x00010000, "****KELPFTPX***\n"),
                              "header : |****KELPFTPX***.|"},
                    FaultCase{"UnknownType", HeaderBytes(0x00010003), "Unknown message type : 0x00010003"},
                    FaultCase{"ReplyTypeFromClient", HeaderBytes(0x00020001), "Unknown message type : 0x00020001"}),
    CaseName());

TEST_F(FtpdReplies, EndRequestClosesOnlyItsOwnConnection) {
  RawConnection ending;
  ConnectRaw(server, ending);
  FtpClient other = server.Connect();
  ASSERT_TRUE(ending.Send(HeaderBytes(0x00010002)));
  EXPECT_EQ(ending.Read(28), ReplyBytes(0x00020002, 0));
  const auto rest = ending.ReadToClose();
  ASSERT_TRUE(rest);
  EXPECT_TRUE(rest->empty());
  std::vector<std::uint8_t> data;
  bool more = true;
  EXPECT_EQ(other.ReadBlock("sixteen.bin", 0, 16, data, more), ClientStatus::Ok) << other.Error();
  EXPECT_EQ(data, Bytes(kSixteen));
  EXPECT_THAT(server.TraceText(), HasSubstr("Request shutdown"));
}

TEST_F(FtpdReplies, MissingFileGetsErrorReply3AfterThreeAttempts) {
  RawConnection raw;
  ConnectRaw(server, raw);
  ASSERT_TRUE(raw.Send(FileRequestBytes("missing.bin", 0xFFFFFFFF, 0)));
  EXPECT_EQ(raw.ReadToClose(), ReplyBytes(kFileReply, 3));
  const std::string trace = server.TraceText();
  std::size_t attempts = 0;
  for (std::size_t at = trace.find("Install file not found"); at != std::string::npos;
       at = trace.find("Install file not found", at + 1))
    ++attempts;
  EXPECT_EQ(attempts, 3u);
  EXPECT_THAT(trace, HasSubstr("IsExistFile() : missing.bin"));
}

struct BlockLimitCase {
  const char* name;
  std::uint32_t size;
  bool served;
};

class FtpdBlockLimit : public FtpdReplies, public testing::WithParamInterface<BlockLimitCase> {};

TEST_P(FtpdBlockLimit, AboveSixtyFourMebibytesIsErrorReply10) {
  // The buffer is had before connecting: filling 64 MiB can outlast the server's scaled
  // receive time-out on a slow (sanitized) build.
  std::vector<std::uint8_t> buffer(GetParam().size);
  FtpClient client = server.Connect();
  std::uint32_t length = 0;
  bool more = false;
  const ClientStatus status = client.ReadBlock("sixteen.bin", 0, buffer, length, more);
  if (GetParam().served) {
    EXPECT_EQ(status, ClientStatus::Ok) << client.Error();
    buffer.resize(length);
    EXPECT_EQ(buffer, Bytes(kSixteen));
  } else {
    EXPECT_EQ(status, ClientStatus::ErrorReply);
    EXPECT_EQ(client.ErrorStatus(), 10u);
    EXPECT_THAT(server.TraceText(), HasSubstr("malloc() : size = 67108865"));
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, FtpdBlockLimit,
                         testing::Values(BlockLimitCase{"Exactly64MiB", 64u << 20, true},
                                         BlockLimitCase{"OneByteMore", (64u << 20) + 1, false}),
                         CaseName());

struct LargeFileCase {
  const char* name;
  std::uint64_t size;
  bool described;
};

class FtpdLargeFile : public FtpdReplies, public testing::WithParamInterface<LargeFileCase> {};

TEST_P(FtpdLargeFile, SizeReplyOnlyForSizesThe32BitFieldHolds) {
  const fs::path file = server.mp() / "big.img";
  kelptest::WriteFile(file, "");
  fs::resize_file(file, GetParam().size);  // sparse: no disk space used
  FtpClient client = server.Connect();
  std::uint32_t size = 0;
  const ClientStatus status = client.RequestSize("big.img", size);
  if (GetParam().described) {
    EXPECT_EQ(status, ClientStatus::Ok) << client.Error();
    EXPECT_EQ(size, GetParam().size);
  } else {
    EXPECT_EQ(status, ClientStatus::ErrorReply);
    EXPECT_EQ(client.ErrorStatus(), 3u);
    EXPECT_THAT(server.TraceText(), HasSubstr("does not fit the size field"));
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, FtpdLargeFile,
                         testing::Values(LargeFileCase{"FourGiBLessOne", 0xFFFFFFFFull, true},
                                         LargeFileCase{"FourGiB", 0x100000000ull, false},
                                         LargeFileCase{"FiveGiB", 5ull << 30, false}),
                         CaseName());

TEST(FtpdSlots, SeventeenthConnectionIsRefusedWhileTheOthersWork) {
  Options options;
  options.timeScale = 0.2;  // idle connections must outlive the test: 60 s header wait = 12 s
  FtpdHarness server(options);
  kelptest::WriteFile(server.mp() / "sixteen.bin", kSixteen);
  ASSERT_EQ(server.Start(), "KELPFTPD OK");
  std::vector<FtpClient> clients;
  for (int i = 0; i < 16; ++i) clients.push_back(server.Connect());

  RawConnection refused;
  ConnectRaw(server, refused, 0);
  const auto rest = refused.ReadToClose();
  ASSERT_TRUE(rest);
  EXPECT_TRUE(rest->empty());
  FtpClient viaLibrary;
  EXPECT_EQ(viaLibrary.Connect(server.address(), server.port(), plat::Millis(10000)), ClientStatus::Refused);

  for (FtpClient& client : clients) {
    std::vector<std::uint8_t> data;
    bool more = true;
    ASSERT_EQ(client.ReadBlock("sixteen.bin", 10, 6, data, more), ClientStatus::Ok) << client.Error();
    EXPECT_EQ(data, Bytes("abcdef"));
  }
  // Once one board has ended, its slot serves the next.
  ASSERT_EQ(clients.back().End(), ClientStatus::Ok);
  ClientStatus status = ClientStatus::Refused;
  for (int i = 0; i < 200 && status == ClientStatus::Refused; ++i) {
    FtpClient next;
    status = next.Connect(server.address(), server.port(), plat::Millis(10000));
    if (status == ClientStatus::Refused) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(status, ClientStatus::Ok);
  const std::string trace = server.TraceText();
  EXPECT_THAT(trace, HasSubstr("SessionLimit Over : 16"));
  EXPECT_THAT(trace, HasSubstr("Can't get CusrClient object"));
}

TEST(FtpdTimeout, ClientStoppingMidHeaderIsDroppedAfterTheHeaderWait) {
  Options options;
  options.timeScale = 0.01;  // 60 s = 600 ms
  FtpdHarness server(options);
  ASSERT_EQ(server.Start(), "KELPFTPD OK");
  RawConnection raw;
  ConnectRaw(server, raw);
  std::vector<std::uint8_t> half = HeaderBytes(0x00010001);
  half.resize(10);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(raw.Send(half));
  const auto rest = raw.ReadToClose(10000);
  const auto waited = std::chrono::steady_clock::now() - start;
  ASSERT_TRUE(rest);
  EXPECT_TRUE(rest->empty());
  EXPECT_GE(waited, std::chrono::milliseconds(500));
  const std::string trace = server.TraceText();
  EXPECT_THAT(trace, HasSubstr("select() timeout"));
  EXPECT_THAT(trace, HasSubstr("RecvHeader() : code = 0x00000006"));
}

TEST(FtpdTimeout, BoardThatStopsReadingIsDroppedAfterTheSendWait) {
  Options options;
  options.timeScale = 0.01;  // 60 s = 600 ms
  FtpdHarness server(options);
  const fs::path file = server.mp() / "large.img";
  kelptest::WriteFile(file, "");
  fs::resize_file(file, 64u << 20);
  ASSERT_EQ(server.Start(), "KELPFTPD OK");
  RawConnection raw;
  const int small = 64 << 10;
  ASSERT_EQ(::setsockopt(raw.fd(), SOL_SOCKET, SO_RCVBUF, &small, sizeof small), 0);
  ConnectRaw(server, raw);
  ASSERT_TRUE(raw.Send(FileRequestBytes("large.img", 0, 64u << 20)));
  // Nothing is read: the reply stalls, and after the send wait the server gives up on the board.
  std::string trace;
  for (int i = 0; i < 500 && trace.find("ReplyFileData() : code = 0x00000008") == std::string::npos; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    trace = server.TraceText();
  }
  EXPECT_THAT(trace, HasSubstr("ReplyFileData() : code = 0x00000008"));
  EXPECT_THAT(trace, HasSubstr("sendfile() code=11"));
}

TEST(FtpdLifetime, RunsWhileTheSetupToolHoldsItsMutexAndEndsOnceItIsFree) {
  Options options;
  options.timeScale = 0.01;  // accept wait 50 ms
  FtpdHarness server(options);
  ASSERT_EQ(server.Start(), "KELPFTPD OK");
  RawConnection open;
  ConnectRaw(server, open);
  // Many accept waits go by; the server stays.
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  EXPECT_TRUE(server.process().IsRunning());
  EXPECT_EQ(server.Stop(), 0);
  // Connections still open at the end are closed with it.
  const auto rest = open.ReadToClose(2000);
  ASSERT_TRUE(rest);
  EXPECT_TRUE(rest->empty());
}

TEST(FtpdInstallFolder, NothingIsServedWithoutARecordedTftpRoot) {
  Options options;
  options.registerMedium = false;
  FtpdHarness server(options);
  kelptest::WriteFile(server.mp() / "sixteen.bin", kSixteen);
  ASSERT_EQ(server.Start(), "KELPFTPD OK");
  for (const std::string& name : {std::string("sixteen.bin"), (server.mp() / "sixteen.bin").string()}) {
    FtpClient client = server.Connect();
    std::uint32_t size = 0;
    EXPECT_EQ(client.RequestSize(name, size), ClientStatus::ErrorReply) << name;
    EXPECT_EQ(client.ErrorStatus(), 3u);
  }
  EXPECT_THAT(server.TraceText(), HasSubstr("Cannot Get Install File Path"));
}

}  // namespace
