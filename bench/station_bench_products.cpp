// Writes a folder of small products for bench/batch_bench.sh.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/station_products.h"

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "Usage: station_bench_products FOLDER PRODUCTS SEGMENTS BYTES\n");
        return 2;
    }
    const int products = std::atoi(argv[2]);
    const int segments = std::atoi(argv[3]);
    const int bytes = std::atoi(argv[4]);
    for (int index = 0; index < products; ++index) {
        for (int number = 1; number <= segments; ++number) {
            segweld::bench::WriteBenchSegment(argv[1], index, number, segments, bytes);
        }
    }
    return 0;
}
