// The option tables of segweld and segweld-info read by the one parser: forms,
// modes, values and what is refused; and the configuration file of --watch.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/segweld_options.h"
#include "cli/config_file.h"
#include "tests/support/temp_folder.h"
#include "tools/info/info_options.h"

namespace segweld {
namespace {

using std::chrono::milliseconds;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += (text.empty() ? "" : "|") + line;
    }
    return text;
}

TEST(SegweldOptionsTest, CommandLines) {
    struct Row {
        std::vector<std::string> arguments;
        int mode;
        std::string error;     // empty: accepted
        std::string warnings;  // joined with '|'
    };
    const Row rows[] = {
        // Forms and places: anywhere, =value, attached short values, --, --then.
        {{"--batch", "in", "out", "--recursive", "--force", "-j3", "--report=r.json", "--shard",
          "1/2", "--fill-gaps"},
         kBatchMode,
         "",
         ""},
        {{"in", "--jobs", "2", "--batch", "out"}, kBatchMode, "", ""},
        {{"--watch", "in", "out", "--timeout=0.5", "--then", "cp", "{}", "--force", "--", "-x"},
         kWatchMode,
         "",
         ""},
        {{"--", "--batch", "-j2"}, kSingleJoin, "", ""},
        {{"-", "out", "--fill-gaps"}, kSingleJoin, "", ""},
        // After the two paths of a single join: options taken, the rest warned of.
        {{"seg", "out", "extra", "--quiet", "-j2", "--fill"},
         kSingleJoin,
         "",
         "unknown option '--fill' (did you mean --fill-gaps?); ignored|--quiet belongs to "
         "--batch and --watch; ignored|-j belongs to --batch and --watch; ignored|extra "
         "argument 'extra'; ignored"},
        {{"seg", "out", "--geotiff"}, kGeoTiffJoin, "", ""},
        // Refused.
        {{"--frobnicate", "seg", "out"}, kSingleJoin, "unknown option '--frobnicate'", ""},
        {{"seg", "-q", "out"}, kSingleJoin, "-q belongs to --batch and --watch", ""},
        {{"-j2", "seg", "out"}, kSingleJoin, "-j belongs to --batch and --watch", ""},
        {{"--fill-gaps=yes", "seg", "out"}, kSingleJoin, "--fill-gaps takes no value", ""},
        {{"-hx"}, kSingleJoin, "unknown option '-x' in '-hx'", ""},
        {{"--then=cp", "seg", "out"}, kSingleJoin, "--then takes the rest of the line", ""},
        {{"--geotiff"}, kGeoTiffJoin, "--geotiff needs a segment file and an output folder", ""},
        {{"--geotiff", "a", "b", "c"}, kGeoTiffJoin, "extra argument 'c'", ""},
        {{"--batch", "in"}, kBatchMode, "give exactly two folders", ""},
        {{"--batch", "in", "out", "extra"}, kBatchMode, "extra argument 'extra'", ""},
        {{"--batch", "in", "out", "-j", "0"},
         kBatchMode,
         "-j takes a number of workers from 1 to 1024",
         ""},
        {{"--batch", "in", "out", "--jobs=1025"}, kBatchMode, "--jobs takes a number", ""},
        {{"--batch", "in", "out", "-j"}, kBatchMode, "-j needs a number", ""},
        {{"--batch", "in", "out", "--report="}, kBatchMode, "--report needs a file name", ""},
        {{"--batch", "in", "out", "--shard", "2/2"},
         kBatchMode,
         "--shard takes K/N with 0 <= K < N",
         ""},
        {{"--batch", "in", "out", "--timeout", "5"},
         kBatchMode,
         "--timeout belongs to --watch",
         ""},
        {{"--watch", "in", "out", "--recursive"}, kWatchMode, "--recursive belongs to --batch", ""},
        {{"--watch", "in", "out", "--timeout", "-1"}, kWatchMode, "--timeout takes", ""},
        {{"--watch", "in", "out", "--then"}, kWatchMode, "--then needs a command", ""},
        {{"--watch", "--batch", "in", "out"},
         kBatchMode,
         "--watch and --batch cannot be combined",
         ""},
        // --geotiff is a mode of its own, and a flag of --batch and --watch.
        {{"--geotiff", "--batch", "in", "out", "--calibration=bt"}, kBatchMode, "", ""},
        {{"--batch", "in", "out", "--calibration", "bt"},
         kBatchMode,
         "--calibration belongs to --geotiff and --netcdf",
         ""},
        {{"--geotiff", "--calibration", "kelvin", "seg", "out"},
         kGeoTiffJoin,
         "--calibration takes counts, radiance",
         ""},
        {{"in", "out", "--batch", "--frobnicate"}, kBatchMode, "unknown option '--frobnicate'", ""},
        // Slots: the options beside --slots, --then-slot one word beside --then.
        {{"--watch", "in", "out", "--slots", "--slot-channels=IR_108,HRV", "--slot-timeout", "600",
          "--slot-folders", "--then-slot", "cp \"a b\" {}", "--report", "r.jsonl", "--then", "echo",
          "{}"},
         kWatchMode,
         "",
         ""},
        {{"--batch", "in", "out", "--slot-folders"},
         kBatchMode,
         "--slot-folders needs --slots",
         ""},
        {{"--batch", "in", "out", "--slots", "--slot-channels", "IR_108,IR_108"},
         kBatchMode,
         "--slot-channels takes channel names",
         ""},
        {{"--batch", "in", "out", "--slots", "--then-slot", "x"},
         kBatchMode,
         "--then-slot belongs to --watch",
         ""},
        {{"--watch", "in", "out", "--slots", "--then-slot", "cp \"x"},
         kWatchMode,
         "--then-slot takes a command in one argument",
         ""},
        // Help answers whatever else the line holds, bar a word it cannot read.
        {{"--batch", "-h", "--timeout", "x"}, kBatchMode, "", ""},
        {{"-h", "--bogus"}, kSingleJoin, "unknown option '--bogus'", ""},
        // -v: the result line of a single join.
        {{"seg", "-v", "out"}, kSingleJoin, "", ""},
        {{"--geotiff", "seg", "out", "--verbose"}, kGeoTiffJoin, "", ""},
        // --netcdf as --geotiff, but not beside it.
        {{"--watch", "in", "out", "--netcdf", "--calibration=radiance"}, kWatchMode, "", ""},
        {{"seg", "out", "--netcdf", "--calibration=counts"}, kNetCdfJoin, "", ""},
        {{"--netcdf"}, kNetCdfJoin, "--netcdf needs a segment file and an output folder", ""},
        {{"--netcdf", "--batch", "in", "out", "--geotiff"},
         kBatchMode,
         "--geotiff and --netcdf cannot be given together",
         ""},
        {{"--netcdf", "--geotiff", "seg", "out"}, kNetCdfJoin, "--geotiff belongs to", ""},
        {{"seg", "out", "--geotiff", "--calibration-mode=gsics"}, kGeoTiffJoin, "", ""},
        {{"--batch", "in", "out", "--calibration-mode", "gsics"},
         kBatchMode,
         "--calibration-mode belongs to --geotiff and --netcdf",
         ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.arguments));
        const SegweldCommand command = ParseSegweldCommand(row.arguments);
        EXPECT_EQ(command.mode, row.mode);
        EXPECT_EQ(command.error.empty(), row.error.empty()) << command.error;
        EXPECT_THAT(command.error, HasSubstr(row.error));
        EXPECT_EQ(Joined(command.warnings), row.warnings);
    }

    const SegweldCommand batch = ParseSegweldCommand(rows[0].arguments);
    const station::StationOptions& b = batch.options;
    EXPECT_EQ(std::tie(b.inputFolder, b.outputFolder, b.workers, b.reportPath, b.shard.index,
                       b.shard.count, b.recursive, b.force, b.fillGaps),
              std::make_tuple("in", "out", 3u, "r.json", 1u, 2u, true, true, true));
    const SegweldCommand watch = ParseSegweldCommand(rows[2].arguments);
    EXPECT_EQ(watch.options.mode, station::StationMode::Watch);
    EXPECT_EQ(watch.options.timeout, milliseconds(500));
    EXPECT_THAT(watch.options.thenCommand, ElementsAre("cp", "{}", "--force", "--", "-x"));
    EXPECT_THAT(ParseSegweldCommand(rows[3].arguments).paths, ElementsAre("--batch", "-j2"));
    const station::StationOptions slots = ParseSegweldCommand(rows[31].arguments).options;
    EXPECT_THAT(slots.slotChannels, ElementsAre("IR_108", "HRV"));
    EXPECT_EQ(std::tie(slots.slots, slots.slotFolders, slots.slotTimeout, slots.reportPath),
              std::make_tuple(true, true, milliseconds(600000), "r.jsonl"));
    EXPECT_THAT(slots.thenSlotCommand, ElementsAre("cp", "a b", "{}"));
    EXPECT_THAT(slots.thenCommand, ElementsAre("echo", "{}"));
    EXPECT_TRUE(ParseSegweldCommand(rows[4].arguments).options.fillGaps);
    const station::StationOptions netCdf = ParseSegweldCommand(rows[40].arguments).options;
    EXPECT_TRUE(netCdf.netCdf && !netCdf.geoTiff);
    EXPECT_EQ(netCdf.calibration, geo::Quantity::Radiance);
    EXPECT_EQ(ParseSegweldCommand(rows[45].arguments).options.calibrationMode,
              geo::CalibrationMode::Gsics);
}

