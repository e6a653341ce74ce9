#include "app/image_mode.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/program_module.h"
#include "app/segweld_app.h"
#include "join/dissemination_name.h"
#include "join/segment_name.h"
#include "os/file_system.h"
#include "os/process.h"
#include "os/terminal.h"
#include "station/product_log.h"
#include "station/progress_display.h"
#include "station/slot_images.h"
#include "station/slot_key.h"

namespace segweld {
namespace {

constexpr int kExitWritten = 0;
constexpr int kExitNothingWritten = 1;
constexpr int kExitBadArguments = 2;
// A run shorter than this shows no progress.
constexpr auto kQuietFor = std::chrono::seconds(1);

int NoImages(OutputKind format, const std::string& why) {
    std::fprintf(stderr, "segweld: this build cannot write %s: %s\n", geo::ImageFormatName(format),
                 why.c_str());
    return kExitBadArguments;
}

// The command line's checks and messages ("Caption: Text").
bool PathsExist(const std::vector<std::string>& paths) {
    std::string message;
    if (paths.size() < 2 || paths[1].empty()) {
        message =
            "No output folder specified: Please specify a folder where to write the "
            "resulting joined file.";
    } else if (!os::PathExists(paths[0])) {
        message = "Check input file: The input file does not exist.\n" + paths[0];
    } else if (!os::PathExists(paths[1])) {
        message = "Check output folder: The output folder does not exist.";
    }
    if (!message.empty()) {
        std::fprintf(stderr, "%s\n", message.c_str());
        return false;
    }
    // That the output folder is a folder, as the plain join's last check.
    return !RefuseOutputFolderThatIsNoFolder(paths[1]);
}

// The line the station modes print for a product, made of the run's report.
station::ProductResult ResultOf(const std::string& segmentPath, const geo::ImageReport& report) {
    station::ProductResult result;
    result.key = MaskedName(SplitSegmentPath(segmentPath).name);
    result.outputPath = report.outputPath;
    result.segmentsJoined = report.walk.segmentsJoined();
    result.bytesWritten = report.bytesWritten;
    result.missing = report.segmentsMissing;
    result.notJoined = report.segmentsNotJoined;
    result.damaged = report.segmentsDamaged;
    result.filled = report.segmentsFilled;
    const bool whole = result.missing.empty() && result.notJoined.empty() &&
                       result.damaged.empty() && result.filled.empty();
    result.status = whole ? station::ProductStatus::Joined : station::ProductStatus::Incomplete;
    return result;
}

// The module's symbol `entry`; the module stays loaded until the process
// ends. Nullptr with `error` set when there is none.
void* ImageModuleSymbol(OutputKind format, const char* entry, std::string& error) {
#ifndef SEGWELD_HAS_GEOTIFF
    (void)format;
    (void)entry;
    error = "it was built without GDAL";
    return nullptr;
#else
#ifdef SEGWELD_HAS_NETCDF
    (void)format;
#else
    if (format == OutputKind::NetCdf) {
        error = "it was built without the NetCDF library";
        return nullptr;
    }
#endif
    const std::string modulePath = FindProgramModule(geo::kImageModuleName);
    if (modulePath.empty()) {
#ifdef SEGWELD_GEOTIFF_PACKAGE
        error = "the GeoTIFF writer is not installed (package " SEGWELD_GEOTIFF_PACKAGE ")";
#else
        error = std::string("the module ") + geo::kImageModuleName + " is not installed";
#endif
        return nullptr;
    }
    static std::unique_ptr<os::LoadedModule> module = os::LoadedModule::Load(modulePath, error);
    if (module == nullptr) {
        return nullptr;
    }
    void* symbol = module->Symbol(entry);
    if (symbol == nullptr) {
        error = std::string("no entry ") + entry + " in " + modulePath;
    }
    return symbol;
#endif
}

// Progress on a terminal for a run longer than a second; stops the run at
// an interrupt.
class TerminalProgress {
  public:
    TerminalProgress() : onTerminal_(os::IsRedrawableTerminal(stderr)) {}

    bool operator()(const geo::ImageProgress& progress) {
        if (onTerminal_ && !display_ && std::chrono::steady_clock::now() - start_ >= kQuietFor) {
            display_ = std::make_unique<station::ProgressDisplay>(stderr, true, 1,
                                                                  progress.inputBytes, start_);
        }
        const auto done = static_cast<uint64_t>(progress.done * progress.inputBytes);
        if (display_ && done > shown_) {
            display_->AddBytes(done - shown_);
            shown_ = done;
        }
        return os::NotedInterrupt() == 0;
    }
    void Finish() {
        if (display_) {
            display_->Finish();
        }
    }

