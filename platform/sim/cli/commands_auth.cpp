// The machine's authorization system, helper blessing and power as the
// script sets them up: how the administrator answers prompts, the stored
// definition of the application's right, and calls that fail. Setting them
// prints nothing; `state` shows the sleep setting.
#include <charconv>
#include <cstdint>
#include <limits>
#include <string>

#include "helper_client/helper_label.h"
#include "helper_client/helper_protocol.h"
#include "platform/sim/cli/commands.h"
#include "platform/sim/cli/simulator.h"

namespace brannic::sim {
namespace {

// The right the application registers for its authorized request.
std::string appRightName() {
  return std::string(HelperLabel) + "." + selectors::runCommandLsWithPathAuthDataCompletion;
}

std::int64_t integer(const CommandArguments& arguments, std::size_t i, std::int64_t lowest, std::int64_t highest) {
  const std::string& word = arguments.keyword(i);
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
  if (word.empty() || error != std::errc() || end != word.data() + word.size() || value < lowest ||
      value > highest) {
    arguments.fail("expected a whole number from " + std::to_string(lowest) + " to " + std::to_string(highest) +
                   ", not " + arguments.describeWord(i));
  }
  return value;
}

OSStatus status(const CommandArguments& arguments, std::size_t i) {
  return static_cast<OSStatus>(
      integer(arguments, i, std::numeric_limits<OSStatus>::min(), std::numeric_limits<OSStatus>::max()));
}

// `fail <status>` or `ok`, starting at word 1: the status to fail with, or nullopt.
std::optional<OSStatus> statusFailure(const CommandArguments& arguments) {
  if (arguments.size() == 2 && arguments.keyword(1) == "ok") return std::nullopt;
  if (arguments.size() != 3 || arguments.keyword(1) != "fail") arguments.failUsage();
  return status(arguments, 2);
}

bool failOrOk(const CommandArguments& arguments, std::size_t i) {
  return arguments.choice<bool>(i, {{"fail", true}, {"ok", false}});
}

void setAdmin(Simulator& simulator, const CommandArguments& arguments) {
  arguments.expectCount(1);
  simulator.mac().authorization().authority().setAdminAnswer(arguments.choice<AdminAnswer>(
      0, {{"allow", AdminAnswer::allow}, {"deny", AdminAnswer::deny}, {"cancel", AdminAnswer::cancel}}));
}

void storeAppRight(const CommandArguments& arguments, SimAuthorizationDatabase& database, PropertyValue version) {
  const PropertyDictionary definition{{"class", "user"}, {"group", "admin"}, {"version", std::move(version)}};
  if (!database.store(appRightName(), definition))
    arguments.fail("cannot write the rights database " + sim::quoted(database.path().string()));
}

void setAuthorizationDatabase(Simulator& simulator, const CommandArguments& arguments) {
  if (arguments.size() == 0) arguments.failUsage();
  SimAuthorizationSystem& authorization = simulator.mac().authorization();
  const std::string& what = arguments.keyword(0);
  if (what == "version") {
    arguments.expectCount(2);
    storeAppRight(arguments, authorization.database(),
                  integer(arguments, 1, std::numeric_limits<std::int64_t>::min(),
                          std::numeric_limits<std::int64_t>::max()));
  } else if (what == "version-text") {
    arguments.expectCount(2);
    storeAppRight(arguments, authorization.database(), arguments.quotedText(1));
  } else if (what == "remove") {
    arguments.expectCount(1);
    if (!authorization.database().remove(appRightName()))
      arguments.fail("cannot write the rights database " + sim::quoted(authorization.database().path().string()));
  } else if (what == "reads") {
    arguments.expectCount(2);
    authorization.services().setRightReadsFail(failOrOk(arguments, 1));
  } else if (what == "writes") {
    arguments.expectCount(2);
    authorization.services().setRightWritesFail(failOrOk(arguments, 1));
  } else {
    arguments.failUsage();
  }
}

void setAuthorizationCalls(Simulator& simulator, const CommandArguments& arguments) {
  if (arguments.size() == 0) arguments.failUsage();
  SimAuthorizationServices& services = simulator.mac().authorization().services();
  const std::string& what = arguments.keyword(0);
  if (what == "create") {
    if (arguments.size() == 5 && arguments.keyword(1) == "fail" && arguments.keyword(3) == "times") {
      services.setCreateFailure(status(arguments, 2),
                                static_cast<int>(integer(arguments, 4, 1, std::numeric_limits<int>::max())));
      return;
    }
    services.setCreateFailure(statusFailure(arguments));
  } else if (what == "external-form") {
    services.setExternalFormFailure(statusFailure(arguments));
  } else {
    arguments.failUsage();
  }
}

void setBless(Simulator& simulator, const CommandArguments& arguments) {
  arguments.expectCount(1);
  simulator.mac().serviceManagement().setFailure(arguments.choice<BlessFailure>(
      0, {{"fail", BlessFailure::withoutError},
          {"fail-with-error", BlessFailure::withError},
          {"ok", BlessFailure::none}}));
}

}  // namespace

void registerAuthCommands(CommandTable& table) {
  using enum CommandPhase;
  table.add({"admin", {"admin allow|deny|cancel"}, any, setAdmin});
  table.add({"authdb",
             {"authdb version <n>", "authdb version-text \"<t>\"", "authdb remove", "authdb reads fail|ok",
              "authdb writes fail|ok"},
             any,
             setAuthorizationDatabase});
  table.add({"auth",
             {"auth create fail <status>|ok", "auth create fail <status> times <n>",
              "auth external-form fail <status>|ok"},
             any,
             setAuthorizationCalls});
  table.add({"bless", {"bless fail|fail-with-error|ok"}, any, setBless});

  table.addStateKey("sleep", [](Simulator& simulator) -> std::string {
    simulator.mac().lookAtMachine();
    return simulator.mac().power().sleepDisabled() ? "disabled" : "enabled";
  });
}

}  // namespace brannic::sim
