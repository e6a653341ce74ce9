#include "hrit/channel.h"

#include <array>
#include <string_view>

#include "hrit/bounded_text.h"

namespace segweld {
namespace {

struct ChannelName {
    std::string_view name;
    int32_t code;
};

constexpr std::array<ChannelName, 12> kChannels{{
    {"VIS006", 1},
    {"VIS008", 2},
    {"IR_016", 3},
    {"IR_039", 4},
    {"WV_062", 5},
    {"WV_073", 6},
    {"IR_087", 7},
    {"IR_097", 8},
    {"IR_108", 9},
    {"IR_120", 10},
    {"IR_134", 11},
    {"HRV", 12},
}};

bool IsPrologueOrEpilogue(char kind) {
    return kind == 'p' || kind == 'P' || kind == 'e' || kind == 'E';
}

}  // namespace

void ClassifyChannel(HritHeader& header) {
    if (IsPrologueOrEpilogue(header.segmentKind)) {
        header.channelCode = 0;
        return;
    }
    header.channelCode = ChannelCodeOf(TextOf(header.channel));
}

int32_t ChannelCodeOf(std::string_view name) {
    for (const ChannelName& entry : kChannels) {
        if (entry.name == name) {
            return entry.code;
        }
    }
    return -1;
}

}  // namespace segweld
