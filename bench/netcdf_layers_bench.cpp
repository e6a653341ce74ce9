// A whole time slot in one NetCDF file: every product of a folder (one per
// channel, as segweld-sample writes them) as a layer of one WriteNetCdf call.
// Reports the wall time of the writing alone, the peak RSS of the process and
// the size of the file.
// Usage: netcdf_layers_bench FOLDER OUTPUT.nc [CHANNEL...]
//   (default: the eleven 3 km channels)
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "geo/netcdf_writer.h"
#include "geo/product_image.h"
#include "geo/raster_rows.h"
#include "geo/segment_pixels.h"
#include "join/join_segments.h"
#include "os/file_system.h"

namespace fs = std::filesystem;
using namespace segweld;

namespace {

// One product of the folder, described as an image, its segments open.
struct Product {
    std::vector<geo::JoinedSegment> segments;
    geo::ProductImage image;
    std::unique_ptr<geo::RasterRows> rows;
};

// The first segment file of `channel` in `folder`.
std::string FirstSegment(const fs::path& folder, const std::string& channel) {
    const std::string padded = (channel + "_________").substr(0, 9);
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.find(padded) != std::string::npos &&
            name.find("-000001___-") != std::string::npos) {
            return entry.path().string();
        }
    }
    throw std::runtime_error("no first segment of " + channel + " in " + folder.string());
}

std::unique_ptr<Product> Describe(const std::string& segmentPath) {
    auto product = std::make_unique<Product>();
    auto fields = std::make_shared<geo::DecompressedFields>();
    const JoinReport walk = WalkAsJoin(segmentPath, JoinOptions{}, [&](const SegmentVisit& visit) {
        auto pixels = std::make_shared<const geo::SegmentPixels>(
            visit.sharedFile, visit.headerLength, visit.headerBytes, visit.header->lines,
            std::min(DataFieldBytesStored(*visit.header), ImageStructureBytes(*visit.header) + 1),
            fields);
        product->segments.push_back(
            {visit.number, visit.path, *visit.header, visit.headerLength, std::move(pixels)});
    });
    if (!walk.error.empty() || product->segments.empty()) {
        throw std::runtime_error(segmentPath + ": " + walk.FailureText());
    }
    std::vector<std::string> warnings;
    product->image = geo::DescribeProductImage(segmentPath, walk, product->segments, std::nullopt,
                                               geo::CalibrationMode::Nominal, warnings);
    product->rows = std::make_unique<geo::RasterRows>(
        product->image.frame, product->image.description.placement, product->image.calibration);
    return product;
}

long PeakRssKib() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: netcdf_layers_bench FOLDER OUTPUT.nc [CHANNEL...]\n");
        return 2;
    }
    std::vector<std::string> channels(argv + 3, argv + argc);
    if (channels.empty()) {
        channels = {"VIS006", "VIS008", "IR_016", "IR_039", "WV_062", "WV_073",
                    "IR_087", "IR_097", "IR_108", "IR_120", "IR_134"};
    }
    try {
        std::vector<std::unique_ptr<Product>> products;
        std::vector<geo::NetCdfLayer> layers;
        for (const std::string& channel : channels) {
            products.push_back(Describe(FirstSegment(argv[1], channel)));
            layers.push_back({&products.back()->image, products.back()->rows.get()});
        }
        const long rssBefore = PeakRssKib();
        const auto start = std::chrono::steady_clock::now();
        os::HiddenOutput output(argv[2]);
        geo::WriteNetCdf(layers, {}, output, [](double) { return true; });
        output.Commit();
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("%zu layers: %.3f s, peak RSS %.1f MiB (%.1f MiB before writing), %llu bytes\n",
                    layers.size(), seconds, PeakRssKib() / 1024.0, rssBefore / 1024.0,
                    static_cast<unsigned long long>(fs::file_size(argv[2])));
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "netcdf_layers_bench: %s\n", failure.what());
        return 1;
    }
    return 0;
}
