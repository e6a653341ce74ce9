// The processors a process may use, as the system in hand (Linux, or Windows
// under Wine) tells them.

#include "os/processor_count.h"

#include <gtest/gtest.h>

#include <thread>

namespace segweld::os {
namespace {

TEST(ProcessorCountTest, BetweenOneAndTheMachines) {
    const unsigned usable = UsableProcessorCount();
    EXPECT_GE(usable, 1u);
    if (std::thread::hardware_concurrency() > 0) {
        EXPECT_LE(usable, std::thread::hardware_concurrency());
    }
}

}  // namespace
}  // namespace segweld::os
