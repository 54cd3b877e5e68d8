// What the helper answers to a request, whichever way the request reaches
// it: the tool in this process on fakes of its ports, or the built helper
// that launchd starts on a throwaway machine. Each harness arranges a case
// (what the request carries, what the owner answers when asked, what the
// power tool does), sends the one request and reports what came back; the
// expectations are the same for both.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "helper_client/helper_protocol.h"
#include "helper_tool/helper_exit_codes.h"
#include "platform/process_runner.h"

namespace brannic::testing {

// What a request carries besides its argument.
enum class RequestData {
  none,           // the plain request
  authorization,  // the authorized request with a fresh authorization's external form
  unknownForm,    // 32 bytes that name no authorization
  noBytes,
  bytes31,
  bytes33,
};

// The size of the data an authorized request carries.
inline std::size_t requestDataSize(RequestData data) {
  switch (data) {
    case RequestData::noBytes:
      return 0;
    case RequestData::bytes31:
      return 31;
    case RequestData::bytes33:
      return 33;
    default:
      return 32;
  }
}

// The owner's answer when the helper's check of its right asks for an
// administrator.
enum class OwnerAnswer { allow, deny, cancel };

struct HelperContractCase {
  std::string what;
  std::string argument;
  RequestData data = RequestData::none;
  OwnerAnswer owner = OwnerAnswer::allow;
  // What the power tool does when run; nullopt: it cannot be started.
  std::optional<ProcessResult> powerTool = ProcessResult{0, "", ""};

  // Expected: the text sent back to the application ("out: ..." and
  // "err: ...") and then the reply ("reply <exit code>"), in that order; the
  // power tool's runs ("<path> <arguments>"); whether the right guarding the
  // authorized request was asked for.
  std::vector<std::string> sentBack;
  std::vector<std::string> powerToolRuns;
  bool rightAsked = false;
};

// Names a failing case by what it is about.
inline void PrintTo(const HelperContractCase& c, std::ostream* out) { *out << c.what; }

// What a harness saw in answer to one request.
struct HelperAnswer {
  std::vector<std::string> sentBack;
  std::vector<std::string> powerToolRuns;
  std::vector<std::string> rightsAsked;
};

inline void expectHelperAnswer(const HelperContractCase& c, const HelperAnswer& answer) {
  EXPECT_EQ(answer.sentBack, c.sentBack);
  EXPECT_EQ(answer.powerToolRuns, c.powerToolRuns);
  EXPECT_EQ(answer.rightsAsked, c.rightAsked ? std::vector<std::string>{authorizedRequestRightName()}
                                             : std::vector<std::string>{});
}

inline std::vector<HelperContractCase> helperContractCases() {
  const std::string disable = "/usr/bin/pmset -a disablesleep 1";
  const std::string enable = "/usr/bin/pmset -a disablesleep 0";
  const std::string refused =
      "err: The helper runs only \"1\" (disable sleep) and \"0\" (enable sleep); it refused the request.";
  const auto reply = [](std::int64_t code) { return "reply " + std::to_string(code); };
  // The number the application takes as a refused authorization.
  const std::string authenticationFailed = reply(503340);

  const ProcessResult succeeds{0, "", ""};
  std::vector<HelperContractCase> cases{
      {"one disables sleep", "1", RequestData::none, OwnerAnswer::allow, succeeds, {reply(0)}, {disable}},
      {"zero enables sleep", "0", RequestData::none, OwnerAnswer::allow, succeeds, {reply(0)}, {enable}},
      {"the tools failure and its error text", "1", RequestData::none, OwnerAnswer::allow,
       ProcessResult{1, "", "usage: pmset\n"}, {"err: usage: pmset\n", reply(1)}, {disable}},
      {"the tools output before its error text", "0", RequestData::none, OwnerAnswer::allow,
       ProcessResult{0, "done\n", "warning\n"}, {"out: done\n", "err: warning\n", reply(0)}, {enable}},
      {"a tool killed by a signal", "1", RequestData::none, OwnerAnswer::allow,
       ProcessResult{128 + 9, "", ""}, {reply(128 + 9)}, {disable}},
      {"a tool that cannot start", "1", RequestData::none, OwnerAnswer::allow, std::nullopt,
       {"err: The helper could not start /usr/bin/pmset.", reply(kHelperToolUnavailableExitCode)}, {}},

      {"granted", "1", RequestData::authorization, OwnerAnswer::allow, ProcessResult{3, "", ""}, {reply(3)},
       {disable}, true},
      {"granted but the argument is refused", "reboot", RequestData::authorization, OwnerAnswer::allow,
       succeeds, {refused, reply(kHelperRefusedArgumentExitCode)}, {}, true},
      {"denied", "1", RequestData::authorization, OwnerAnswer::deny, succeeds, {authenticationFailed}, {},
       true},
      {"cancelled", "1", RequestData::authorization, OwnerAnswer::cancel, succeeds, {authenticationFailed},
       {}, true},
      {"data naming no authorization", "1", RequestData::unknownForm, OwnerAnswer::allow, succeeds,
       {authenticationFailed}, {}},
      {"no data", "1", RequestData::noBytes, OwnerAnswer::allow, succeeds, {authenticationFailed}, {}},
      {"31 bytes", "1", RequestData::bytes31, OwnerAnswer::allow, succeeds, {authenticationFailed}, {}},
      {"33 bytes", "1", RequestData::bytes33, OwnerAnswer::allow, succeeds, {authenticationFailed}, {}},
  };

  // Only "1" and "0" themselves run anything; nothing reaches a shell.
  const struct {
    const char* what;
    std::string argument;
  } otherArguments[] = {
      {"empty", ""},
      {"two", "2"},
      {"a leading zero", "01"},
      {"a trailing blank", "1 "},
      {"a leading blank", " 0"},
      {"a trailing line feed", "1\n"},
      {"an option", "-a"},
      {"the tools own words", "disablesleep 1"},
      {"a second command", "1; reboot"},
      {"a command substitution", "$(reboot)"},
      {"an embedded NUL", std::string("1\0", 2)},
  };
  for (const auto& other : otherArguments) {
    cases.push_back({std::string("refused: ") + other.what, other.argument, RequestData::none,
                     OwnerAnswer::allow, succeeds, {refused, reply(kHelperRefusedArgumentExitCode)}, {}});
  }
  return cases;
}

}  // namespace brannic::testing
