#include "station/station_options.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace segweld::station {
namespace {

constexpr unsigned kMaxWorkers = 1024;

bool ParseWorkers(const std::string& text, unsigned& workers) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value == 0 ||
        value > kMaxWorkers) {
        return false;
    }
    workers = value;
    return true;
}

bool ParseSeconds(const std::string& text, std::chrono::milliseconds& timeout) {
    double seconds = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        !std::isfinite(seconds) || seconds < 0 || seconds > 1e9) {
        return false;
    }
    timeout = std::chrono::milliseconds(static_cast<long long>(std::llround(seconds * 1000)));
    return true;
}

// Walks the arguments; every Take* returns false with `error` set on a fault.
class Parser {
  public:
    Parser(const std::vector<std::string>& arguments, std::string& error)
        : arguments_(arguments), error_(error) {}

    StationOptions Run() {
        for (next_ = 0; next_ < arguments_.size() && error_.empty();) {
            TakeOne(arguments_[next_++]);
        }
        if (error_.empty()) {
            CheckComplete();
        }
        return options_;
    }

  private:
    void TakeOne(const std::string& argument) {
        if (argument == "--batch" || argument == "--watch") {
            TakeMode(argument == "--batch" ? StationMode::Batch : StationMode::Watch);
        } else if (argument == "--fill-gaps") {
            options_.fillGaps = true;
        } else if (argument == "--geotiff") {
            options_.geoTiff = true;
        } else if (argument == "--calibration") {
            options_.calibration = geo::ParseQuantity(Value(argument));
            if (!options_.calibration && error_.empty()) {
                error_ =
                    "--calibration takes counts, radiance, reflectance, brightness-temperature or "
                    "bt";
            }
        } else if (argument == "-q" || argument == "--quiet") {
            options_.verbosity = Verbosity::Quiet;
        } else if (argument == "-v" || argument == "--verbose") {
            options_.verbosity = Verbosity::Verbose;
        } else if (argument == "--recursive") {
            options_.recursive = true;
            batchOnly_ = batchOnly_.empty() ? argument : batchOnly_;
        } else if (argument == "--force") {
            options_.force = true;
            batchOnly_ = batchOnly_.empty() ? argument : batchOnly_;
        } else if (argument == "-j" || argument == "--jobs") {
            if (!ParseWorkers(Value(argument), options_.workers) && error_.empty()) {
                error_ = argument + " takes a number of workers from 1 to 1024";
            }
        } else if (argument == "--report") {
            options_.reportPath = Value(argument);
            if (options_.reportPath->empty() && error_.empty()) {
                error_ = "--report takes a file name, or - for standard output";
            }
            batchOnly_ = batchOnly_.empty() ? argument : batchOnly_;
        } else if (argument == "--from-list") {
            options_.fromList = Value(argument);
            if (options_.fromList.empty() && error_.empty()) {
                error_ = "--from-list takes a file name, or - for standard input";
            }
            batchOnly_ = batchOnly_.empty() ? argument : batchOnly_;
        } else if (argument == "--shard") {
            TakeShard(Value(argument));
            batchOnly_ = batchOnly_.empty() ? argument : batchOnly_;
        } else if (argument == "--timeout") {
            if (!ParseSeconds(Value(argument), options_.timeout) && error_.empty()) {
                error_ = "--timeout takes a number of seconds";
            }
            watchOnly_ = watchOnly_.empty() ? argument : watchOnly_;
        } else if (argument == "--then-timeout") {
            if (!ParseSeconds(Value(argument), options_.thenTimeout) && error_.empty()) {
                error_ = "--then-timeout takes a number of seconds";
            }
            watchOnly_ = watchOnly_.empty() ? argument : watchOnly_;
        } else if (argument == "--then") {
            options_.thenCommand.assign(arguments_.begin() + static_cast<std::ptrdiff_t>(next_),
                                        arguments_.end());
            next_ = arguments_.size();
            watchOnly_ = "--then";
            if (options_.thenCommand.empty()) {
                error_ = "--then needs a command";
            }
        } else if (argument.size() > 1 && argument[0] == '-') {
            error_ = "unknown option " + argument;
        } else {
            folders_.push_back(argument);
        }
    }

    void TakeMode(StationMode mode) {
        if (modeGiven_) {
            error_ = "--batch and --watch are given more than once";
        }
        modeGiven_ = true;
        options_.mode = mode;
    }

    void TakeShard(const std::string& text) {
        const auto shard = ParseShard(text);
        if (!shard && error_.empty()) {
            error_ = "--shard takes K/N with 0 <= K < N, for example 0/4";
        }
        options_.shard = shard.value_or(Shard{});
    }

    std::string Value(const std::string& option) {
        if (next_ >= arguments_.size()) {
            error_ = option + " needs a value";
            return "";
        }
        return arguments_[next_++];
    }

    void CheckComplete() {
        if (folders_.size() != 2) {
            error_ = "give exactly two folders: IN_FOLDER OUTPUT_FOLDER";
        } else if (options_.mode == StationMode::Batch && !watchOnly_.empty()) {
            error_ = watchOnly_ + " belongs to --watch";
        } else if (options_.calibration && !options_.geoTiff) {
            error_ = "--calibration belongs to --geotiff";
        } else if (options_.mode == StationMode::Watch && !batchOnly_.empty()) {
            error_ = batchOnly_ + " belongs to --batch";
        } else {
            options_.inputFolder = folders_[0];
            options_.outputFolder = folders_[1];
        }
    }

    const std::vector<std::string>& arguments_;
    std::string& error_;
    size_t next_ = 0;
    StationOptions options_;
    std::vector<std::string> folders_;
    std::string batchOnly_;
    std::string watchOnly_;
    bool modeGiven_ = false;
};

}  // namespace

bool IsStationCommand(const std::vector<std::string>& arguments) {
    // Everything after --then belongs to the command it names.
    const auto end = std::find(arguments.begin(), arguments.end(), "--then");
    return std::find(arguments.begin(), end, "--batch") != end ||
           std::find(arguments.begin(), end, "--watch") != end;
}

StationOptions ParseStationOptions(const std::vector<std::string>& arguments, std::string& error) {
    error.clear();
    return Parser(arguments, error).Run();
}

void PrintStationUsage(std::FILE* out) {
    std::fputs(
        "Usage: segweld --batch IN_FOLDER OUTPUT_FOLDER [--recursive] [--force] [-j N]\n"
        "                       [--report FILE.json] [--shard K/N] [--fill-gaps]\n"
        "       segweld --watch IN_FOLDER OUTPUT_FOLDER [--timeout SECONDS] [-j N]\n"
        "                       [--fill-gaps] [--then COMMAND ARG...]\n"
        "\n"
        "--batch joins every product in IN_FOLDER whose output is missing or older\n"
        "than its segments; --watch does the same, then joins each product as soon as\n"
        "it is complete, or SECONDS (default 900) after its last segment arrived.\n"
        "--then runs COMMAND after each product, \"{}\" standing for the output; it\n"
        "takes the rest of the command line.\n",
        out);
}

}  // namespace segweld::station