// The watch as a Windows service: rows of Windows's table alone. The service
// keeps the installing command's arguments, --install-service among them,
// and runs them as the watch they name.
TEST(SegweldOptionsTest, ServiceRows) {
    const struct {
        std::vector<std::string> arguments;
        int mode;
        std::string serviceName;
        std::string error;  // empty: accepted
    } rows[] = {
#ifdef _WIN32
        {{"--install-service", "Station", "--watch", "in", "out", "-j2"},
         kWatchMode,
         "Station",
         ""},
        {{"--watch", "in", "out", "--install-service=S", "--then", "x", "{}"}, kWatchMode, "S", ""},
        {{"--install-service", "S", "--batch", "in", "out"},
         kBatchMode,
         "S",
         "--install-service belongs to --watch"},
        {{"--install-service", "S", "seg", "out"},
         kSingleJoin,
         "S",
         "--install-service belongs to --watch"},
        {{"--uninstall-service", "S"}, kUninstallService, "S", ""},
        {{"--uninstall-service", "S", "extra"}, kUninstallService, "S", "extra argument 'extra'"},
        {{"--uninstall-service", "S", "--watch", "in", "out"},
         kWatchMode,
         "",
         "cannot be combined"},
        {{"--uninstall-service"}, kSingleJoin, "", "--uninstall-service needs a service name"},
        {{"--service", "S", "C:\\here", "--install-service", "S", "--watch", "in", "out"},
         kServiceRun,
         "",
         ""},
        {{"--service", "S"}, kServiceRun, "", "--service takes a service name"},
#else
        // Other systems run the watch under their own service manager.
        {{"--install-service", "S", "--watch", "in", "out"},
         kWatchMode,
         "",
         "unknown option '--install-service'"},
        {{"--uninstall-service", "S"}, kSingleJoin, "", "unknown option '--uninstall-service'"},
#endif
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.arguments));
        const SegweldCommand command = ParseSegweldCommand(row.arguments);
        EXPECT_EQ(command.mode, row.mode);
        EXPECT_EQ(command.error.empty(), row.error.empty()) << command.error;
        EXPECT_THAT(command.error, HasSubstr(row.error));
        if (row.error.empty()) {
            EXPECT_EQ(command.serviceName, row.serviceName);
        }
    }
