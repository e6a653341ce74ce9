// segweld-info's command line: usage and the refusal of bad arguments.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/tools/info_test_product.h"

namespace segweld {
namespace {

using test::ProgramResult;
using test::RunInfo;
using ::testing::HasSubstr;
using ::testing::StartsWith;

TEST(InfoArguments, HelpPrintsUsage) {
    for (const char* option : {"--help", "-h"}) {
        const ProgramResult result = RunInfo({"--json", option});
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_THAT(result.out, StartsWith("Usage: segweld-info [--json] FILE...\n"));
        EXPECT_THAT(result.out, HasSubstr("--preview OUT.png FILE"));
    }
}

TEST(InfoArguments, BadArgumentsAreRefusedWithExitTwo) {
    test::TestProduct product;
    product.WriteSeries(1, 2);
    const std::string file = product.Path(1);
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{}, "no FILE given"},
        {{"--json"}, "no FILE given"},
        {{"--bogus", file}, "unknown option '--bogus'"},
        {{"--series"}, "no FILE given"},
        {{"--series", file, product.Path(2)}, "--series takes exactly one FILE"},
        {{"--preview"}, "--preview needs the name of the PNG file to write"},
        {{"--preview", "out.png", file, file}, "--preview takes exactly one FILE"},
        {{"--preview", "out.png", "--json", file}, "--json does not go with --preview"},
        {{"--series", "--preview", "out.png", file}, "--series and --preview cannot be combined"},
        {{"--series", product.folder / "absent"}, product.folder / "absent" + ": no such file"},
    };
    for (const auto& [arguments, message] : cases) {
        const ProgramResult result = RunInfo(arguments);
        EXPECT_EQ(result.exitCode, 2) << message;
        EXPECT_EQ(result.err, "segweld-info: " + message +
                                  "\nTry 'segweld-info --help' for more information.\n");
        EXPECT_EQ(result.out, "");
    }
}

}  // namespace
}  // namespace segweld