  private:
    const bool onTerminal_;
    const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::unique_ptr<station::ProgressDisplay> display_;
    uint64_t shown_ = 0;
};

void PrintWarnings(const std::vector<std::string>& warnings) {
    for (const std::string& warning : warnings) {
        std::fprintf(stderr, "segweld: warning: %s\n", warning.c_str());
    }
}

std::string Listed(const std::vector<std::string>& items, const char* separator) {
    std::string text;
    for (const std::string& item : items) {
        text += (text.empty() ? "" : separator) + item;
    }
    return text;
}

}  // namespace

geo::ImageEntries LoadImageWriter(OutputKind format, std::string& error) {
    geo::ImageEntries entries;
    entries.product = reinterpret_cast<geo::WriteProductImageEntry>(
        ImageModuleSymbol(format, geo::kWriteProductImageEntryName, error));
    if (entries.product != nullptr) {
        entries.slot = reinterpret_cast<geo::WriteSlotImageEntry>(
            ImageModuleSymbol(format, geo::kWriteSlotImageEntryName, error));
    }
    return entries;
}

int RunImageMode(OutputKind format, bool fillGaps, std::optional<geo::Quantity> calibration,
                 geo::CalibrationMode mode, const std::vector<std::string>& paths) {
    std::string error;
    const geo::WriteProductImageEntry write = LoadImageWriter(format, error).product;
    if (write == nullptr) {
        return NoImages(format, error);
    }
    if (!PathsExist(paths)) {
        return kExitBadArguments;
    }
    if (const std::string why = RefuseNoSegmentFile(paths[0]); !why.empty()) {
        std::fprintf(stderr, "segweld: %s\n", why.c_str());
        return kExitNothingWritten;
    }
    // The run stops at its next step, leaving nothing, and only then does
    // the signal end the process.
    os::NoteInterrupts();
    TerminalProgress progress;
    geo::ImageRequest request{paths[0], paths[1], format, fillGaps, calibration, mode, {}};
    request.progress = std::ref(progress);
    geo::ImageReport report;
    write(request, report);
    progress.Finish();
    os::EndByNotedInterrupt();
    std::fflush(stdout);  // any "Unexpected hdrtype" lines come before the summary
    PrintWarnings(report.walk.warnings);
    PrintWarnings(report.warnings);
    if (!report.written()) {
        std::fprintf(stderr, "segweld: %s\n", report.error.c_str());
        return kExitNothingWritten;
    }
    std::fprintf(stderr, "segweld: %s\n",
                 station::DescribeResult(ResultOf(paths[0], report)).front().text.c_str());
    return kExitWritten;
}

int RunSlotImageMode(OutputKind format, const station::StationOptions& options,
                     const std::vector<std::string>& paths) {
    std::string error;
    const geo::WriteSlotImageEntry write = LoadImageWriter(format, error).slot;
    if (write == nullptr) {
        return NoImages(format, error);
    }
    if (!PathsExist(paths)) {
        return kExitBadArguments;
    }
    const SegmentPath where = SplitSegmentPath(paths[0]);
    const auto file = station::SlotFileOf("", where.name);
    if (!file) {
        std::fprintf(stderr,
                     "segweld: %s belongs to no time slot: only the names of MSG satellites' "
                     "segments, prologues and epilogues do\n",
                     paths[0].c_str());
        return kExitNothingWritten;
    }
    station::SlotMembers members = station::FindSlotMembers(
        where.directory.empty() ? "." : where.directory, file->slot, options.slotChannels);
    if (!members.error.empty()) {
        std::fprintf(stderr, "segweld: cannot list the folder of %s: %s\n", paths[0].c_str(),
                     members.error.c_str());
        return kExitNothingWritten;
    }
    if (members.members.empty()) {
        std::fprintf(stderr, "segweld: slot %s has no segment of the channels wanted beside %s\n",
                     file->slot.key.Text().c_str(), paths[0].c_str());
        return kExitNothingWritten;
    }
    os::NoteInterrupts();
    TerminalProgress progress;
    geo::SlotImageRequest request;
    request.slotName = file->slot.key.FileStem();
    request.members = std::move(members.members);
    request.absentChannels = std::move(members.absent);
    request.outputFolder = paths[1];
    request.format = format;
    request.fillGaps = options.fillGaps;
    request.calibration = options.calibration;
    request.calibrationMode = options.calibrationMode;
    request.progress = std::ref(progress);
    geo::SlotImageReport report;
    write(request, report);
    progress.Finish();
    os::EndByNotedInterrupt();
    std::fflush(stdout);
    PrintWarnings(report.warnings);
    if (!report.written()) {
        std::fprintf(stderr, "segweld: %s\n", report.error.c_str());
        return kExitNothingWritten;
    }
    std::fprintf(stderr, "segweld: slot %s: %zu %s (%s)%s -> %s\n", file->slot.key.Text().c_str(),
                 report.channels.size(), report.channels.size() == 1 ? "channel" : "channels",
                 Listed(report.channels, " ").c_str(),
                 report.absentChannels.empty()
                     ? ""
                     : (", absent: " + Listed(report.absentChannels, " ")).c_str(),
                 Listed(report.outputPaths, ", ").c_str());
    return kExitWritten;
}

}  // namespace segweld