#ifdef _WIN32
    const SegweldCommand run = ParseSegweldCommand(rows[8].arguments);
    EXPECT_THAT(run.serviceRun,
                ElementsAre("S", "C:\\here", "--install-service", "S", "--watch", "in", "out"));
    const SegweldCommand installed = ParseSegweldCommand(
        std::vector<std::string>(run.serviceRun.begin() + 2, run.serviceRun.end()));
    EXPECT_EQ(std::tie(installed.mode, installed.options.inputFolder, installed.error),
              std::make_tuple(int{kWatchMode}, std::string("in"), std::string()));
#endif
}

TEST(InfoOptionsTest, ModesAndHelp) {
    using info::InfoMode;
    const std::tuple<std::vector<std::string>, InfoMode, int, std::string> rows[] = {
        // the arguments, the mode, the table's mode, the error
        {{"a", "--json", "b"}, InfoMode::Headers, 0, ""},
        {{"f", "--series"}, InfoMode::Series, 1, ""},
        {{"--preview=o.png", "f"}, InfoMode::Preview, 2, ""},
        {{"--series", "--json", "-h"}, InfoMode::Help, 1, ""},
        {{"--version", "--json"}, InfoMode::Version, 0, ""},
        {{"-h", "--recursive"}, InfoMode::Headers, 0, "unknown option '--recursive'"},
    };
    for (const auto& [arguments, mode, tableMode, error] : rows) {
        SCOPED_TRACE(::testing::PrintToString(arguments));
        const info::InfoOptions options = info::ParseInfoOptions(arguments);
        EXPECT_EQ(std::tie(options.mode, options.tableMode, options.error),
                  std::tie(mode, tableMode, error));
    }
    EXPECT_EQ(info::ParseInfoOptions({"--preview=o.png", "f"}).previewPath, "o.png");
}

