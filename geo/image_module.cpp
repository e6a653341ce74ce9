// The module that segweld loads to write images: its one entry.
#include <type_traits>

#include "geo/image_entry.h"
#include "geo/product_image_writer.h"
#include "geo/slot_image_writer.h"

extern "C" [[gnu::visibility("default")]] void SegweldWriteProductImage(
    const segweld::geo::ImageRequest& request, segweld::geo::ImageReport& report) {
    report = segweld::geo::WriteProductImage(request);
}

static_assert(
    std::is_same_v<decltype(&SegweldWriteProductImage), segweld::geo::WriteProductImageEntry>);

extern "C" [[gnu::visibility("default")]] void SegweldWriteSlotImage(
    const segweld::geo::SlotImageRequest& request, segweld::geo::SlotImageReport& report) {
    report = segweld::geo::WriteSlotImage(request);
}

static_assert(std::is_same_v<decltype(&SegweldWriteSlotImage), segweld::geo::WriteSlotImageEntry>);
