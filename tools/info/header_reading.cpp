#include "tools/info/header_reading.h"

#include "hrit/header_reader.h"
#include "join/segment_source.h"

namespace segweld::info {

HeaderReading ReadHeaderOfFile(const std::string& path) {
    HeaderReading reading;
    reading.file = path;
    SegmentSource file;
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
        reading.refusal = file.fault().empty() ? DescribeRefusal(reader.refusal()) : file.fault();
    }
    return reading;
}

}  // namespace segweld::info
