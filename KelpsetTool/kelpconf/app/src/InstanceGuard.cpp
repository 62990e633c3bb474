#include "app/InstanceGuard.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "plat/RuntimeDir.h"

namespace app {
namespace {

constexpr const char* kTitleFile = "kelpconf.title";
constexpr const char* kRaiseSocket = "kelpconf.raise";
constexpr char kRaiseMessage[] = "raise";

bool SocketAddress(sockaddr_un* pAddress) {
  const std::string path = (plat::RuntimeDir() / kRaiseSocket).string();
  if (path.size() >= sizeof pAddress->sun_path) return false;
  *pAddress = {};
  pAddress->sun_family = AF_UNIX;
  std::memcpy(pAddress->sun_path, path.c_str(), path.size() + 1);
  return true;
}

std::string ReadTitle() {
  std::ifstream in(plat::RuntimeDir() / kTitleFile);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

InstanceGuard::InstanceGuard() = default;

InstanceGuard::~InstanceGuard() {
  if (m_thread.joinable()) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_stop[1].Get(), &byte, 1);
    m_thread.join();
  }
  if (m_listen) {
    std::error_code ec;
    std::filesystem::remove(plat::RuntimeDir() / kRaiseSocket, ec);
    std::filesystem::remove(plat::RuntimeDir() / kTitleFile, ec);
  }
  if (m_bOwned) m_mutex.Unlock();
}

InstanceGuard::Outcome InstanceGuard::Acquire(const std::string& title) {
  const plat::LockResult result = m_mutex.Lock(kInstanceWait);
  if (result == plat::LockResult::Acquired || result == plat::LockResult::Abandoned) {
    m_bOwned = true;
    return Outcome::First;
  }
  if (ReadTitle() != title) return Outcome::OtherUnit;
  sockaddr_un address{};
  plat::UniqueFd fd(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (!fd || !SocketAddress(&address)) return Outcome::OtherUnit;
  const ssize_t sent = ::sendto(fd.Get(), kRaiseMessage, sizeof kRaiseMessage - 1, 0,
                                reinterpret_cast<const sockaddr*>(&address), sizeof address);
  return sent > 0 ? Outcome::RaisedOther : Outcome::OtherUnit;
}

void InstanceGuard::Publish(const std::string& title, std::function<void()> raise) {
  sockaddr_un address{};
  if (!m_bOwned || m_thread.joinable() || !SocketAddress(&address)) return;
  std::error_code ec;
  std::filesystem::remove(address.sun_path, ec);
  m_listen = plat::UniqueFd(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  int pipeFds[2];
  if (!m_listen || ::pipe2(pipeFds, O_CLOEXEC) != 0) return;
  m_stop[0] = plat::UniqueFd(pipeFds[0]);
  m_stop[1] = plat::UniqueFd(pipeFds[1]);
  if (::bind(m_listen.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return;
  {
    std::ofstream out(plat::RuntimeDir() / kTitleFile, std::ios::trunc);
    out << title;
  }
  m_raise = std::move(raise);
  m_thread = std::thread([this] { Serve(); });
}

void InstanceGuard::Serve() {
  for (;;) {
    if (plat::WaitReadable(m_listen.Get(), plat::kNoDeadline, m_stop[0].Get()) != plat::WaitResult::Ready) return;
    char buffer[16];
    if (::recv(m_listen.Get(), buffer, sizeof buffer, 0) > 0 && m_raise) m_raise();
  }
}

}  // namespace app
