// Fuzz target: arbitrary bytes as a board sends them to kelpftpd, cut into pieces at points the
// input chooses, served by the server's own framing and session code (CusrClient, CusrService)
// over a buffer instead of a socket. The input's last byte is the number of pieces, the two bytes
// before it each cut point; the rest, from the start, is the stream.
//
// Aborts unless the replies are exactly what the protocol allows for the requests sent: a bad
// header or an unknown type ends the connection without a reply, an end request gets the end
// reply, a file request gets a size or data reply or the error reply (3 or 10) that ends the
// connection. No size or data reply may come from a file outside the install-files folder: the
// folder holds a few files (one a link leading out of it), with files outside it beside.
#include <fcntl.h>
#include <fuzzer/FuzzedDataProvider.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ClientStream.h"
#include "CusrClient.h"
#include "CusrService.h"
#include "CusrSession.h"
#include "common/ProcessContext.h"
#include "common/TraceSink.h"
#include "kelpftp/FtpProtocol.h"
#include "plat/Clock.h"
#include "plat/Profile.h"

namespace fs = std::filesystem;
using namespace kelpftp;

namespace {

[[noreturn]] void Violation(const char* what) {
  std::fprintf(stderr, "fuzz_ftpd_requests: %s\n", what);
  std::abort();
}

void Require(bool condition, const char* what) {
  if (!condition) Violation(what);
}

// The install-files folder and its neighbourhood, made once per process under drive C:.
struct Tree {
  fs::path mp;                            // canonical, the only folder files may come from
  std::set<std::uint64_t> insideSizes;    // the sizes a size reply may carry
};

void WriteBytes(const fs::path& path, std::size_t size, std::uint8_t first) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(first + i % 61);
  std::ofstream(path, std::ios::binary) << bytes;
}

// The temporary tree goes when the process ends normally.
char g_szTreeRoot[] = "/tmp/fuzz_ftpd_requests-XXXXXX";

void RemoveTree() {
  std::error_code ec;
  fs::remove_all(g_szTreeRoot, ec);
}

const Tree& MakeTree() {
  static const Tree tree = [] {
    char* pattern = g_szTreeRoot;
    Require(::mkdtemp(pattern) != nullptr, "no temporary folder");
    std::atexit(RemoveTree);
    const fs::path c = fs::path(pattern) / "c";
    ::setenv("KELP_SYSTEM_ROOT", c.c_str(), 1);
    ::setenv("KELP_RUNTIME_DIR", (fs::path(pattern) / "run").c_str(), 1);
    const fs::path media = c / "media";
    fs::create_directories(media / "netboot");
    fs::create_directories(media / "MP" / "pp");
    fs::create_directories(media / "MP" / "dir");
    Require(plat::WritePrivateProfileString("Parameters", "File Path", "C:\\media\\netboot", c / "tftp.ini"),
            "cannot record the TFTP root");
    Tree t;
    const std::pair<const char*, std::size_t> inside[] = {{"nasos.img", 1003}, {"pp/product.bin", 17}, {"empty.img", 0}};
    for (const auto& [name, size] : inside) {
      WriteBytes(media / "MP" / name, size, 'A');
      t.insideSizes.insert(size);
    }
    // Outside: a size no inside file has.
    for (const fs::path& outside : {c / "outside.bin", media / "outside.bin", media / "netboot" / "boot.img"})
      WriteBytes(outside, 4099, 0x80);
    fs::create_symlink("nasos.img", media / "MP" / "alias.img");
    fs::create_symlink("../outside.bin", media / "MP" / "escape.img");
    fs::create_symlink(c / "outside.bin", media / "MP" / "absolute-escape.img");
    t.mp = fs::canonical(media / "MP");
    return t;
  }();
  return tree;
}

// Every trace level is on, so that the fuzzed names pass through the trace's formatting; a line
// must stay one line whatever a name holds.
class OneLineSink final : public common::TraceSink {
 public:
  void WriteLine(std::string_view line) override {
    Require(line.find_first_of("\r\n") == std::string_view::npos, "a trace line broken by a request's bytes");
  }
};

// One block sent from a file: where it came from.
struct SentBlock {
  std::uint64_t offset = 0;
  std::size_t length = 0;
  std::uint64_t fileSize = 0;
};

