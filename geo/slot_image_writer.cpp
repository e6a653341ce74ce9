#include "geo/slot_image_writer.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "geo/cog_writer.h"
#ifdef SEGWELD_HAS_NETCDF
#include "geo/netcdf_writer.h"
#endif
#include "geo/product_image.h"
#include "geo/raster_rows.h"
#include "geo/walked_product.h"
#include "os/file_system.h"

namespace segweld::geo {
namespace {

constexpr double kWalkShare = 0.01;
constexpr int32_t kHrvCode = 12;

// One channel of the slot, walked and described.
struct Member {
    std::unique_ptr<WalkedProduct> product;
    ProductImage image;
    std::unique_ptr<RasterRows> rows;

    bool SameGrid(const Member& other) const {
        return image.description.placement.geoTransform ==
                   other.image.description.placement.geoTransform &&
               rows->width() == other.rows->width() && rows->height() == other.rows->height();
    }
    uint64_t pixels() const { return uint64_t{rows->width()} * rows->height(); }
};

// Members of one grid, in one GeoTIFF.
using Group = std::vector<Member*>;

std::string SpaceSeparated(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) {
        text += (text.empty() ? "" : " ") + item;
    }
    return text;
}

// A member whose pixel type differs from its group's: counts become the
// floats they are, so that one band type holds the whole group.
std::vector<float> CountsAsValues(uint32_t bitsPerPixel) {
    std::vector<float> values(size_t{1} << bitsPerPixel);
    for (size_t count = 0; count < values.size(); ++count) {
        values[count] = static_cast<float>(count);
    }
    return values;
}

class SlotRun {
  public:
    explicit SlotRun(const SlotImageRequest& request) : request_(request) {
        report_.absentChannels = request.absentChannels;
    }

    SlotImageReport Run() {
        try {
            for (const SlotMember& member : request_.members) {
                Take(member);
            }
            if (members_.empty()) {
                Fail(ImageFailure::Data, "no channel of the slot makes an image");
            } else {
                Write();
            }
        } catch (const WriteStopped&) {
            Fail(ImageFailure::Interrupted, "stopped");
        } catch (const std::exception& failure) {
            Fail(ImageFailure::System, failure.what());
        }
        return std::move(report_);
    }

  private:
    bool GoOn(double done) const {
        return !request_.progress || request_.progress({done, inputBytes_});
    }

    void Fail(ImageFailure failure, const std::string& why) {
        report_.failure = failure;
        report_.error = std::string("no ") + ImageFormatName(request_.format) + " of slot " +
                        request_.slotName + " written: " + why;
        report_.outputPaths.clear();
        report_.bytesWritten = 0;
    }

    void LeaveOut(const std::string& channel, const std::string& why) {
        report_.absentChannels.push_back(channel);
        report_.warnings.push_back(channel + " left out of slot " + request_.slotName + ": " + why);
    }

    void Take(const SlotMember& slotMember) {
        auto product = std::make_unique<WalkedProduct>(slotMember.segmentPath, request_.fillGaps,
                                                       [this] { return GoOn(0); });
        const ImageFailure failure = product->failure();
        if (failure == ImageFailure::Interrupted) {
            throw WriteStopped();
        }
        const std::string& channel = slotMember.channel;
        if (failure != ImageFailure::None) {
            LeaveOut(channel, product->walk().FailureText());
            return;
        }
        std::vector<std::string> warnings;
        try {
            Member member{std::move(product), {}, nullptr};
            member.image =
                member.product->Describe(request_.calibration, request_.calibrationMode, warnings);
            for (const std::string& warning : warnings) {
                report_.warnings.push_back(member.image.channel + ": " + warning);
            }
            inputBytes_ += member.product->inputBytes();
            members_.push_back(std::move(member));
        } catch (const ProductRefused& refusal) {
            LeaveOut(channel, refusal.what());
        }
    }

    // Channel order, HRV last; each member's rows made.
    void Arrange() {
        std::stable_sort(members_.begin(), members_.end(), [](const Member& a, const Member& b) {
            const auto order = [](const Member& m) {
                const int32_t code = m.image.frame.channelCode;
                return code < 1 ? 100 : code;
            };
            return order(a) < order(b);
        });
        for (Member& member : members_) {
            member.rows = std::make_unique<RasterRows>(
                member.image.frame, member.image.description.placement, member.image.calibration);
            report_.channels.push_back(member.image.channel);
            total_ += member.pixels();
        }
    }

