// Reads the header of one segment file and joins its product, through the
// installed library only.
#include <cstdio>
#include <fstream>

#include "hrit/header_reader.h"
#include "join/join_segments.h"
#include "segweld_version.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: segweld_consumer SEGMENT_FILE OUTPUT_FOLDER\n");
        return 2;
    }
    std::ifstream segment(argv[1], std::ios::binary);
    segweld::CHritHeaderReader reader;
    if (reader.ReadHeader(segment) == 0) {
        std::fprintf(stderr, "header refused: %s\n", segweld::DescribeRefusal(reader.refusal()));
        return 1;
    }
    const segweld::HritHeader& header = reader.header();
    std::printf("library %s\nchannel %s\ncolumns %u\nlines %u\n", SEGWELD_VERSION, header.channel,
                header.columns, header.lines);

    const segweld::JoinReport report = segweld::JoinSegments(argv[1], argv[2]);
    std::printf("joined %d segments into %s\n", report.segmentsJoined(), report.outputPath.c_str());
    return report.written() ? 0 : 1;
}
