#include "ui/ScriptRunner.h"

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <sstream>

#include "ScriptActions.h"
#include "plat/Clock.h"
#include "ui/Host.h"
#include "ui/Transcript.h"

namespace kelp::ui {

struct ScriptRunner::Shared {
  std::mutex mutex;
  std::condition_variable cv;
  bool stopping = false;
  bool finished = false;
  bool failed = false;
};

namespace {

using Shared = ScriptRunner::Shared;

constexpr auto kTargetWait = std::chrono::seconds(5);  // real time, for an action's target
constexpr auto kPollSlice = std::chrono::milliseconds(5);

// An attempt: "" when done, else the reason it is not yet; nullopt once the runner stops.
using Attempt = std::function<std::optional<std::string>()>;

// Runs probe once on the UI thread and starts its action when ready. Returns its reason, or
// nullopt when the runner stops first.
std::optional<std::string> OnUi(Host& host, const std::shared_ptr<Shared>& shared, Probe probe) {
  auto reply = std::make_shared<std::optional<std::string>>();
  host.Post([shared, reply, probe = std::move(probe)] {
    {
      std::lock_guard lock(shared->mutex);
      if (shared->stopping) return;
    }
    const ProbeResult result = probe();
    {
      std::lock_guard lock(shared->mutex);
      *reply = result.reason;
    }
    shared->cv.notify_all();
    if (result.reason.empty() && result.act) result.act();
  });
  std::unique_lock lock(shared->mutex);
  shared->cv.wait(lock, [&] { return reply->has_value() || shared->stopping; });
  return shared->stopping ? std::nullopt : *reply;
}

// Repeats attempt until it is done, or expired() holds after a failed try (its reason), or the
// runner stops.
std::string Poll(const std::shared_ptr<Shared>& shared, const Attempt& attempt, const std::function<bool()>& expired) {
  for (;;) {
    const std::optional<std::string> reason = attempt();
    if (!reason) return "stopped";
    if (reason->empty() || expired()) return *reason;
    std::unique_lock lock(shared->mutex);
    if (shared->cv.wait_for(lock, kPollSlice, [&] { return shared->stopping; })) return "stopped";
  }
}

plat::TimePoint LogicalDeadline(double seconds) {
  return plat::Clock::Now() + plat::Millis(std::llround(seconds * 1000));
}

std::function<bool()> LogicalExpiry(double seconds) {
  return [deadline = LogicalDeadline(seconds)] { return plat::Clock::Now() >= deadline; };
}

std::string SecondsText(double seconds) {
  std::ostringstream s;
  s << seconds;
  return s.str();
}

}  // namespace

ScriptRunner::ScriptRunner(Host& host, Transcript& transcript, std::string scriptText, std::function<void()> closeTool)
    : m_host(host),
      m_transcript(transcript),
      m_text(std::move(scriptText)),
      m_closeTool(std::move(closeTool)),
      m_shared(std::make_shared<Shared>()) {}

ScriptRunner::~ScriptRunner() { Stop(); }

void ScriptRunner::Start() { m_thread = std::thread([this] { Run(); }); }

void ScriptRunner::Stop() {
  {
    std::lock_guard lock(m_shared->mutex);
    m_shared->stopping = true;
  }
  m_shared->cv.notify_all();
  if (m_thread.joinable()) m_thread.join();
}

bool ScriptRunner::Finished() const {
  std::lock_guard lock(m_shared->mutex);
  return m_shared->finished;
}

bool ScriptRunner::Failed() const {
  std::lock_guard lock(m_shared->mutex);
  return m_shared->failed;
}

void ScriptRunner::Run() {
  auto parsed = ParseScript(m_text);
  if (const auto* error = std::get_if<ScriptError>(&parsed)) {
    Fail(error->line, error->reason);
    return;
  }
  for (const ScriptCommand& command : std::get<std::vector<ScriptCommand>>(parsed)) {
    const std::string reason = Execute(command);
    {
      std::lock_guard lock(m_shared->mutex);
      if (m_shared->stopping) return;
    }
    if (!reason.empty()) {
      Fail(command.line, reason);
      return;
    }
  }
  std::lock_guard lock(m_shared->mutex);
  m_shared->finished = true;
}

std::string ScriptRunner::Execute(const ScriptCommand& command) {
  switch (command.verb) {
    case ScriptVerb::Answer:
      m_host.Answers().Queue(command.messageId, command.button);
      return "";
    case ScriptVerb::WaitMessage: return WaitMessage(command);
    case ScriptVerb::WaitTranscript: return WaitTranscript(command);
    case ScriptVerb::Sleep: return Sleep(command.seconds);
    case ScriptVerb::Screenshot: return OnUi(m_host, m_shared, MakeProbe(m_host, command)).value_or("stopped");
    case ScriptVerb::WaitText:
    case ScriptVerb::WaitIdle: {
      const std::string reason = Poll(m_shared, [&] { return OnUi(m_host, m_shared, MakeProbe(m_host, command)); },
                                      LogicalExpiry(command.seconds));
      return reason.empty() ? "" : "timed out after " + SecondsText(command.seconds) + " s: " + reason;
    }
    default: {
      const auto deadline = std::chrono::steady_clock::now() + kTargetWait;
      return Poll(m_shared, [&] { return OnUi(m_host, m_shared, MakeProbe(m_host, command)); },
                  [deadline] { return std::chrono::steady_clock::now() >= deadline; });
    }
  }
}

std::string ScriptRunner::WaitMessage(const ScriptCommand& command) {
  const std::string prefix = "message " + std::to_string(*command.messageId) + " ";
  std::size_t& cursor = m_messageCursor[*command.messageId];
  const Attempt attempt = [&]() -> std::optional<std::string> {
    const auto found = m_transcript.Find(cursor, [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
    if (!found) return "not shown";
    cursor = *found + 1;
    return "";
  };
  const std::string reason = Poll(m_shared, attempt, LogicalExpiry(command.seconds));
  return reason.empty() ? "" : "timed out after " + SecondsText(command.seconds) + " s: message " +
                                   std::to_string(*command.messageId) + " " + reason;
}

std::string ScriptRunner::WaitTranscript(const ScriptCommand& command) {
  const Attempt attempt = [&]() -> std::optional<std::string> {
    const auto found =
        m_transcript.Find(m_transcriptCursor, [&](const std::string& line) { return std::regex_search(line, command.regex); });
    if (!found) return "no transcript line matches " + command.text;
    m_transcriptCursor = *found + 1;
    return "";
  };
  const std::string reason = Poll(m_shared, attempt, LogicalExpiry(command.seconds));
  return reason.empty() ? "" : "timed out after " + SecondsText(command.seconds) + " s: " + reason;
}

std::string ScriptRunner::Sleep(double seconds) {
  const auto expired = LogicalExpiry(seconds);
  const std::string reason = Poll(m_shared, [] { return std::optional<std::string>("sleeping"); }, expired);
  return reason == "stopped" ? reason : "";
}

void ScriptRunner::Fail(int line, const std::string& reason) {
  m_transcript.ScriptError(line, reason);
  {
    std::lock_guard lock(m_shared->mutex);
    m_shared->failed = true;
    m_shared->finished = true;
  }
  if (m_closeTool) m_host.Post(m_closeTool);
}

}  // namespace kelp::ui