    std::vector<Group> Groups() {
        std::vector<Group> groups;
        for (Member& member : members_) {
            auto found = std::find_if(groups.begin(), groups.end(), [&](const Group& group) {
                return group.front()->SameGrid(member);
            });
            if (found == groups.end()) {
                groups.push_back({&member});
            } else {
                found->push_back(&member);
            }
        }
        return groups;
    }

    std::string PathOf(const std::string& suffix, const char* extension) const {
        return JoinedOutputPath(request_.outputFolder,
                                LowerAscii(request_.slotName + suffix) + extension);
    }

    // The share of the slot done once `pixels` more of it are.
    WriteProgress Part(uint64_t pixels) {
        const uint64_t before = written_;
        written_ += pixels;
        return [this, before, pixels](double done) {
            const double share = (before + done * pixels) / static_cast<double>(total_);
            return GoOn(kWalkShare + (1 - kWalkShare) * share);
        };
    }

    void Write() {
        Arrange();
        std::vector<std::unique_ptr<os::HiddenOutput>> outputs;
        if (request_.format == OutputKind::NetCdf) {
            outputs.push_back(WriteNetCdfFile());
        } else {
            for (const Group& group : Groups()) {
                outputs.push_back(WriteGeoTiff(group));
            }
        }
        for (auto& output : outputs) {
            output->Commit();
            report_.outputPaths.push_back(output->finalPath());
            report_.bytesWritten += output->size();
        }
    }

    std::unique_ptr<os::HiddenOutput> Open(const std::string& path) {
        RemoveLeftoversOnce(os::CommitFolder(path));
        return std::make_unique<os::HiddenOutput>(path);
    }

    std::unique_ptr<os::HiddenOutput> WriteNetCdfFile() {
#ifdef SEGWELD_HAS_NETCDF
        auto output = Open(PathOf("", ".nc"));
        std::vector<NetCdfLayer> layers;
        for (Member& member : members_) {
            layers.push_back({&member.image, member.rows.get()});
        }
        WriteNetCdf(layers, report_.absentChannels, *output, Part(total_));
        return output;
#else
        throw GeoTiffError("this build has no NetCDF library");
#endif
    }

    std::unique_ptr<os::HiddenOutput> WriteGeoTiff(const Group& group) {
        const Member& first = *group.front();
        const bool hrv = first.image.frame.channelCode == kHrvCode;
        const std::string suffix = &first == &members_.front()
                                       ? ""
                                       : "-" + (hrv ? "hrv" : LowerAscii(first.image.channel));
        auto output = Open(PathOf(suffix, ".tif"));
        const bool mixed = std::any_of(group.begin(), group.end(), [&](const Member* member) {
            return member->rows->calibrated() != first.rows->calibrated() ||
                   member->rows->bitsPerPixel() != first.rows->bitsPerPixel();
        });
        std::vector<GeoTiffBand> bands;
        std::vector<std::string> channels;
        uint64_t pixels = 0;
        for (Member* member : group) {
            if (mixed && !member->rows->calibrated()) {
                member->rows = std::make_unique<RasterRows>(
                    member->image.frame, member->image.description.placement,
                    CountsAsValues(member->rows->bitsPerPixel()));
            }
            GeoTiffBand band{member->rows.get(), member->image.description.band, {}};
            for (const auto& [tag, value] : member->image.description.tags) {
                if (IsProductTag(tag)) {
                    band.tags.emplace_back(tag, value);
                }
            }
            bands.push_back(std::move(band));
            channels.push_back(member->image.channel);
            pixels += member->pixels();
        }
        RasterDescription description = first.image.description;
        std::erase_if(description.tags, [](const auto& tag) { return IsProductTag(tag.first); });
        description.tags.emplace_back("CHANNELS", SpaceSeparated(channels));
        description.tags.emplace_back("CHANNELS_ABSENT", SpaceSeparated(report_.absentChannels));
        WriteCloudOptimizedGeoTiff(bands, description, *output, Part(pixels));
        return output;
    }

    const SlotImageRequest& request_;
    SlotImageReport report_;
    std::vector<Member> members_;
    uint64_t inputBytes_ = 0;
    uint64_t total_ = 0;
    uint64_t written_ = 0;
};

}  // namespace

SlotImageReport WriteSlotImage(const SlotImageRequest& request) {
    return SlotRun(request).Run();
}

}  // namespace segweld::geo
