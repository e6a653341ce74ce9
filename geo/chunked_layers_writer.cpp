#include "geo/chunked_layers_writer.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <limits>
#include <optional>
#include <thread>

#include "geo/hdf5_chunk_file.h"
#include "os/processor_count.h"

namespace segweld::geo {
namespace {

// The memory that the strips in flight may take, read and encoded: each
// worker's strip of pixels, and the encoded strips that wait to be written.
constexpr size_t kStripMemory = size_t{160} << 20;

struct Strip {
    size_t layer = 0;
    uint32_t top = 0;
};

struct EncodedStrip {
    Strip strip;
    uint64_t pixels = 0;
    std::vector<std::vector<uint8_t>> chunks;  // from west to east
};

size_t StoredBytes(const ChunkedLayer& layer) {
    switch (layer.stored) {
        case StoredPixel::Float32:
            return sizeof(float);
        case StoredPixel::UInt16:
            return sizeof(uint16_t);
        case StoredPixel::UInt8:
            break;
    }
    return sizeof(uint8_t);
}

uint32_t StripCount(const ChunkedLayer& layer) {
    return (layer.rows->height() + layer.shape.rows - 1) / layer.shape.rows;
}

size_t StripCount(const std::vector<ChunkedLayer>& layers) {
    size_t count = 0;
    for (const ChunkedLayer& layer : layers) {
        count += StripCount(layer);
    }
    return count;
}

size_t PixelBytes(const ChunkedLayer& layer) {
    return layer.rows->calibrated() ? sizeof(float) : sizeof(uint16_t);
}

class Pipeline {
  public:
    Pipeline(const std::vector<ChunkedLayer>& layers, std::mutex& libraryLock, int level,
             const WriteProgress& progress)
        : layers_(layers),
          libraryLock_(libraryLock),
          level_(level),
          progress_(progress),
          layerLocks_(layers.size()) {
        // Strip by strip of all layers in turn, for the workers to read
        // different layers' rows at once rather than wait for each other's.
        for (uint32_t n = 0; strips_.size() < StripCount(layers); ++n) {
            for (size_t i = 0; i < layers.size(); ++i) {
                if (n < StripCount(layers[i])) {
                    strips_.push_back({i, n * layers[i].shape.rows});
                }
            }
        }
    }
    Pipeline(const Pipeline&) = delete;
    Pipeline& operator=(const Pipeline&) = delete;
    ~Pipeline() { Stop(); }

    void Run(Hdf5ChunkFile& file, const std::vector<size_t>& variables) {
        const size_t workers = WorkerCount();
        window_ = workers + 1;
        for (size_t i = 0; i < workers; ++i) {
            threads_.emplace_back([this] { Work(); });
        }
        uint64_t total = 0;
        for (const ChunkedLayer& layer : layers_) {
            total += uint64_t{layer.rows->width()} * layer.rows->height();
        }
        uint64_t done = 0;
        for (size_t written = 0; written < strips_.size(); ++written) {
            const EncodedStrip encoded = NextEncoded();
            {
                std::lock_guard lock(libraryLock_);
                const uint32_t columns = layers_[encoded.strip.layer].shape.columns;
                for (size_t c = 0; c < encoded.chunks.size(); ++c) {
                    file.WriteChunk(variables[encoded.strip.layer], encoded.strip.top,
                                    uint64_t{c} * columns, encoded.chunks[c]);
                }
            }
            {
                std::lock_guard lock(mutex_);
                ++written_;
            }
            changed_.notify_all();
            done += encoded.pixels;
            if (progress_ && !progress_(static_cast<double>(done) / total)) {
                throw WriteStopped();
            }
        }
        Stop();
    }

  private:
    // Every usable processor, as far as the memory for strips allows.
    size_t WorkerCount() const {
        size_t largest = 1;
        for (const ChunkedLayer& layer : layers_) {
            largest = std::max(largest,
                               size_t{layer.shape.rows} * layer.rows->width() * PixelBytes(layer));
        }
        // Each worker's strip, and one more encoded strip than workers waiting.
        const size_t affordable = std::max<size_t>(1, (kStripMemory / largest) / 2);
        return std::max<size_t>(
            1, std::min({size_t{os::UsableProcessorCount()}, affordable, strips_.size()}));
    }

