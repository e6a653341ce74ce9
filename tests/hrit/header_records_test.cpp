#include "hrit/header_records.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/hrit/header_fields.h"
#include "tests/support/bytes.h"
#include "tests/support/header_builder.h"

namespace segweld {
namespace {

using test::Bytes;
using test::Concat;
using test::HeaderBuilder;

HeaderBuilder Primary(uint64_t bits = 0) {
    return std::move(HeaderBuilder().Primary(0, bits));
}

TEST(HeaderRecords, DecodedFieldsAndUnexpectedTypes) {
    struct Row {
        const char* label;
        Bytes bytes;
        std::string fields;
        std::vector<uint32_t> unexpected = {};
    };
    const std::string worked = test::kWorkedExample;
    std::string zeroed = worked;
    zeroed[10] = '\0';
    const Bytes filler(64, 0xEE);
    const Row rows[] = {
        {"record past the buffer",
         Primary(800).ImageStructure(8, 100, 1, 0).RecordWithLength(4, 200, {'H', '-'}).Build(),
         "dataLength=100;columns=100;hdrType=4;recLength=200;annotation="},
        // A record length that does not advance ends the walk, undecoded.
        {"stuck at 0",
         Primary(800)
             .ImageStructure(8, 100, 1, 0)
             .RecordWithLength(8, 0, {})
             .Annotation(worked)
             .Build(),
         "columns=100;recLength=0;annotation="},
        {"stuck at 2",
         Primary(800)
             .ImageStructure(8, 100, 1, 0)
             .RecordWithLength(8, 2, {})
             .Annotation(worked)
             .Build(),
         "columns=100;recLength=2;annotation="},
        {"stuck first record",
         HeaderBuilder().RecordWithLength(0, 0, {7, 0, 0, 0, 50, 0, 0, 0, 0, 0, 0, 3, 32}).Build(),
         "fileTypeCode=0;totalHeaderLength=0"},
        {"unexpected types",
         Primary(800).Record(8, {1, 2, 3}).Record(200, {}).ImageStructure(8, 100, 1, 0).Build(),
         "columns=100",
         {8, 200}},
        {"first record of another type",
         HeaderBuilder().ImageStructure(8, 100, 1, 0).Record(200, {}).Build(), "columns=100"},
        // The first primary record's count runs out one byte into the second,
        // which covers itself and the image structure but not type 200.
        {"later primary record",
         Concat({Primary(800).TotalHeaderLength(20).Record(8, {}).Build(),
                 Primary(1600).TotalHeaderLength(25).Build(),
                 HeaderBuilder().ImageStructure(8, 7, 1, 0).Build(),
                 {200, 0, 3}}),
         "dataLength=200;columns=7",
         {8}},
        // Each short record is followed by filler that it must not read; the
        // records of known types without a decoder at the end change nothing.
        {"short records",
         Primary(800)
             .RecordWithLength(1, 5, {8, 0x01})
             .Record(7, {0xEE, 0xEE, 0xEE, 0xEE, 0xEE})
             .RecordWithLength(2, 36, Bytes(33, 'A'))
             .Record(7, filler)
             .RecordWithLength(5, 6, {0x40, 1, 2})
             .Record(7, filler)
             .RecordWithLength(4, 13, {'L', '-', '0', '0', '0', '-', 'G', 'O', 'E', 'S'})
             .Record(7, filler)
             .RecordWithLength(128, 9, {1, 65, 5, 0, 7, 0})
             .Record(7, filler)
             .Record(3, filler)
             .Record(6, filler)
             .Record(129, filler)
             .Record(130, filler)
             .Record(131, filler)
             .Build(),
         "hdrType=131;recLength=67;dataLength=100;bitsPerPixel=8;columns=256;lines=0;"
         "compressionFlag=0;projectionName=" +
             std::string(32, 'A') +
             ";cfac=1090519040;lfac=0;hemisphere=0;timeStamp=64 1 2 0 0 0 0;"
             "annotation=L-000-GOES;segmentId=0 0 1280 1 0 0 321"},
        {"bits in whole bytes", Primary(803).Build(), "dataLength=100"},
        {"2^31 bits", Primary(0x80000000u).Build(), "dataLength=268435456"},
        {"2^32 bits", Primary(uint64_t{1} << 32).Build(), "dataLength=536870912"},
        {"data field beyond 32 bits", Primary(uint64_t{8} << 32).Build(),
         "dataFieldBytes=4294967296"},
        {"north", Primary().Navigation("GEOS", 1, 1, 2, 3).Build(), "hemisphere=110"},
        {"south", Primary().Navigation("GEOS", 1, -13642337, 2, 3).Build(),
         "hemisphere=115;cfac=1;lfac=-13642337;coff=2;loff=3"},
        {"lfac 0", Primary().Navigation("GEOS", 1, 0, 2, 3).Build(), "hemisphere=0"},
        {"lfac 0 keeps the earlier sign",
         Primary().Navigation("GEOS", 1, -5, 2, 3).Navigation("GEOS", 1, 0, 2, 3).Build(),
         "hemisphere=115"},
        // Navigation pads the name with blanks to its 32 characters.
        {"blank projection", Primary().Navigation("", 0, 0, 0, 0).Build(), "projectionName= "},
        {"full projection", Primary().Navigation(std::string(32, 'X'), 0, 0, 0, 0).Build(),
         "projectionName=" + std::string(32, 'X')},
        {"inner blank", Primary().Navigation("GEOS (+000.0)", 0, 0, 0, 0).Build(),
         "projectionName=GEOS (+000.0)"},
        {"zero ends the copy", Primary().Navigation({"GEOS  \0", 7}, 0, 0, 0, 0).Build(),
         "projectionName=GEOS  "},
        {"annotation", Primary().Annotation(worked).Build(), "annotation=" + worked},
        {"annotation cut at 61", Primary().Annotation(worked + "XYZ").Build(),
         "annotation=" + worked},
        {"annotation cut at a zero", Primary().Annotation(zeroed).Build(),
         "annotation=" + worked.substr(0, 10)},
        {"time stamp unconverted", Primary().TimeStamp(18062, 43920000).Build(),
         "timeStamp=64 70 142 2 158 42 128"},
        {"MSG identification",
         Primary().Annotation(worked).MsgSegmentIdentification(322, 12, 5, 1, 24, 3).Build(),
         "segmentId=322 12 5 1 24 3 0"},
        // The same bytes before any annotation are read in the other layout.
        {"other identification",
         Primary().MsgSegmentIdentification(322, 12, 5, 1, 24, 3).Annotation(worked).Build(),
         "segmentId=0 0 3072 1 6147 0 322"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        HritHeader header;
        std::vector<uint32_t> unexpected;
        const auto size = static_cast<int32_t>(row.bytes.size());
        DecodeHeaderRecords(row.bytes.data(), size, header,
                            [&](uint32_t type) { unexpected.push_back(type); });
        test::ExpectFields(header, row.fields);
        EXPECT_EQ(unexpected, row.unexpected);

        std::string printed;
        for (uint32_t type : row.unexpected) {
            printed += "Unexpected hdrtype=" + std::to_string(type) + "\n";
        }
        ::testing::internal::CaptureStdout();
        DecodeHeaderRecords(row.bytes.data(), size, header);
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), printed);
    }
}

}  // namespace
}  // namespace segweld
