#include "geo/raster_dataset.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

namespace segweld::geo {
namespace {

// The size of overview `factor` of `size` pixels, as GDAL makes it.
int OverviewSize(int size, int factor) {
    return (size + factor - 1) / factor;
}

// The pixels of a level of `size` pixels that GDAL's nearest neighbour takes
// for each of `count`, as indices into `previous`, the pixels of the level
// before it.
std::vector<uint32_t> Sample(const std::vector<uint32_t>& previous, int count) {
    const double ratio = static_cast<double>(previous.size()) / count;
    std::vector<uint32_t> taken(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const auto index = static_cast<size_t>(0.5 + i * ratio);
        taken[static_cast<size_t>(i)] = previous[std::min(index, previous.size() - 1)];
    }
    return taken;
}

std::vector<uint32_t> Identity(int count) {
    std::vector<uint32_t> indices(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        indices[static_cast<size_t>(i)] = static_cast<uint32_t>(i);
    }
    return indices;
}

}  // namespace

// Level 0 of the dataset is the image; the rest are its overviews, which the
// image band owns.
class RasterBand : public GDALRasterBand {
  public:
    RasterBand(RasterDataset* dataset, size_t band, int level, GDALDataType type,
               const BandDescription& about, bool calibrated)
        : owner_(dataset), band_(band), level_(level), about_(about), calibrated_(calibrated) {
        poDS = level == 0 ? dataset : nullptr;
        nBand = static_cast<int>(band) + 1;
        eDataType = type;
        nRasterXSize = dataset->levels_[static_cast<size_t>(level)].width;
        nRasterYSize = dataset->levels_[static_cast<size_t>(level)].height;
        nBlockXSize = nRasterXSize;
        nBlockYSize = 1;
        if (level == 0) {
            GDALRasterBand::SetDescription(about.description.c_str());
            for (size_t i = 1; i < dataset->levels_.size(); ++i) {
                overviews_.push_back(std::make_unique<RasterBand>(
                    dataset, band, static_cast<int>(i), type, about, calibrated));
            }
        }
    }

    int GetOverviewCount() override { return static_cast<int>(overviews_.size()); }
    GDALRasterBand* GetOverview(int i) override {
        return i >= 0 && i < GetOverviewCount() ? overviews_[static_cast<size_t>(i)].get()
                                                : nullptr;
    }
    double GetNoDataValue(int* success) override {
        if (success != nullptr) {
            *success = TRUE;
        }
        return calibrated_ ? std::numeric_limits<double>::quiet_NaN() : 0.0;
    }
    const char* GetUnitType() override { return level_ == 0 ? about_.unit.c_str() : ""; }
    double GetScale(int* success) override {
        if (success != nullptr) {
            *success = level_ == 0 && about_.scaled;
        }
        return level_ == 0 && about_.scaled ? about_.scale : 1.0;
    }
    double GetOffset(int* success) override {
        if (success != nullptr) {
            *success = level_ == 0 && about_.scaled;
        }
        return level_ == 0 && about_.scaled ? about_.offset : 0.0;
    }
    GDALColorInterp GetColorInterpretation() override { return GCI_GrayIndex; }

  protected:
    CPLErr IReadBlock(int, int row, void* data) override {
        return CopyRows(0, row, nRasterXSize, 1, data, eDataType,
                        GDALGetDataTypeSizeBytes(eDataType), 0);
    }

    CPLErr IRasterIO(GDALRWFlag direction, int x, int y, int width, int height, void* data,
                     int bufferWidth, int bufferHeight, GDALDataType bufferType,
                     GSpacing pixelSpacing, GSpacing lineSpacing,
                     GDALRasterIOExtraArg* extra) override {
        if (direction != GF_Read) {
            CPLError(CE_Failure, CPLE_NotSupported, "the product's raster is read-only");
            return CE_Failure;
        }
        if (bufferWidth != width || bufferHeight != height) {
            return GDALRasterBand::IRasterIO(direction, x, y, width, height, data, bufferWidth,
                                             bufferHeight, bufferType, pixelSpacing, lineSpacing,
                                             extra);
        }
        return CopyRows(x, y, width, height, data, bufferType, pixelSpacing, lineSpacing);
    }

  private:
    CPLErr CopyRows(int x, int y, int width, int height, void* data, GDALDataType bufferType,
                    GSpacing pixelSpacing, GSpacing lineSpacing) {
        std::lock_guard lock(owner_->mutex_);
        const GDALDataType stripType = calibrated_ ? GDT_Float32 : GDT_UInt16;
        for (int i = 0; i < height; ++i) {
            const uint8_t* row = owner_->Row(band_, level_, y + i);
            if (row == nullptr) {
                return CE_Failure;
            }
            GDALCopyWords64(row + static_cast<size_t>(x) * owner_->pixelBytes_, stripType,
                            owner_->pixelBytes_, static_cast<uint8_t*>(data) + i * lineSpacing,
                            bufferType, static_cast<int>(pixelSpacing), width);
        }
        return CE_None;
    }

