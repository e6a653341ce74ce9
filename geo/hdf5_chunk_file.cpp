#include "geo/hdf5_chunk_file.h"

#include <hdf5.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "geo/netcdf_writer.h"

namespace segweld::geo {
namespace {

// The description of the innermost failure on HDF5's error stack.
herr_t KeepDescription(unsigned, const H5E_error2_t* error, void* text) {
    if (error->desc != nullptr && static_cast<std::string*>(text)->empty()) {
        *static_cast<std::string*>(text) = error->desc;
    }
    return 0;
}

// Throws when `status` is negative, with the system's reason that the call
// left in errno (callers clear errno first), else HDF5's own.
void Check(int64_t status, const std::string& what) {
    if (status >= 0) {
        return;
    }
    std::string why;
    if (errno != 0) {
        char text[256] = "";
        why = strerror_r(errno, text, sizeof text);
    } else {
        H5Ewalk2(H5E_DEFAULT, H5E_WALK_DOWNWARD, KeepDescription, &why);
    }
    throw NetCdfError("cannot " + what + ": " + (why.empty() ? "HDF5 failed" : why));
}

bool ChunkedAs(hid_t plist, ChunkShape shape) {
    hsize_t chunk[2] = {};
    return H5Pget_layout(plist) == H5D_CHUNKED && H5Pget_chunk(plist, 2, chunk) == 2 &&
           chunk[0] == shape.rows && chunk[1] == shape.columns;
}

H5Z_filter_t FilterOf(hid_t plist, unsigned index) {
    unsigned flags = 0;
    size_t values = 0;  // none asked for
    return H5Pget_filter2(plist, index, &flags, &values, nullptr, 0, nullptr, nullptr);
}

bool ShuffledAndDeflated(hid_t plist) {
    return H5Pget_nfilters(plist) == 2 && FilterOf(plist, 0) == H5Z_FILTER_SHUFFLE &&
           FilterOf(plist, 1) == H5Z_FILTER_DEFLATE;
}

bool OfElements(hid_t dataset, size_t elementSize) {
    const hid_t type = H5Dget_type(dataset);
    const hid_t native = H5Tget_native_type(type, H5T_DIR_DEFAULT);
    const bool same =
        type >= 0 && native >= 0 && H5Tget_size(type) == elementSize && H5Tequal(type, native) > 0;
    H5Tclose(native);
    H5Tclose(type);
    return same;
}

}  // namespace

Hdf5ChunkFile::Hdf5ChunkFile(const std::string& name) {
    errno = 0;
    file_ = H5Fopen(name.c_str(), H5F_ACC_RDWR, H5P_DEFAULT);
    Check(file_, "open the NetCDF file again for its pixels");
}

Hdf5ChunkFile::~Hdf5ChunkFile() {
    CloseAll();
}

size_t Hdf5ChunkFile::Open(const std::string& name, ChunkShape shape, size_t elementSize) {
    errno = 0;
    const hid_t dataset = H5Dopen2(file_, name.c_str(), H5P_DEFAULT);
    Check(dataset, "open the variable " + name);
    datasets_.push_back(dataset);
    const hid_t plist = H5Dget_create_plist(dataset);
    Check(plist, "look at the variable " + name);
    const bool expected =
        ChunkedAs(plist, shape) && ShuffledAndDeflated(plist) && OfElements(dataset, elementSize);
    H5Pclose(plist);
    if (!expected) {
        throw NetCdfError("the NetCDF library stored the variable " + name +
                          " otherwise than as shuffled and deflated chunks");
    }
    return datasets_.size() - 1;
}

void Hdf5ChunkFile::WriteChunk(size_t variable, uint64_t row, uint64_t column,
                               std::span<const uint8_t> encoded) {
    const hsize_t offset[2] = {row, column};
    errno = 0;
    Check(
        H5Dwrite_chunk(datasets_[variable], H5P_DEFAULT, 0, offset, encoded.size(), encoded.data()),
        "write the pixels");
}

void Hdf5ChunkFile::Close() {
    for (int64_t& dataset : datasets_) {
        errno = 0;
        Check(H5Dclose(std::exchange(dataset, -1)), "finish the NetCDF file");
    }
    // Everything written before the file is let go: a close whose writes
    // fail leaves HDF5 holding a file it cannot close, which it then tries
    // again, and crashes on, when the process ends.
    errno = 0;
    Check(H5Fflush(file_, H5F_SCOPE_LOCAL), "finish the NetCDF file");
    errno = 0;
    Check(H5Fclose(std::exchange(file_, -1)), "finish the NetCDF file");
}

void Hdf5ChunkFile::DiscardWrites() {
    void* handle = nullptr;
    if (file_ < 0 || H5Fget_vfd_handle(file_, H5P_DEFAULT, &handle) < 0 || handle == nullptr) {
        return;
    }
    // A file in memory, not /dev/null: HDF5 cuts the file to its length on
    // closing. What it writes there is its last metadata; the rest is a hole.
    const int nowhere = memfd_create("segweld-discarded", MFD_CLOEXEC);
    if (nowhere >= 0) {
        dup2(nowhere, *static_cast<int*>(handle));
        close(nowhere);
    }
}

void Hdf5ChunkFile::CloseAll() {
    DiscardWrites();
    for (int64_t dataset : datasets_) {
        if (dataset >= 0) {
            H5Dclose(dataset);
        }
    }
    if (file_ >= 0) {
        H5Fclose(file_);
    }
}

}  // namespace segweld::geo