    EncodedStrip NextEncoded() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return error_ || !ready_.empty(); });
        if (error_) {
            std::rethrow_exception(error_);
        }
        EncodedStrip encoded = std::move(ready_.front());
        ready_.pop_front();
        return encoded;
    }

    void Work() {
        try {
            Hdf5ChunkEncoder encoder(level_);
            std::vector<float> floats;
            std::vector<uint16_t> counts;
            for (;;) {
                size_t index = 0;
                {
                    std::unique_lock lock(mutex_);
                    changed_.wait(lock, [this] {
                        return stop_ || next_ == strips_.size() || next_ - written_ < window_;
                    });
                    if (stop_ || next_ == strips_.size()) {
                        return;
                    }
                    index = next_++;
                }
                EncodedStrip encoded = Encode(strips_[index], encoder, floats, counts);
                {
                    std::lock_guard lock(mutex_);
                    ready_.push_back(std::move(encoded));
                }
                changed_.notify_all();
            }
        } catch (...) {
            {
                std::lock_guard lock(mutex_);
                if (!error_) {
                    error_ = std::current_exception();
                }
                stop_ = true;
            }
            changed_.notify_all();
        }
    }

    EncodedStrip Encode(const Strip& strip, Hdf5ChunkEncoder& encoder, std::vector<float>& floats,
                        std::vector<uint16_t>& counts) {
        const ChunkedLayer& layer = layers_[strip.layer];
        RasterRows& rows = *layer.rows;
        const uint32_t width = rows.width();
        const uint32_t count = std::min(layer.shape.rows, rows.height() - strip.top);
        const size_t pixels = size_t{count} * width;
        {
            std::lock_guard lock(layerLocks_[strip.layer]);
            if (rows.calibrated()) {
                floats.resize(pixels);
                rows.Fill(strip.top, count, std::span<float>(floats));
            } else {
                counts.resize(pixels);
                rows.Fill(strip.top, count, std::span<uint16_t>(counts));
            }
        }
        EncodedStrip encoded{strip, pixels, {}};
        for (uint32_t left = 0; left < width; left += layer.shape.columns) {
            encoded.chunks.push_back(EncodeChunk(layer, encoder, floats, counts, count, left));
        }
        return encoded;
    }

    static std::vector<uint8_t> EncodeChunk(const ChunkedLayer& layer, Hdf5ChunkEncoder& encoder,
                                            std::span<const float> floats,
                                            std::span<const uint16_t> counts, uint32_t count,
                                            uint32_t left) {
        const uint32_t width = layer.rows->width();
        switch (layer.stored) {
            case StoredPixel::Float32:
                return encoder.Encode(floats, width, count, left, layer.shape,
                                      std::numeric_limits<float>::quiet_NaN());
            case StoredPixel::UInt16:
                return encoder.Encode(counts, width, count, left, layer.shape, uint16_t{0});
            case StoredPixel::UInt8:
                break;
        }
        return encoder.Encode(counts, width, count, left, layer.shape, uint8_t{0});
    }

    // Stops the workers, between strips, and waits for them.
    void Stop() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        for (std::thread& thread : threads_) {
            thread.join();
        }
        threads_.clear();
    }

    const std::vector<ChunkedLayer>& layers_;
    std::mutex& libraryLock_;
    const int level_;
    const WriteProgress& progress_;
    std::vector<Strip> strips_;
    std::vector<std::mutex> layerLocks_;  // one thread reads a layer's rows at a time

    std::mutex mutex_;  // guards what follows
    std::condition_variable changed_;
    size_t next_ = 0;     // the next strip to read
    size_t written_ = 0;  // strips written
    size_t window_ = 1;   // strips read but not written, at most
    std::deque<EncodedStrip> ready_;
    std::exception_ptr error_;
    bool stop_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace

void WriteChunkedLayers(const std::vector<ChunkedLayer>& layers, const std::string& fileName,
                        std::mutex& libraryLock, int deflateLevel, const WriteProgress& progress) {
    std::optional<Hdf5ChunkFile> file;
    try {
        std::vector<size_t> variables;
        {
            std::lock_guard lock(libraryLock);
            file.emplace(fileName);
            for (const ChunkedLayer& layer : layers) {
                variables.push_back(file->Open(layer.variable, layer.shape, StoredBytes(layer)));
            }
        }
        Pipeline(layers, libraryLock, deflateLevel, progress).Run(*file, variables);
        std::lock_guard lock(libraryLock);
        file->Close();
    } catch (...) {
        std::lock_guard lock(libraryLock);
        file.reset();
        throw;
    }
}

}  // namespace segweld::geo
