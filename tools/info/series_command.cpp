#include <cstdio>

#include "tools/info/info_commands.h"
#include "tools/info/series_json.h"
#include "tools/info/series_survey.h"
#include "tools/info/series_text.h"

namespace segweld::info {

int RunSeries(const InfoOptions& options) {
    const SeriesReport report = SurveySeries(options.files.front());
    const std::string text = options.json ? FormatJson(SeriesJson(report)) : SeriesText(report);
    std::fputs(text.c_str(), stdout);
    return report.survey.CompleteAndUndamaged() ? kExitFine : kExitFound;
}

}  // namespace segweld::info