cli::ConfigEntries ParseWatchConfig(const std::string& text) {
    return cli::ParseConfigText(SegweldProgram(), kWatchMode, "w.conf", text, WatchFolderKeys());
}

TEST(ConfigFileTest, LinesAndTheirFaults) {
    const cli::ConfigEntries good = ParseWatchConfig(
        "\xEF\xBB\xBF# a station\r\ninput = /in\noutput=/out\n\n  jobs = 2  \nfill-gaps\n"
        "then = cp \"a b\" {}\n");
    ASSERT_EQ(good.error, "");
    EXPECT_EQ(good.paths.at("input"), "/in");
    EXPECT_EQ(good.paths.at("output"), "/out");
    ASSERT_EQ(good.given.size(), 3u);
    EXPECT_EQ(good.given[0].where, "w.conf:5");
    EXPECT_THAT(good.given[2].words, ElementsAre("cp", "a b", "{}"));

    const std::pair<const char*, const char*> bad[] = {
        {"jobs\n", "w.conf:1: jobs needs a number of workers from 1 to 1024"},
        {"\nfill-gaps = yes\n", "w.conf:2: fill-gaps takes no value"},
        {"recursive", "w.conf:1: recursive belongs to --batch"},
        {"verbose = 1", "w.conf:1: verbose takes no value"},
        {"frobnicate = 1", "w.conf:1: unknown key 'frobnicate'"},
        {"config = other.conf", "w.conf:1: unknown key 'config'"},
        {"--jobs = 2", "w.conf:1: unknown key '--jobs'"},
        {"jobs = 2\n#\njobs = 3", "w.conf:3: jobs is given twice (first on line 1)"},
        {"input =", "w.conf:1: input needs a folder"},
        {"then = \"cp", "w.conf:1: then holds a double quote that is not closed"},
    };
    for (const auto& [text, error] : bad) {
        EXPECT_EQ(ParseWatchConfig(text).error, error) << text;
    }
}

// The file gives folders and options, the command line wins, and reading the
// file again sees what changed in it.
TEST(ConfigFileTest, CommandLineWinsAndTheFileIsReadAgain) {
    test::TempFolder folder;
    const std::string path = (folder.path() / "watch.conf").string();
    const auto write = [&](const std::string& text) { std::ofstream(path) << text; };
    write("input = /in\noutput = /out\njobs = 2\ntimeout = 5\nslots\nthen-slot = cp \"a b\" {}\n");

    SegweldCommand command = ParseSegweldCommand({"--watch", "--config", path, "-j3"});
    ASSERT_EQ(command.error, "");
    station::StationOptions options = command.options;
    EXPECT_THAT(options.thenSlotCommand, ElementsAre("cp", "a b", "{}"));
    EXPECT_THAT(ParseSegweldCommand({"--watch", "--config", path, "--then-slot", "x {}"})
                    .options.thenSlotCommand,
                ElementsAre("x", "{}"));
    EXPECT_EQ(std::tie(options.inputFolder, options.outputFolder, options.workers, options.timeout),
              std::make_tuple("/in", "/out", 3u, milliseconds(5000)));
    command = ParseSegweldCommand({"--watch", "here", "there", "--config=" + path});
    EXPECT_EQ(std::tie(command.options.inputFolder, command.options.outputFolder),
              std::make_tuple("here", "there"));

    write("input = /in2\noutput = /out\ntimeout = 7\nfill-gaps\n");
    std::string error;
    const station::StationOptions again = options.rereadConfig(error);
    ASSERT_EQ(error, "");
    EXPECT_EQ(std::tie(again.inputFolder, again.workers, again.timeout, again.fillGaps),
              std::make_tuple("/in2", 3u, milliseconds(7000), true));

    write("input = /in\noutput = /out\njobs = lots\n");
    again.rereadConfig(error);
    EXPECT_EQ(error, path + ":3: jobs takes a number of workers from 1 to 1024");
    EXPECT_THAT(ParseSegweldCommand({"--watch", "--config", path}).error,
                HasSubstr(path + ":3: jobs takes"));
    std::filesystem::remove(path);
    EXPECT_THAT(ParseSegweldCommand({"--watch", "--config", path}).error, HasSubstr(path + ": "));
    EXPECT_EQ(ParseSegweldCommand({"--watch", "--config", path, "in"}).error,
              "give both folders or neither: IN_FOLDER OUTPUT_FOLDER");
}

}  // namespace
}  // namespace segweld
