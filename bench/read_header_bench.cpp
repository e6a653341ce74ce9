// ReadHeader on a real-shaped 6198-byte segment header held in memory, with a
// count of heap allocations per header.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "hrit/header_reader.h"
#include "hrit/memory_stream.h"
#include "tests/support/header_builder.h"

namespace {
std::atomic<long> allocations{0};
}

void* operator new(size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) {
        return p;
    }
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, size_t) noexcept {
    std::free(p);
}

namespace {

void BM_ReadHeader(benchmark::State& state) {
    segweld::test::SegmentShape shape;
    shape.annotation = segweld::test::kWorkedExample;
    auto file = segweld::test::RealSegmentHeader(shape);
    file.insert(file.end(), {0xFF, 0x01});
    segweld::CHritHeaderReader reader;
    segweld::MemoryInputStream stream(file.data(), file.size());

    const long before = allocations.load();
    for (auto _ : state) {
        stream.seekg(0);
        benchmark::DoNotOptimize(reader.ReadHeader(stream));
        benchmark::DoNotOptimize(reader.header().channelCode);
    }
    state.counters["allocs/header"] = benchmark::Counter(
        static_cast<double>(allocations.load() - before) / static_cast<double>(state.iterations()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 6198);
}
BENCHMARK(BM_ReadHeader);

}  // namespace

BENCHMARK_MAIN();
