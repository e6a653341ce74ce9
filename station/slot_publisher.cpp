#include "station/slot_publisher.h"

#include <algorithm>
#include <exception>

#include "join/segment_name.h"
#include "os/file_system.h"
#include "os/folders.h"
#include "station/batch_report.h"
#include "station/product_scan.h"
#include "station/slot_images.h"
#include "station/then_command.h"

namespace segweld::station {
namespace {

constexpr uint64_t kLargestManifest = 1 << 20;

std::string Native(std::string relative) {
    std::replace(relative.begin(), relative.end(), '/', kFolderSeparator);
    return relative;
}

std::span<const uint8_t> BytesOf(const std::string& text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

}  // namespace

std::string SlotPlaces::FolderOf(const std::string& relativeFolder, const SlotKey* key) const {
    std::string folder = outputFolder_;
    if (!relativeFolder.empty()) {
        folder = FolderPrefix(folder) + Native(relativeFolder);
    }
    if (slotFolders_ && key != nullptr) {
        folder = FolderPrefix(folder) + Native(key->FolderPath());
    }
    return folder;
}

std::string SlotPlaces::OutputFolder(const std::string& relativeFolder,
                                     const std::string& name) const {
    const auto file = slotFolders_ ? SlotFileOf(relativeFolder, name) : std::nullopt;
    return FolderOf(relativeFolder, file ? &file->slot.key : nullptr);
}

std::string SlotPlaces::ManifestPath(const SlotId& slot) const {
    return FolderPrefix(FolderOf(slot.folder, &slot.key)) + slot.key.ManifestName();
}

std::optional<SlotRecord> SlotPublisher::Earlier(const SlotId& slot) const {
    os::InputFile file;
    if (file.Open(places_.ManifestPath(slot)) != os::InputFile::Outcome::Opened ||
        file.size() > kLargestManifest) {
        return std::nullopt;
    }
    std::string text(file.size(), '\0');
    try {
        text.resize(file.ReadAt(
            0, std::span<uint8_t>(reinterpret_cast<uint8_t*>(text.data()), text.size())));
    } catch (const os::ReadError&) {
        return std::nullopt;
    }
    auto record = ParseSlotRecord(text);
    if (record && record->id != slot) {
        return std::nullopt;  // a manifest of another slot, moved here
    }
    return record;
}

// Empty on success, else why the manifest could not be written.
std::string SlotPublisher::WriteManifest(SlotRecord& record) const {
    const std::string path = places_.ManifestPath(record.id);
    std::string error;
    if (!os::MakeFolders(SplitSegmentPath(path).directory, error)) {
        return error;
    }
    record.manifest = path;
    try {
        os::HiddenOutput manifest(path);
        manifest.Append(BytesOf(SlotRecordJson(record) + "\n"));
        manifest.Commit();
    } catch (const std::exception& failure) {
        record.manifest.clear();
        return failure.what();
    }
    return "";
}

void SlotPublisher::Publish(const SlotRecord& published) const {
    SlotRecord record = published;
    const std::vector<LogLine> imageLines =
        images_ != nullptr ? images_->Write(record) : std::vector<LogLine>{};
    const std::string unwritten = WriteManifest(record);
    if (report_ != nullptr) {
        report_->Slot(record);
    }
    log_({record.Whole() ? LogLevel::Info : LogLevel::Warning, DescribeSlot(record)});
    for (const std::string& image : record.images) {
        log_({LogLevel::Info, "  image: " + image});
    }
    for (const LogLine& line : imageLines) {
        log_(line);
    }
    if (!unwritten.empty()) {
        log_({LogLevel::Warning, "  warning: the manifest of slot " + record.id.Text() +
                                     " could not be written: " + unwritten});
    } else if (then_ != nullptr) {
        then_->Start(record.manifest);
    }
}

}  // namespace segweld::station