// The board's side as a buffer: its bytes arrive in the given pieces, then it closes; what the
// server sends is kept, file blocks read from their files.
class BufferStream final : public ClientStream {
 public:
  BufferStream(std::deque<std::vector<std::uint8_t>> pieces, const Tree& tree, std::vector<std::uint8_t>& out,
               std::vector<SentBlock>& blocks)
      : m_pieces(std::move(pieces)), m_tree(tree), m_out(out), m_blocks(blocks) {}

  Arrival Receive(std::span<std::uint8_t> buffer, plat::Millis, std::size_t& got, int&) override {
    while (!m_pieces.empty() && m_taken == m_pieces.front().size()) {
      m_pieces.pop_front();
      m_taken = 0;
    }
    if (m_pieces.empty()) return Arrival::Closed;
    const std::vector<std::uint8_t>& piece = m_pieces.front();
    got = std::min(buffer.size(), piece.size() - m_taken);
    std::memcpy(buffer.data(), piece.data() + m_taken, got);
    m_taken += got;
    return Arrival::Data;
  }

  bool Send(std::span<const std::uint8_t> bytes, bool, int&) override {
    m_out.insert(m_out.end(), bytes.begin(), bytes.end());
    return true;
  }

  bool SendFile(int file, std::uint64_t offset, std::size_t length, int& error) override {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", file);
    std::error_code ec;
    const fs::path opened = fs::read_symlink(link, ec);
    Require(!ec, "the served file cannot be named");
    const std::string& p = opened.native();
    const std::string& mp = m_tree.mp.native();
    Require(p.size() > mp.size() && p.compare(0, mp.size(), mp) == 0 && p[mp.size()] == '/',
            "a block was served from a file outside the install-files folder");
    struct stat st {};
    Require(::fstat(file, &st) == 0 && S_ISREG(st.st_mode), "a block was served from something not a file");
    m_blocks.push_back({offset, length, static_cast<std::uint64_t>(st.st_size)});
    std::vector<std::uint8_t> bytes(length);
    if (::pread(file, bytes.data(), length, static_cast<off_t>(offset)) != static_cast<ssize_t>(length)) {
      error = ENODATA;
      return false;
    }
    m_out.insert(m_out.end(), bytes.begin(), bytes.end());
    return true;
  }

  int Shutdown() override { return 0; }
  int Close() override { return 0; }

 private:
  std::deque<std::vector<std::uint8_t>> m_pieces;
  std::size_t m_taken = 0;
  const Tree& m_tree;
  std::vector<std::uint8_t>& m_out;
  std::vector<SentBlock>& m_blocks;
};

// Reads the server's replies in order; every read must lie inside what was sent.
class Replies {
 public:
  explicit Replies(const std::vector<std::uint8_t>& out) : m_out(out) {}
  bool AtEnd() const { return m_at == m_out.size(); }
  std::span<const std::uint8_t> Take(std::size_t n, const char* what) {
    Require(m_out.size() - m_at >= n, what);
    const auto bytes = std::span(m_out).subspan(m_at, n);
    m_at += n;
    return bytes;
  }
  std::uint32_t Word(const char* what) { return LoadBE32(Take(4, what).first<4>()); }
  // A reply's header, which must be the server's own with the given type, and its status.
  std::uint32_t Status(std::uint32_t type, const char* what) {
    const auto bytes = Take(kReplySize, what);
    Require(std::memcmp(bytes.data(), kMagic.data(), kMagicSize) == 0, "a reply without the magic");
    Require(LoadBE32(bytes.subspan<16, 4>()) == kVersion, "a reply of another version");
    Require(LoadBE32(bytes.subspan<20, 4>()) == type, "a reply of the wrong type");
    return LoadBE32(bytes.subspan<24, 4>());
  }

 private:
  const std::vector<std::uint8_t>& m_out;
  std::size_t m_at = 0;
};

