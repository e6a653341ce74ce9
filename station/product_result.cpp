#include "station/product_result.h"

namespace segweld::station {

const char* StatusName(ProductStatus status) {
    switch (status) {
        case ProductStatus::Joined:
            return "joined";
        case ProductStatus::UpToDate:
            return "up to date";
        case ProductStatus::Incomplete:
            return "incomplete";
        case ProductStatus::Failed:
            return "failed";
    }
    return "failed";
}

ProductResult UpToDateResult(const Product& product, const std::string& outputPath) {
    ProductResult result;
    result.key = product.key;
    result.status = ProductStatus::UpToDate;
    result.outputPath = outputPath;
    return result;
}

ProductResult FailedResult(const Product& product, FailureKind failure, const std::string& error) {
    ProductResult result;
    result.key = product.key;
    result.failure = failure;
    result.error = error;
    return result;
}

}  // namespace segweld::station
