// platform/sim/README.md documents every form `help` prints, so the two
// cannot drift apart.
#include <gtest/gtest.h>

#include <string>

#include "build_config.h"
#include "platform/sim/base/file_io.h"
#include "platform/sim/cli/command_table.h"
#include "platform/sim/cli/commands.h"

namespace brannic::sim {
namespace {

// A form as the README's tables write it: in backticks, `|` escaped.
std::string asWrittenInTheReadme(const std::string& form) {
  std::string written = "`";
  for (const char c : form) {
    if (c == '|') written += '\\';
    written += c;
  }
  return written + "`";
}

TEST(CommandsReadmeTest, EveryFormHelpPrintsIsDocumented) {
  const auto readme = readFileToString(std::string(BRANNIC_SOURCE_DIR) + "/platform/sim/README.md");
  ASSERT_TRUE(readme);
  CommandTable table;
  registerAllCommands(table);
  for (const Command& command : table.commands()) {
    for (const std::string& form : command.usage) {
      const std::string written = asWrittenInTheReadme(form);
      EXPECT_NE(readme->find(written), std::string::npos) << written << " is missing from the README";
    }
  }
}

}  // namespace
}  // namespace brannic::sim
