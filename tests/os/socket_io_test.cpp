#include "os/socket_io.h"

#include <gtest/gtest.h>

namespace segweld::os {
namespace {

// --metrics warns unless every address its host names is a loopback one.
TEST(SocketIo, LoopbackHostsAreTold) {
    const std::pair<const char*, bool> rows[] = {
        {"127.0.0.1", true},  {"127.3.2.1", true}, {"::1", true},
        {"192.0.2.1", false}, {"0.0.0.0", false},  {"::", false},
    };
    for (const auto& [host, loopback] : rows) {
        std::string error;
        EXPECT_EQ(IsLoopbackHost(host, error), loopback) << host;
        EXPECT_EQ(error, "") << host;
    }
    std::string error;
    EXPECT_FALSE(IsLoopbackHost("no.such.host.invalid", error));
    EXPECT_NE(error, "");
}

}  // namespace
}  // namespace segweld::os
