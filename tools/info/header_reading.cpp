#include "tools/info/header_reading.h"

#include "hrit/header_reader.h"
#include "join/segment_file.h"

namespace segweld::info {

HeaderReading ReadHeaderOfFile(const std::string& path) {
    HeaderReading reading;
    reading.file = path;
    SegmentFile file;
    switch (file.Open(path)) {
        case OpenOutcome::NotRegularFile:
            reading.refusal = "not a regular file";
            return reading;
        case OpenOutcome::Missing:
        case OpenOutcome::Failed:
            reading.refusal = "cannot be opened: " + file.error();
            return reading;
        case OpenOutcome::Opened:
            break;
    }
    CHritHeaderReader reader(
        [&reading](uint32_t type) { reading.unexpectedTypes.push_back(type); });
    reading.headerLength = reader.ReadHeader(file.stream());
    file.ThrowIfStreamFailed();
    if (reading.accepted()) {
        reading.header = reader.header();
    } else {
        reading.refusal = DescribeRefusal(reader.refusal());
    }
    return reading;
}

}  // namespace segweld::info
