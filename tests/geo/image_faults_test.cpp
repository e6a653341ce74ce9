// The image modes under what a station meets: a full disk, companions of
// another product, what killed runs left, data whose place is not known. Each
// case is checked on the outputs, the report, the exit status and what stays
// in the folders.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/geo/geo_products.h"
#include "tests/support/background.h"

namespace segweld {
namespace {

namespace fs = std::filesystem;
using namespace geotest;
using ::testing::HasSubstr;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    return lines;
}

// Nothing but the GeoTIFF is ever written: every file opened for writing is
// the hidden output in the output folder (unnamed, or named where the file
// system has no unnamed files), and the bytes written are those of the
// GeoTIFF, never those of a joined product.
TEST(ImageFaults, NothingButTheGeoTiffIsWritten) {
    for (const bool unnamed : {true, false}) {
        SCOPED_TRACE(unnamed ? "unnamed files" : "no unnamed files");
        const test::TempFolder in, out, scratch;
        const test::ProgramResult sample =
            test::RunProgram(SEGWELD_SAMPLE, {"--segments", "2", in.path().string()});
        ASSERT_EQ(sample.exitCode, 0);
        const std::string log = scratch / "writes.log";
        std::vector<std::string> shim = {"SEGWELD_TEST_WRITES_LOG=" + log};
        if (!unnamed) {
            shim.push_back("SEGWELD_TEST_NO_UNNAMED_FILES=1");
        }
        const test::ProgramResult run = test::RunProgram(
            SEGWELD_BIN,
            {"--geotiff", sample.out.substr(0, sample.out.find('\n')), out.path().string()},
            {.environment = test::FaultShim(shim)});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const std::vector<std::string> written = test::ListFolder(out.path());
        ASSERT_EQ(written.size(), 1u);
        const uint64_t tif = fs::file_size(out / written[0]);
        const std::vector<std::string> lines = Lines(test::Text(log));
        ASSERT_GE(lines.size(), 2u);
        for (size_t i = 0; i + 1 < lines.size(); ++i) {
            EXPECT_THAT(lines[i],
                        ::testing::AnyOf("open " + out.path().string() + "/",
                                         ::testing::StartsWith("open " + (out / ".segweld-"))));
        }
        const uint64_t bytes = std::stoull(lines.back().substr(lines.back().find(' ') + 1));
        EXPECT_GE(bytes, tif);
        EXPECT_LE(bytes, tif + 65536)
            << "the segments hold " << fs::file_size(in / test::ListFolder(in.path())[0]) * 2;
        EXPECT_EQ(test::ListFolder(in.path()).size(), 4u);
    }
}

// A product that could not be written for a reason of the system is a
// system failure: the batch exits 75 and reports "system", the watch tries
// it again; both write it once the disk has room again.
TEST(ImageFaults, AFullDiskIsASystemFailureAndIsTriedAgain) {
    const GeoTiffRun run({});
    const std::string in = run.input.path().string(), out = run.output.path().string();
    const test::TempFolder scratch;
    const std::string full = scratch / "full", report = scratch / "report.json";
    test::WriteFile(full, {});
    const std::vector<std::string> shim =
        test::FaultShim({"SEGWELD_TEST_FULL_DISK=" + out, "SEGWELD_TEST_FULL_DISK_WHILE=" + full});
    const test::ProgramResult batch = test::RunProgram(
        SEGWELD_BIN, {"--batch", in, out, "--geotiff", "--report", report}, {.environment = shim});
    EXPECT_EQ(batch.exitCode, 75) << batch.err;
    EXPECT_THAT(batch.err, HasSubstr("No space left on device"));
    EXPECT_THAT(test::Text(report), HasSubstr("\"failure\":\"system\""));
    EXPECT_THAT(test::ListFolder(out), ::testing::IsEmpty());

    test::Background watch({SEGWELD_BIN, "--watch", in, out, "--geotiff", "--timeout", "1"},
                           scratch / "watch.log", shim);
    EXPECT_TRUE(test::WaitUntil([&] { return watch.Log().find("will try") != std::string::npos; }))
        << watch.Log();
    fs::remove(full);
    // Another product written shows that writing works again.
    Product other;
    other.channel = "WV_062___";
    for (int k = 1; k <= 3; ++k) {
        test::WriteFile(run.input / FileName(other, k), SegmentFile(other, k));
    }
    EXPECT_TRUE(test::WaitUntil([&] { return fs::exists(run.GeoTiffPath()); })) << watch.Log();
    EXPECT_EQ(watch.Stop(SIGTERM), 0);
}

// A prologue or epilogue whose own header names another time slot or
// satellite, or a prologue of another spacecraft, is not used: a warning
// names it, and the GeoTIFF is the one its absence gives.
TEST(ImageFaults, CompanionsOfAnotherProductAreNotUsed) {
    Product hrv{.channel = "HRV______", .cfac = kHrvCfac, .coff = 0, .loff = 5566};
    hrv.epilogue =
        test::HrvWindows{.lowerNorthLine = 6, .lowerEastColumn = 11, .upperEastColumn = 3};
    const struct {
        const char* label;
        Product p;
        const char* kind;            // PRO or EPI
        std::string header;          // the companion's own name, in its header
        uint16_t satelliteId = 321;  // of the prologue's Level 1.5 header
    } rows[] = {
        {"epilogue of another slot", hrv, "EPI",
         "H-000-MSG1__-MSG1________-_________-EPI______-200706151145-__"},
        {"prologue of another slot",
         {},
         "PRO",
         "H-000-MSG1__-MSG1________-_________-PRO______-200706151215-__"},
        {"prologue of another satellite",
         {},
         "PRO",
         "H-000-MSG2__-MSG2________-_________-PRO______-200706151200-__"},
        {"prologue of another spacecraft",
         {},
         "PRO",
         "H-000-MSG1__-MSG1________-_________-PRO______-200706151200-__",
         322},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        const GeoTiffRun foreign(row.p), absent(row.p);
        const std::string name = FileName(row.p, 0, row.kind);
        test::WriteFile(
            foreign.input / name,
            Companion(row.header, row.kind[0] == 'P' ? 128 : 129,
                      row.kind[0] == 'P' ? test::PrologueData({.satelliteId = row.satelliteId})
                                         : test::EpilogueData(*row.p.epilogue)));
        fs::remove(absent.input / name);
        const test::ProgramResult used =
            foreign.Segweld({"--geotiff", "--calibration", "radiance"});
        const test::ProgramResult missing =
            absent.Segweld({"--geotiff", "--calibration", "radiance"});
        ASSERT_EQ(used.exitCode, 0) << used.err;
        EXPECT_THAT(used.err, HasSubstr("warning: " + (foreign.input / name) + " is of another"));
        EXPECT_EQ(test::ReadFile(foreign.GeoTiffPath()), test::ReadFile(absent.GeoTiffPath()));
        EXPECT_EQ(Lines(used.err).size(), Lines(missing.err).size());
    }
}

// What killed runs left by Segweld's own naming goes with the next image run
// into that folder: hidden outputs no process holds, untouched for a minute,
// and earlier versions' working folders untouched for an hour. A file that a
// live process holds, a young one, and names that are not Segweld's stay.
TEST(ImageFaults, WhatKilledRunsLeftGoesAndNothingElse) {
    const GeoTiffRun run({});
    const fs::path out = run.output.path();
    const auto age = [](const fs::path& path, std::chrono::minutes minutes) {
        fs::last_write_time(path, fs::file_time_type::clock::now() - minutes);
    };
    // A killed run leaves nothing, unless the file system has no unnamed files.
    std::vector<std::string> killed = {"SEGWELD_TEST_SIGNAL=9",
                                       "SEGWELD_TEST_SIGNAL_WRITES=" + out.string()};
    EXPECT_EQ(run.Segweld({"--geotiff"}, {.environment = test::FaultShim(killed)}).signal, SIGKILL);
    EXPECT_THAT(test::ListFolder(out), ::testing::IsEmpty());
    killed.push_back("SEGWELD_TEST_NO_UNNAMED_FILES=1");
    EXPECT_EQ(run.Segweld({"--geotiff"}, {.environment = test::FaultShim(killed)}).signal, SIGKILL);
    const std::vector<std::string> left = test::ListFolder(out);
    ASSERT_EQ(left.size(), 1u);
    age(out / left[0], std::chrono::minutes(2));
    for (const char* name :
         {".segweld-1-2-3", ".segweld-4-5-6", ".segweld-7-8-9", ".segweld-notes"}) {
        test::WriteFile(out / name, {'x'});
        age(out / name, std::chrono::minutes(name[9] == '7' ? 0 : 2));
    }
    const int held = open((out / ".segweld-4-5-6").c_str(), O_RDWR);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    for (const auto& [folder, minutes] : {std::pair{".segweld-geotiff-0123abcd", 120},
                                          std::pair{".segweld-geotiff-4567cdef", 30}}) {
        fs::create_directory(out / folder);
        test::WriteFile(out / folder / "raster.tif", {'x'});
        age(out / folder / "raster.tif", std::chrono::minutes(minutes));
        age(out / folder, std::chrono::minutes(minutes));
    }
    EXPECT_EQ(run.Segweld({"--geotiff"}).exitCode, 0);
    close(held);
    EXPECT_THAT(
        test::ListFolder(out),
        ::testing::ElementsAre(".segweld-4-5-6", ".segweld-7-8-9", ".segweld-geotiff-4567cdef",
                               ".segweld-notes", fs::path(run.GeoTiffPath()).filename().string()));
}

// First-generation Meteosat data carry a prefix in each line: their image is
// refused with the reason, and the output folder stays as it was.
TEST(ImageFaults, FirstGenerationMeteosatIsRefused) {
    const GeoTiffRun run({.source = "MET7", .disseminator = "MTP___", .earthModel = 0});
    const test::ProgramResult result = run.Segweld({"--geotiff"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_THAT(result.err,
                HasSubstr("no GeoTIFF written: segment 1 is MET7 data of the first Meteosat "
                          "generation (MTP), whose lines begin with a prefix"));
    EXPECT_THAT(result.err, Not(HasSubstr(" of  ")));
    EXPECT_THAT(test::ListFolder(run.output.path()), ::testing::IsEmpty());
}

}  // namespace
}  // namespace segweld