// Walks the requests the board sent against the replies; the connection must end where the
// protocol ends it, with nothing sent after.
void CheckSession(std::span<const std::uint8_t> in, const std::vector<std::uint8_t>& out,
                  const std::vector<SentBlock>& blocks, const Tree& tree) {
  Replies replies(out);
  std::size_t nextBlock = 0;
  for (;;) {
    if (in.size() < kHeaderSize) break;  // the board closed before a whole header
    const auto header = in.first<kHeaderSize>();
    if (std::memcmp(header.data(), kMagic.data(), kMagicSize) != 0 || LoadBE32(header.subspan<16, 4>()) != kVersion)
      break;
    const std::uint32_t type = LoadBE32(header.subspan<20, 4>());
    if (type == kTypeEndRequest) {
      Require(replies.Status(kTypeEndReply, "an end request without the end reply") == kStatusOk,
              "an end reply with a status");
      break;
    }
    if (type != kTypeFileRequest || in.size() < kFileRequestSize) break;
    const std::uint32_t offset = LoadBE32(in.subspan<kHeaderSize + kNameFieldSize, 4>());
    const std::uint32_t size = LoadBE32(in.subspan<kHeaderSize + kNameFieldSize + 4, 4>());
    in = in.subspan(kFileRequestSize);

    const std::uint32_t status = replies.Status(kTypeFileReply, "a file request without a reply");
    if (status != kStatusOk) {
      Require(status == kErrorFile || status == kErrorNoMemory, "an error reply with an unknown status");
      break;
    }
    const std::uint32_t value = replies.Word("a file reply without its length word");
    if (offset == kSizeRequestOffset) {
      Require(tree.insideSizes.count(value) == 1, "a size reply for a file outside the install-files folder");
      continue;
    }
    Require(size <= kMaxBlockSize, "a data reply for a block above the limit");
    Require(nextBlock < blocks.size(), "a data reply that was not sent from a file");
    const SentBlock& block = blocks[nextBlock++];
    const std::uint64_t available = offset < block.fileSize ? block.fileSize - offset : 0;
    Require(block.offset == offset && value == block.length && value == std::min<std::uint64_t>(size, available),
            "a data reply of the wrong block");
    replies.Take(value, "a data reply cut short");
    for (const std::uint8_t pad : replies.Take(PaddingOf(value), "a data reply without its padding"))
      Require(pad == kPadByte, "padding that is not spaces");
    const std::uint32_t more = replies.Word("a data reply without its end flag");
    Require(more == (available > size ? 1u : 0u), "a wrong end flag");
  }
  Require(replies.AtEnd(), "a reply after the connection should have ended");
  Require(nextBlock == blocks.size(), "a block sent without its data reply");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > (1u << 16)) return 0;
  // The server's pauses between attempts (a second each) shrink to a tenth of a millisecond.
  plat::Clock::SetTimeScale(0.0001);
  const Tree& tree = MakeTree();
  static OneLineSink sink;
  static const common::ProcessContext context(
      {.program = TraceProgram::Kelpftpd, .traceSink = &sink, .traceMask = TRC_MASK_DEBUG});
  static CusrSession session;
  static CusrService service(session);

  FuzzedDataProvider provider(data, size);
  const std::size_t count = provider.ConsumeIntegralInRange<std::size_t>(1, 16);
  std::vector<std::size_t> cuts;
  for (std::size_t i = 1; i < count; ++i) cuts.push_back(provider.ConsumeIntegralInRange<std::size_t>(0, 4096));
  const std::vector<std::uint8_t> stream = provider.ConsumeRemainingBytes<std::uint8_t>();
  for (std::size_t& cut : cuts) cut = std::min(cut, stream.size());
  cuts.push_back(stream.size());
  std::sort(cuts.begin(), cuts.end());
  std::deque<std::vector<std::uint8_t>> pieces;
  std::size_t from = 0;
  for (const std::size_t cut : cuts) {
    pieces.emplace_back(stream.begin() + static_cast<std::ptrdiff_t>(from), stream.begin() + static_cast<std::ptrdiff_t>(cut));
    from = cut;
  }

  std::vector<std::uint8_t> out;
  std::vector<SentBlock> blocks;
  CusrClient client;
  client.Attach(std::make_unique<BufferStream>(std::move(pieces), tree, out, blocks));
  service.StartService(client);
  CheckSession(stream, out, blocks, tree);
  return 0;
}
