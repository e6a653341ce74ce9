#include "hrit/annotation.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "hrit/bounded_text.h"
#include "hrit/channel.h"
#include "hrit/token_splitter.h"

namespace segweld {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The integer at the start of `text` as atoi reads it (leading blanks, an
// optional sign, digits up to the first other character), held within the
// range of a 32-bit integer instead of overflowing.
int32_t LeadingInteger(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > int64_t{INT32_MAX} + 1) {
            value = int64_t{INT32_MAX} + 1;
        }
    }
    value = negative ? -value : value;
    return static_cast<int32_t>(value > INT32_MAX ? INT32_MAX : value);
}

// The part of the time token at fixed columns; columns beyond the token's end
// are absent, so a part wholly beyond it converts to 0.
int32_t TimePart(std::string_view token, size_t first, size_t count) {
    if (first >= token.size()) {
        return 0;
    }
    return LeadingInteger(token.substr(first, count));
}

void ClassifySource(HritHeader& header) {
    const std::string_view name = TextOf(header.sourceName);
    if (name.starts_with("MSG")) {
        CopyText(header.sourceClass, name);
    } else if (name.starts_with("SERVICE")) {
        CopyText(header.sourceClass, "Srvc");
    } else if (name == "MPEF") {
        CopyText(header.sourceClass, "Mpef");
    } else if (name.starts_with("MET")) {
        CopyText(header.sourceClass, "MET");
    } else {
        CopyText(header.sourceClass, "Frgn");
    }
}

void TakeSegmentToken(std::string_view token, HritHeader& header) {
    const bool noChannel = header.channel[0] == '\0';
    header.segmentKind = 0;
    if (token.starts_with("PRO_")) {
        header.segmentKind = noChannel ? 'P' : 'p';
    } else if (token.starts_with("EPI_")) {
        header.segmentKind = noChannel ? 'E' : 'e';
    } else {
        header.segmentNumber = LeadingInteger(token);
    }
}

void TakeTimeToken(std::string_view token, HritHeader& header) {
    CopyText(header.timeText, token);
    header.nominalTime = std::tm{};
    header.nominalTime.tm_year = TimePart(token, 0, 4) - 1900;
    header.nominalTime.tm_mon = TimePart(token, 4, 2) - 1;
    header.nominalTime.tm_mday = TimePart(token, 6, 2);
    header.nominalTime.tm_hour = TimePart(token, 8, 2);
    header.nominalTime.tm_min = TimePart(token, 10, 2);
}

void TakeMarksToken(std::string_view token, HritHeader& header) {
    header.compressedMark = token.find('C') != std::string_view::npos ? 'C' : '_';
    header.encryptedMark = token.find('E') != std::string_view::npos ? 'E' : '_';
}

// A number of the time label as strftime writes %d, %m, %H and %M in the GNU
// C library, for any value: at least two digits, a minus sign counting as one.
// Other C libraries refuse dates outside the calendar, so it is written here.
std::string TwoDigits(int64_t value) {
    std::string text = std::to_string(value < 0 ? -value : value);
    if (value < 0) {
        return "-" + text;
    }
    return text.size() < 2 ? "0" + text : text;
}

// strftime's "%d-%m-%y %H:%M  " on the members as they are, also where they
// are outside their calendar ranges (a cleared time has day 0).
std::string TimeLabel(const std::tm& time) {
    const int64_t year = int64_t{time.tm_year} + 1900;
    const int64_t yearOfCentury = (year % 100 + 100) % 100;
    return TwoDigits(time.tm_mday) + "-" + TwoDigits(int64_t{time.tm_mon} + 1) + "-" +
           TwoDigits(yearOfCentury) + " " + TwoDigits(time.tm_hour) + ":" + TwoDigits(time.tm_min) +
           "  ";
}

void ComposeTexts(HritHeader& header) {
    if (header.channelCode >= 0) {
        FormatText(header.shortName, sizeof header.shortName, "%s%c%x%02x", header.timeText,
                   header.hritOrLrit, static_cast<unsigned>(header.channelCode),
                   static_cast<unsigned>(header.segmentNumber));
    } else {
        FormatText(header.shortName, sizeof header.shortName, "%s%c%s%02x", header.timeText,
                   header.hritOrLrit, header.channel, static_cast<unsigned>(header.segmentNumber));
    }
    FormatText(header.label, sizeof header.label, "%-10s %c   ", header.channel, header.hritOrLrit);
    CopyText(header.timeLabel, TimeLabel(header.nominalTime));
}

}  // namespace

void TrimTrailingUnderscores(char* text) {
    size_t length = std::strlen(text);
    while (length > 0 && text[length - 1] == '_') {
        text[--length] = '\0';
    }
}

int DecodeAnnotation(HritHeader& header) {
    const std::string_view text = TextOf(header.annotation);
    if (text.size() < 9 || text.substr(6, 3) != "MSG") {
        return 0;
    }
    return ParseAnnotation(header);
}

int ParseAnnotation(HritHeader& header) {
    // The tokens are views of `annotation`, which the parse never changes.
    const std::string_view text = TextOf(header.annotation);
    if (text.find('-') == std::string_view::npos) {
        return 0;
    }
    TokenSplitter tokens(text, '-');

    std::optional<std::string_view> token = tokens.Next();
    if (!token) {
        return 0;
    }
    header.hritOrLrit = token->front();

    if (!(token = tokens.Next())) {
        return 0;
    }
    CopyText(header.formatVersion, *token, 4);

    if (!(token = tokens.Next())) {
        return 0;
    }
    CopyText(header.disseminationId, *token, 7);
    TrimTrailingUnderscores(header.disseminationId);

    if (!(token = tokens.Next())) {
        return 0;
    }
    CopyText(header.sourceName, *token, 13);
    TrimTrailingUnderscores(header.sourceName);
    ClassifySource(header);

    if (!(token = tokens.Next())) {
        return 0;
    }
    CopyText(header.channel, *token, 10);
    TrimTrailingUnderscores(header.channel);

    if ((token = tokens.Next())) {
        TakeSegmentToken(*token, header);
        if ((token = tokens.Next())) {
            TakeTimeToken(*token, header);
            if ((token = tokens.Next())) {
                TakeMarksToken(*token, header);
            }
        }
    }

    ClassifyChannel(header);
    ComposeTexts(header);
    return 1;
}

}  // namespace segweld
