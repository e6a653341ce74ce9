// The ways segment files reach a station's input folder (written, moved in
// with an old time, copied keeping their time, linked, renamed from a
// temporary name), each given to `segweld --batch` and to `segweld --watch`:
// the output must end up holding the whole product, once.
#include <functional>

#include "tests/station/station_fixture.h"

namespace segweld::station {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

struct Delivery;

// The folders a delivery works with.
struct Place {
    std::string in, stage;
};

using Step = std::function<void(const TestProduct&, const Place&, const std::vector<int>&)>;

const auto kOld = std::chrono::hours(24 * 30);

void Write(const TestProduct& p, const Place& at, const std::vector<int>& numbers) {
    p.Write(at.in, numbers);
}

// Written elsewhere long ago, then `mv`.
void MoveOld(const TestProduct& p, const Place& at, const std::vector<int>& numbers) {
    p.Write(at.stage, numbers);
    for (int n : numbers) {
        fs::last_write_time(at.stage + "/" + p.Name(n), fs::file_time_type::clock::now() - kOld);
        fs::rename(at.stage + "/" + p.Name(n), at.in + "/" + p.Name(n));
    }
}

// `cp -p`: written, closed, and its time set back afterwards.
void CopyKeepingTime(const TestProduct& p, const Place& at, const std::vector<int>& numbers) {
    p.Write(at.in, numbers);
    for (int n : numbers)
        fs::last_write_time(at.in + "/" + p.Name(n), fs::file_time_type::clock::now() - kOld);
}

void HardLink(const TestProduct& p, const Place& at, const std::vector<int>& numbers) {
    p.Write(at.stage, numbers);
    for (int n : numbers)
        fs::create_hard_link(at.stage + "/" + p.Name(n), at.in + "/" + p.Name(n));
}

void SymLink(const TestProduct& p, const Place& at, const std::vector<int>& numbers) {
    p.Write(at.stage, numbers);
    for (int n : numbers)
        fs::create_symlink(at.stage + "/" + p.Name(n), at.in + "/" + p.Name(n));
}

// Writers that use a temporary name in the folder itself, then rename.
Step RenamedFrom(std::function<std::string(const std::string&)> temporary) {
    return [temporary](const TestProduct& p, const Place& at, const std::vector<int>& numbers) {
        for (int n : numbers) {
            const std::string name = at.in + "/" + temporary(p.Name(n));
            WriteFile(name, p.File(n));
            fs::rename(name, at.in + "/" + p.Name(n));
        }
    };
}

struct Delivery {
    const char* name;
    TestProduct product;
    Step first;
    std::vector<int> firstNumbers;
    Step then;  // after the first output; may be empty
    std::vector<int> thenNumbers;
    std::vector<int> firstJoined, finalJoined;  // data fields of the output, 0: zeros
    std::vector<std::string> options = {};
    int outputNumber = 1;  // the segment the output is named after
    const char* logged = "";
};

void PrintTo(const Delivery& delivery, std::ostream* out) {
    *out << delivery.name;
}

std::vector<Delivery> Deliveries() {
    const std::vector<int> k1To7{1, 2, 3, 4, 5, 6, 7};
    return {
        {"late segment moved in with an old time",
         {"IR_108___"},
         Write,
         k1To7,
         MoveOld,
         {8},
         k1To7,
         kAll},
        {"late segment copied keeping its time",
         {"IR_108___"},
         Write,
         k1To7,
         CopyKeepingTime,
         {8},
         k1To7,
         kAll},
        {"hard links", {"IR_108___"}, HardLink, kAll, {}, {}, kAll, kAll},
        {"symbolic links to files elsewhere", {"IR_108___"}, SymLink, kAll, {}, {}, kAll, kAll},
        {"renamed from NAME.tmp",
         {"IR_108___"},
         RenamedFrom([](auto n) { return n + ".tmp"; }),
         kAll,
         {},
         {},
         kAll,
         kAll},
        {"renamed from a hidden temporary",
         {"IR_108___"},
         RenamedFrom([](auto n) { return "." + n + ".Xa8Zq2"; }),
         kAll,
         {},
         {},
         kAll,
         kAll},
        {"Rapid Scan: planned 6 to 8",
         {"IR_108___", 8, false, 6},
         Write,
         {6, 7, 8},
         {},
         {},
         {6, 7, 8},
         {6, 7, 8},
         {},
         6},
        {"filled before segment 1 came",
         {"IR_108___"},
         Write,
         {2, 3, 4, 5, 6, 7, 8},
         Write,
         {1},
         {0, 2, 3, 4, 5, 6, 7, 8},
         kAll,
         {"--fill-gaps"}},
        {"a damaged planned end",
         {"IR_108___", 60000},
         Write,
         {1, 2, 3},
         {},
         {},
         {1, 2, 3},
         {1, 2, 3},
         {"--fill-gaps"},
         1,
         "its planned end segment is damaged"},
    };
}

class DeliveryTest : public StationTest, public ::testing::WithParamInterface<Delivery> {
  protected:
    DeliveryTest() { fs::create_directory(place.stage); }

