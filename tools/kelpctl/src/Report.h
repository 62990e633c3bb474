// Where a kelpctl command's results and failures go. As text, results and progress lines go to
// standard output and failures to standard error. Under --json standard output gets exactly one
// JSON document when the command ends: the command's result when it succeeded, else
// {"error": {"code", "message", "step"}} of the first failure; progress lines go to standard
// error.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "ApiCall.h"
#include "board/AgentExchange.h"
#include "common/Json.h"

namespace kelpctl {

struct Failure {
  std::optional<std::uint32_t> code;  // the error word, when the failure has one
  std::string message;                // the catalogue message or the failure in words
  std::optional<std::string> step;    // the VELAPI call or agent exchange step that failed
  std::string text;                   // as printed after "kelpctl: " (one line or more)
};

// A VELAPI call: "<call> failed: 0x%08x" and the catalogue message for the code.
Failure ApiError(const ApiFailure& failure);
// An agent exchange: the step, its code and the cause (board::FailureText).
Failure ExchangeError(const board::ExchangeResult& result);
// A failure with an error word: "<message>: 0x%08x".
Failure CodedError(std::string message, std::uint32_t code);
// A failure in words alone.
Failure PlainError(std::string message);

class Report {
 public:
  Report(bool json, std::FILE* out, std::FILE* err) : m_json(json), m_out(out), m_err(err) {}

  bool Json() const { return m_json; }
  // The result as text and the progress lines: standard output, under --json standard error.
  std::FILE* Lines() const { return m_json ? m_err : m_out; }
  // Notes that do not end the command (an unreadable board beside the one asked for).
  std::FILE* Notes() const { return m_err; }

  // As text prints the failure; under --json keeps the first one for the document. Returns 1,
  // the exit status of a failed command.
  int Fail(const Failure& failure);
  // Under --json, the document a successful command writes.
  void Result(common::json::Value document) { m_result = std::move(document); }
  // Under --json writes the document that fits status (the result for 0, else the error);
  // returns status.
  int Finish(int status);

 private:
  const bool m_json;
  std::FILE* const m_out;
  std::FILE* const m_err;
  std::optional<Failure> m_failure;
  common::json::Value m_result;
};

}  // namespace kelpctl
