#pragma once

#include <functional>
#include <optional>
#include <string>

#include "station/log_line.h"
#include "station/slot_key.h"
#include "station/slot_record.h"

namespace segweld::station {

class BatchReport;
class SlotImageWriter;
class ThenRunner;

// Where a run's outputs and slot manifests go, below its output folder: the
// subfolder of the input folder a product lies in, and with --slot-folders
// below that its slot's folder (SlotKey::FolderPath).
class SlotPlaces {
  public:
    SlotPlaces(std::string outputFolder, bool slotFolders)
        : outputFolder_(std::move(outputFolder)), slotFolders_(slotFolders) {}

    // The folder of the output of a product in `relativeFolder` ('/' between
    // folders) one of whose files is `name`.
    std::string OutputFolder(const std::string& relativeFolder, const std::string& name) const;
    std::string ManifestPath(const SlotId& slot) const;

  private:
    std::string FolderOf(const std::string& relativeFolder, const SlotKey* key) const;

    std::string outputFolder_;
    bool slotFolders_;
};

// What a slot's publication does: the slot's images written when the run
// makes them, its manifest (the record as JSON) written beside its outputs, a
// "slot" line in the report, a line in the log, and the --then-slot command
// run for the manifest.
class SlotPublisher {
  public:
    using Log = std::function<void(const LogLine&)>;

    // `report`, `then` and `images` may be null.
    SlotPublisher(const SlotPlaces& places, BatchReport* report, ThenRunner* then, Log log,
                  const SlotImageWriter* images = nullptr)
        : places_(places), report_(report), then_(then), log_(std::move(log)), images_(images) {}

    void Publish(const SlotRecord& record) const;
    // The record its manifest holds, when one was written by an earlier run.
    std::optional<SlotRecord> Earlier(const SlotId& slot) const;

  private:
    std::string WriteManifest(SlotRecord& record) const;

    const SlotPlaces& places_;
    BatchReport* report_;
    ThenRunner* then_;
    Log log_;
    const SlotImageWriter* images_;
};

}  // namespace segweld::station
