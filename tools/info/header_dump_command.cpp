#include <cstdio>

#include "tools/info/header_json.h"
#include "tools/info/header_reading.h"
#include "tools/info/header_table.h"
#include "tools/info/info_commands.h"

namespace segweld::info {

int RunHeaderDump(const InfoOptions& options) {
    bool allAccepted = true;
    Json documents = Json::array();
    for (size_t i = 0; i < options.files.size(); ++i) {
        const HeaderReading reading = ReadHeaderOfFile(options.files[i]);
        allAccepted = allAccepted && reading.accepted();
        if (options.json) {
            documents.push_back(HeaderReadingJson(reading));
        } else {
            std::fputs(((i > 0 ? "\n" : "") + HeaderTable(reading)).c_str(), stdout);
        }
    }
    if (options.json) {
        std::fputs(FormatJson(documents).c_str(), stdout);
    }
    return allAccepted ? kExitFine : kExitFound;
}

}  // namespace segweld::info
