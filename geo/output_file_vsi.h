#pragma once

#include <string>

#include "os/file_system.h"

namespace segweld::geo {

// An os::HiddenOutput under a file name that GDAL opens, reads and writes
// through (a name in a GDAL virtual file system of this program's own): so a
// GDAL driver writes Segweld's hidden output, and no file of its own, and the
// output appears only when the caller commits it. The name is valid while the
// object lives. Any thread; several at once.
class GdalOutputFile {
  public:
    explicit GdalOutputFile(os::HiddenOutput& output);
    ~GdalOutputFile();
    GdalOutputFile(const GdalOutputFile&) = delete;
    GdalOutputFile& operator=(const GdalOutputFile&) = delete;

    const std::string& name() const { return name_; }
    // Why a read or write of the file failed, which GDAL sees only as a
    // short count; empty when none did.
    std::string failure() const;

  private:
    std::string name_;
};

}  // namespace segweld::geo
