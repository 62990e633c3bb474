#include "Report.h"

#include <array>

#include "common/MessageCatalogue.h"
#include "common/Messages.h"
#include "common/TextFormats.h"

namespace kelpctl {

Failure ApiError(const ApiFailure& failure) {
  const std::uint32_t id = GetApiErrorMessageId(failure.code);
  const MessageCatalogue& catalogue = MessageCatalogue::Of(GetMessageProgram());
  const std::uint32_t kind = catalogue.Rows()[catalogue.Find(id)].kind;
  std::array<char, 2048> text{};
  FormatMessageText(text.data(), text.size(), id, kind, {common::CodeText(failure.code)});
  return {failure.code, text.data(), failure.call,
          failure.call + " failed: " + common::CodeText(failure.code) + "\n" + text.data()};
}

Failure ExchangeError(const board::ExchangeResult& result) {
  const std::string text = board::FailureText(result);
  std::optional<std::string> step;
  if (!result.failedStep.empty()) step = result.failedStep;
  return {result.code, result.cause.empty() ? text : result.cause, step, text};
}

Failure CodedError(std::string message, std::uint32_t code) {
  std::string text = message + ": " + common::CodeText(code);
  return {code, std::move(message), std::nullopt, std::move(text)};
}

Failure PlainError(std::string message) {
  std::string text = message;
  return {std::nullopt, std::move(message), std::nullopt, std::move(text)};
}

int Report::Fail(const Failure& failure) {
  if (!m_json)
    std::fprintf(m_err, "kelpctl: %s\n", failure.text.c_str());
  else if (!m_failure)
    m_failure = failure;
  return 1;
}

int Report::Finish(int status) {
  if (!m_json) return status;
  using common::json::Value;
  Value document = m_result;
  if (status != 0) {
    const Failure failure = m_failure.value_or(PlainError("the command failed"));
    document = Value::Object{{"error", Value::Object{{"code", failure.code},
                                                      {"message", failure.message},
                                                      {"step", failure.step}}}};
  }
  std::fputs((common::json::Write(document, common::json::Style::Indented) + "\n").c_str(), m_out);
  std::fflush(m_out);
  return status;
}

}  // namespace kelpctl
