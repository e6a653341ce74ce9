#include "station/slot_member.h"

#include "join/product_survey.h"
#include "join/segment_plan.h"
#include "join/walk_plan.h"

namespace segweld::station {
namespace {

ChannelRecord::State StateOf(ProductStatus status) {
    switch (status) {
        case ProductStatus::Joined:
        case ProductStatus::UpToDate:
            return ChannelRecord::State::Complete;
        case ProductStatus::Incomplete:
            return ChannelRecord::State::Incomplete;
        case ProductStatus::Failed:
            break;
    }
    return ChannelRecord::State::Failed;
}

// The data bytes the segment holds (a compressed one: decompressed), and
// whether its compressed data are damaged beyond a shortfall.
uint64_t DataBytesHeld(const SegmentVisit& visit, bool& unsound) {
    if (!visit.header || !visit.file) {
        return 0;
    }
    const uint64_t start = visit.file->position();
    const uint64_t stored = DataFieldBytesStored(*visit.header);
    const uint64_t held = visit.file->BytesFrom(start, stored);
    unsound = !visit.file->DamageUpTo(start + stored).empty();
    return held;
}

}  // namespace

ChannelRecord MemberOf(const ProductResult& result, const std::string& channel) {
    ChannelRecord record;
    record.channel = channel;
    record.state = StateOf(result.status);
    record.product = result.key;
    record.joined = result.joined;
    record.missing = result.missing;
    record.filled = result.filled;
    record.output = result.outputPath;
    return record;
}

ChannelRecord SurveyMember(const std::string& productKey, const std::string& firstSegmentPath,
                           const std::string& outputPath, const std::string& channel,
                           bool fillGaps) {
    ChannelRecord record;
    record.channel = channel;
    record.product = productKey;
    record.output = outputPath;
    ProductSurvey survey;
    std::vector<int32_t> joined;
    try {
        const WalkPlan plan = PlanWalk(firstSegmentPath, fillGaps);
        const auto passGap = [&plan](int32_t number) {
            return plan.gaps && plan.gaps->Holds(number);
        };
        CHritHeaderReader reader([](uint32_t) {});
        const int32_t stoppedAt = WalkSegments(
            firstSegmentPath, reader,
            [&](const SegmentVisit& visit) {
                bool unsound = false;
                const uint64_t held = DataBytesHeld(visit, unsound);
                survey.Note(visit, held, unsound);
                if (visit.status == SegmentStatus::Accepted) {
                    joined.push_back(visit.number);
                }
                return true;
            },
            passGap, plan.first, plan.named);
        survey.Finish(firstSegmentPath, stoppedAt);
        if (plan.gaps) {
            record.filled = survey.Missing();
        }
    } catch (const std::exception&) {
        // What was walked stands; the rest counts as not joined.
    }
    record.joined = joined;
    record.missing = survey.Missing();
    const bool whole =
        survey.plannedEnd() > 0 ? survey.NotJoined().empty() : survey.beyondGap().empty();
    const bool sound =
        whole && survey.Refused().empty() && survey.Damaged().empty() && record.filled.empty();
    record.state = joined.empty() ? ChannelRecord::State::Failed
                   : sound        ? ChannelRecord::State::Complete
                                  : ChannelRecord::State::Incomplete;
    return record;
}

}  // namespace segweld::station