    void ExpectOnlyOutput(const std::vector<int>& joined) {
        const Delivery& d = GetParam();
        EXPECT_EQ(Output(d.product, d.outputNumber), d.product.Joined(joined));
        EXPECT_THAT(OutputFiles(), ::testing::ElementsAre(d.product.OutputName(d.outputNumber)))
            << "one output per product";
    }
    void ExpectLog(const std::string& log) {
        EXPECT_THAT(log, HasSubstr(GetParam().logged));
        EXPECT_THAT(log, Not(HasSubstr("segweld: failed")))
            << "names that are no segments never fail";
    }

    const Place place{in, scratch / "stage"};
};

TEST_P(DeliveryTest, Batch) {
    const Delivery& d = GetParam();
    d.first(d.product, place, d.firstNumbers);
    ProgramResult run = Batch(d.options);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    ExpectOnlyOutput(d.firstJoined);
    if (d.then) {
        d.then(d.product, place, d.thenNumbers);
        run = Batch(d.options);
        EXPECT_THAT(run.err, HasSubstr("1 joined, 0 up to date")) << "a late segment, any time";
        ExpectOnlyOutput(d.finalJoined);
    }
    ExpectLog(run.err);
    EXPECT_THAT(Batch(d.options).err, HasSubstr("0 joined, 1 up to date"));
}

TEST_P(DeliveryTest, Watch) {
    const Delivery& d = GetParam();
    std::vector<std::string> options{"--timeout", "1"};
    options.insert(options.end(), d.options.begin(), d.options.end());
    const auto watch = Start(options);
    const std::string output = OutPath(d.product, d.outputNumber);
    const auto holds = [&](const std::vector<int>& joined) {
        return WaitUntil(
            [&] { return fs::exists(output) && ReadFile(output) == d.product.Joined(joined); });
    };
    d.first(d.product, place, d.firstNumbers);
    ASSERT_TRUE(holds(d.firstJoined)) << watch->Log();
    if (d.then) {
        d.then(d.product, place, d.thenNumbers);
        ASSERT_TRUE(holds(d.finalJoined)) << watch->Log();
        EXPECT_THAT(watch->Log(), HasSubstr("will be joined again"));
    }
    EXPECT_EQ(watch->Stop(SIGTERM), 0);
    ExpectOnlyOutput(d.finalJoined);
    ExpectLog(watch->Log());
}

INSTANTIATE_TEST_SUITE_P(Station, DeliveryTest, ::testing::ValuesIn(Deliveries()),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             std::ranges::replace_if(
                                 name, [](char c) { return !std::isalnum(c); }, '_');
                             return name;
                         });

}  // namespace
}  // namespace segweld::station
