#pragma once

#include <functional>
#include <memory>
#include <string>

#include "station/station_options.h"

namespace segweld::station {

// The HTTP side of --metrics: GET /metrics and GET / answered with what the
// two page functions make, nothing else. Its threads run at a lower priority
// than the joins, read at most 16 KiB of a request within 5 s, and never hold
// a lock of the watch: the page functions take what they need in copies.
class MetricsEndpoint {
  public:
    using Page = std::function<std::string()>;
    struct Pages {
        Page metrics;  // the exposition text
        Page status;   // the HTML page
    };

    // Binds and starts serving; nullptr with `error` when the address cannot
    // be bound or named.
    static std::unique_ptr<MetricsEndpoint> Start(const ListenAddress& address, Pages pages,
                                                  std::string& error);
    virtual ~MetricsEndpoint() = default;

    // Where it serves: "http://127.0.0.1:9464/", the port found when 0 was asked.
    virtual std::string Url() const = 0;
};

}  // namespace segweld::station