    RasterDataset* owner_;
    size_t band_;
    int level_;
    BandDescription about_;
    bool calibrated_;
    std::vector<std::unique_ptr<RasterBand>> overviews_;
};

RasterDataset::RasterDataset(const std::vector<GeoTiffBand>& bands,
                             const RasterDescription& description, GDALDataType type, int tileSize)
    : geoTransform_(description.placement.geoTransform),
      calibrated_(bands.front().rows->calibrated()),
      pixelBytes_(calibrated_ ? sizeof(float) : sizeof(uint16_t)),
      stripRows_(tileSize),
      strips_(bands.size()) {
    nRasterXSize = static_cast<int>(bands.front().rows->width());
    nRasterYSize = static_cast<int>(bands.front().rows->height());
    levels_.push_back({nRasterXSize, nRasterYSize, Identity(nRasterYSize), Identity(nRasterXSize)});
    // Halved until the image fits one tile, each from the one before.
    for (int factor = 2;
         nRasterXSize / (factor / 2) > tileSize || nRasterYSize / (factor / 2) > tileSize;
         factor *= 2) {
        const Level& previous = levels_.back();
        const int width = OverviewSize(nRasterXSize, factor);
        const int height = OverviewSize(nRasterYSize, factor);
        levels_.push_back(
            {width, height, Sample(previous.rows, height), Sample(previous.columns, width)});
    }
    srs_.importFromProj4(GeosProjDefinition(description.subSatelliteLongitude).c_str());
    srs_.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    for (const auto& [key, value] : description.tags) {
        if (!value.empty()) {
            SetMetadataItem(key.c_str(), value.c_str());
        }
    }
    for (size_t i = 0; i < bands.size(); ++i) {
        strips_[i].rows = bands[i].rows;
        auto* band = new RasterBand(this, i, 0, type, bands[i].description, calibrated_);
        for (const auto& [key, value] : bands[i].tags) {
            if (!value.empty()) {
                band->SetMetadataItem(key.c_str(), value.c_str());
            }
        }
        SetBand(static_cast<int>(i) + 1, band);
    }
}

CPLErr RasterDataset::GetGeoTransform(double* transform) {
    std::copy(geoTransform_.begin(), geoTransform_.end(), transform);
    return CE_None;
}

const OGRSpatialReference* RasterDataset::GetSpatialRef() const {
    return srs_.IsEmpty() ? nullptr : &srs_;
}

const uint8_t* RasterDataset::Row(size_t band, int level, int row) {
    if (failure_) {
        return nullptr;
    }
    Strip& strip = strips_[band];
    if (level != strip.level || row < strip.top || row >= strip.top + strip.count) {
        const int top = row / stripRows_ * stripRows_;
        const int count = std::min(stripRows_, levels_[static_cast<size_t>(level)].height - top);
        try {
            ProduceStrip(strip, level, top, count);
        } catch (const std::exception& failure) {
            failure_ = std::current_exception();
            strip.level = -1;
            CPLError(CE_Failure, CPLE_FileIO, "%s", failure.what());
            return nullptr;
        }
    }
    const auto width = static_cast<size_t>(levels_[static_cast<size_t>(level)].width);
    return strip.pixels.data() + static_cast<size_t>(row - strip.top) * width * pixelBytes_;
}

void RasterDataset::ProduceStrip(Strip& strip, int level, int top, int count) {
    const Level& at = levels_[static_cast<size_t>(level)];
    strip.level = -1;
    strip.pixels.resize(static_cast<size_t>(at.width) * count * pixelBytes_);
    uint8_t* pixels = strip.pixels.data();
    const size_t size = strip.pixels.size();
    if (level == 0 && calibrated_) {
        strip.rows->Fill(top, count, std::span(reinterpret_cast<float*>(pixels), size / 4));
    } else if (level == 0) {
        strip.rows->Fill(top, count, std::span(reinterpret_cast<uint16_t*>(pixels), size / 2));
    } else if (calibrated_) {
        ProduceOverviewRows(strip, at, top, count, reinterpret_cast<float*>(pixels));
    } else {
        ProduceOverviewRows(strip, at, top, count, reinterpret_cast<uint16_t*>(pixels));
    }
    strip.level = level;
    strip.top = top;
    strip.count = count;
}

template <typename Pixel>
void RasterDataset::ProduceOverviewRows(Strip& strip, const Level& level, int top, int count,
                                        Pixel* out) {
    RasterRows& rows = *strip.rows;
    strip.imageRow.resize(rows.width() * sizeof(Pixel));
    const std::span image(reinterpret_cast<Pixel*>(strip.imageRow.data()), rows.width());
    for (int i = 0; i < count; ++i) {
        rows.Fill(level.rows[static_cast<size_t>(top + i)], 1, image);
        Pixel* row = out + static_cast<size_t>(i) * level.columns.size();
        for (size_t c = 0; c < level.columns.size(); ++c) {
            row[c] = image[level.columns[c]];
        }
    }
}

}  // namespace segweld::geo
