#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "station/status_board.h"

namespace segweld::station {

// The watch's status page: one HTML document that needs nothing else (its
// style inline, no script, no font or picture to fetch) and reloads itself.
// The time slots of the last 24 hours form a grid of nominal time by
// channel, one per satellite and service, each cell coloured by its state
// and marked with a symbol, its counts in its title and the row's in text;
// slot times between those seen that saw no file are shown as missing.
// Below: the latest outputs, the products that wait, and the watch's health.
// `written` counts the outputs since the start.
std::string StatusPageHtml(const StatusView& view, uint64_t written);

// `text` with &, <, >, " and ' as character references.
std::string EscapedHtml(std::string_view text);

}  // namespace segweld::station
