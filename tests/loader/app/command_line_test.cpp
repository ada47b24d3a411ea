#include "command_line.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "pty_pair.h"

namespace zamel {
namespace {

using Action = CommandLine::Action;

TEST(CommandLine, OptionsAndTheCodeFile) {
    testing::TempWorkDir dir;
    ASSERT_TRUE(testing::writeWholeFile("code.srec", "S0030000FC\n"));
    ASSERT_TRUE(testing::writeWholeFile("-odd.srec", "S0030000FC\n"));
    ASSERT_EQ(::mkdir("folder", 0755), 0);
    const std::string longName(256, 'x');
    struct Case {
        std::vector<std::string> arguments;
        Action action;
        std::string codeFile;
        std::string error;
    };
    const Case cases[] = {
        {{}, Action::Run, "", ""},
        {{"code.srec"}, Action::Run, "code.srec", ""},
        {{"--", "-odd.srec"}, Action::Run, "-odd.srec", ""},
        {{"--help", "nothing-here"}, Action::ShowHelp, "", ""},
        {{"code.srec", "-h"}, Action::ShowHelp, "", ""},
        {{"--version"}, Action::ShowVersion, "", ""},
        {{"-odd.srec"}, Action::Refuse, "", "unknown option '-odd.srec'"},
        {{"--", "--help"}, Action::Refuse, "", "cannot read '--help': No such file or directory"},
        {{"code.srec", "code.srec"},
         Action::Refuse,
         "",
         "one FILE only, not 'code.srec' and 'code.srec'"},
        {{"folder"}, Action::Refuse, "", "cannot read 'folder': not a regular file"},
        {{longName},
         Action::Refuse,
         "",
         "'" + longName + "': a path of 1 to 255 characters is needed"},
        {{""}, Action::Refuse, "", "'': a path of 1 to 255 characters is needed"},
    };
    for (const auto& c : cases) {
        const CommandLine line = parseCommandLine(c.arguments);
        const std::string what = ::testing::PrintToString(c.arguments);
        EXPECT_EQ(line.action, c.action) << what;
        EXPECT_EQ(line.codeFile, c.codeFile) << what;
        EXPECT_EQ(line.error, c.error) << what;
    }
}

}  // namespace
}  // namespace zamel
