#include "ui/ScriptRunner.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <sstream>

#include "ScriptActions.h"
#include "common/TraceLine.h"
#include "plat/Clock.h"
#include "ui/Dialog.h"
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
constexpr auto kEndSlice = std::chrono::milliseconds(50);  // between the steps of the end

// An attempt: "" when done, else the reason it is not yet; nullopt once the runner stops.
using Attempt = std::function<std::optional<std::string>()>;

// Runs decide once on the UI thread, replies with its result, then starts the result's act (a
// modal loop it starts must not hold up the reply). Returns the result, or nullopt when the
// runner stops or the (logical) deadline passes first.
template <class Result>
std::optional<Result> OnUi(Host& host, const std::shared_ptr<Shared>& shared, std::function<Result()> decide,
                           plat::TimePoint deadline = plat::TimePoint::max()) {
  auto reply = std::make_shared<std::optional<Result>>();
  host.Post([shared, reply, decide = std::move(decide)] {
    {
      std::lock_guard lock(shared->mutex);
      if (shared->stopping) return;
    }
    Result result = decide();
    const std::function<void()> act = std::move(result.act);
    {
      std::lock_guard lock(shared->mutex);
      *reply = std::move(result);
    }
    shared->cv.notify_all();
    if (act) act();
  });
  std::unique_lock lock(shared->mutex);
  const auto answered = [&] { return reply->has_value() || shared->stopping; };
  if (deadline == plat::TimePoint::max()) shared->cv.wait(lock, answered);
  else plat::Clock::WaitUntil(shared->cv, lock, deadline, answered);
  if (shared->stopping || !reply->has_value()) return std::nullopt;
  return std::move(*reply);
}

// A probe's reason on the UI thread; its act runs when it is ready.
std::optional<std::string> OnUi(Host& host, const std::shared_ptr<Shared>& shared, Probe probe) {
  const std::optional<ProbeResult> result = OnUi<ProbeResult>(host, shared, std::move(probe));
  return result ? std::optional<std::string>(result->reason) : std::nullopt;
}

// One step of the end, decided on the UI thread.
struct EndStep {
  ToolPhase phase = ToolPhase::Starting;
  std::string doing;  // what the step does or waits for, for the trace
  std::function<void()> act;
};

std::string Named(const Dialog& dialog) { return "dialog " + std::to_string(dialog.TemplateId()); }

// The dialog to close before the main window: the innermost modal loop inside the main
// window's, else the foreground-most other shown dialog; null when none is left.
Dialog* DialogToClose(const Host& host) {
  const std::vector<Dialog*>& modal = host.ModalDialogs();
  if (modal.size() > 1) return modal.back();
  const Dialog* main = modal.empty() ? nullptr : modal.front();
  const std::vector<Dialog*>& shown = host.ShownDialogs();
  const auto it = std::find_if(shown.rbegin(), shown.rend(), [main](const Dialog* d) { return d != main; });
  return it != shown.rend() ? *it : nullptr;
}

EndStep DecideEndStep(Host& host, const ScriptedTool& tool) {
  EndStep step{tool.phase(), "", {}};
  if (step.phase == ToolPhase::Starting) {
    step.doing = "waiting for the start-up to finish";
  } else if (Dialog* dialog = DialogToClose(host)) {
    // A dialog's close refuses while its operation runs: its workers end first, within their
    // own limits.
    if (dialog->IsModal() && dialog->HasEnded()) {
      step.doing = "waiting for " + Named(*dialog) + " to end";
    } else if (dialog->WorkersRunning()) {
      step.doing = "waiting for the workers of " + Named(*dialog);
    } else {
      step.doing = "closing " + Named(*dialog);
      step.act = [dialog] { dialog->Close(); };
    }
  } else if (step.phase == ToolPhase::Closing) {
    step.doing = "waiting for the tool to end";
  } else if (host.WorkersRunning()) {
    step.doing = "waiting for the workers of a hidden dialog or of the main window";
  } else {
    step.doing = "closing the main window";
    step.act = tool.close;
  }
  return step;
}

// The number of the script's last line (0 for an empty script).
int LastLine(std::string_view text) {
  const auto breaks = std::count(text.begin(), text.end(), '\n');
  return static_cast<int>(breaks) + (text.empty() || text.back() == '\n' ? 0 : 1);
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

ScriptRunner::ScriptRunner(Host& host, Transcript& transcript, std::string scriptText, ScriptedTool tool)
    : m_host(host),
      m_transcript(transcript),
      m_text(std::move(scriptText)),
      m_tool(std::move(tool)),
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
    if (Stopping()) return;
    if (!reason.empty()) {
      Fail(command.line, reason);
      return;
    }
  }
  {
    std::lock_guard lock(m_shared->mutex);
    m_shared->finished = true;
  }
  if (m_tool.handOver) m_host.Post(m_tool.handOver);
  else EndAfterLastLine();
}

bool ScriptRunner::Stopping() const {
  std::lock_guard lock(m_shared->mutex);
  return m_shared->stopping;
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

void ScriptRunner::EndAfterLastLine() {
  // A start-up may still end the tool by itself: the phase counts once it is over.
  const plat::TimePoint deadline = plat::Clock::Now() + kEndLimit;
  for (;;) {
    const std::optional<EndStep> step = OnUi<EndStep>(
        m_host, m_shared, [tool = m_tool] { return EndStep{tool.phase(), "", {}}; }, deadline);
    if (Stopping()) return;
    if (step && step->phase == ToolPhase::Closing) break;
    if (!step || step->phase == ToolPhase::Open || plat::Clock::Now() >= deadline) {
      Fail(LastLine(m_text), "script ended with the tool open");
      return;
    }
    std::unique_lock lock(m_shared->mutex);
    if (m_shared->cv.wait_for(lock, kEndSlice, [&] { return m_shared->stopping; })) return;
  }
  EndTool(deadline);
}

void ScriptRunner::Fail(int line, const std::string& reason) {
  m_transcript.ScriptError(line, reason);
  {
    std::lock_guard lock(m_shared->mutex);
    m_shared->failed = true;
    m_shared->finished = true;
  }
  EndTool(plat::Clock::Now() + kEndLimit);
}

void ScriptRunner::EndTool(plat::TimePoint deadline) {
  std::string doing;
  while (plat::Clock::Now() < deadline) {
    const std::optional<EndStep> step = OnUi<EndStep>(
        m_host, m_shared, [&host = m_host, tool = m_tool] { return DecideEndStep(host, tool); }, deadline);
    if (Stopping()) return;
    if (const std::string now = step ? step->doing : "no answer from the UI thread"; now != doing) {
      doing = now;
      common::TraceLine(TRC_INFO, "script end: " + doing);
    }
    std::unique_lock lock(m_shared->mutex);
    if (m_shared->cv.wait_for(lock, kEndSlice, [&] { return m_shared->stopping; })) return;
  }
  const std::string reason = "the tool did not end within " +
                             SecondsText(std::chrono::duration<double>(kEndLimit).count()) + " s (" + doing + ")";
  common::TraceLine(TRC_ERROR, "script end: " + reason);
  if (m_tool.abandon) m_tool.abandon(reason);
}

}  // namespace kelp::ui
