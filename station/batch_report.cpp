#include "station/batch_report.h"

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

namespace segweld::station {

std::string BatchReportJson(const std::vector<ProductResult>& results) {
    nlohmann::json products = nlohmann::json::array();
    for (const ProductResult& result : results) {
        products.push_back({
            {"key", result.key},
            {"status", StatusName(result.status)},
            {"output",
             result.outputPath.empty() ? nlohmann::json() : nlohmann::json(result.outputPath)},
            {"segmentsJoined", result.segmentsJoined},
            {"missing", result.missing},
            {"damaged", result.damaged},
            {"filled", result.filled},
            {"warnings", result.warnings},
            {"error", result.error},
        });
    }
    // Replacement characters keep the report valid when a name is not UTF-8.
    return products.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

bool WriteReportFile(const std::string& path, const std::string& text, std::string& error) {
    const std::filesystem::path final(path);
    std::filesystem::path temporary = final;
    temporary.replace_filename("." + final.filename().string() + ".part");
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        out.close();
        if (!out) {
            error = "cannot write " + temporary.string();
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            return false;
        }
    }
    std::error_code failure;
    std::filesystem::rename(temporary, final, failure);
    if (failure) {
        error = "cannot write " + path + ": " + failure.message();
        std::filesystem::remove(temporary, failure);
        return false;
    }
    return true;
}

}  // namespace segweld::station
