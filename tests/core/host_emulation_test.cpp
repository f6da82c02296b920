// Under a processor emulator the programs leave out what cannot run there: they must see the
// machine as the scripts that start them do.
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "host/core/emulation.h"

namespace {

TEST(Emulation, TheProgramSeesTheMachineAsItsScriptDoes) {
    const bool answer = tmhost::running_under_emulation();
    // scripts/test says what it found; a program that disagreed would check more, or less, than
    // the script's lines promise.
    if (const char* expected = std::getenv("TONEMIX_EXPECT_EMULATION")) {
        EXPECT_EQ(answer, std::string(expected) == "1") << "TONEMIX_EXPECT_EMULATION=" << expected;
    }
    // One answer for the life of the process, from any thread.
    std::vector<int> answers(8, -1);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < answers.size(); ++t) {
        threads.emplace_back([&answers, t] { answers[t] = tmhost::running_under_emulation(); });
    }
    for (std::thread& thread : threads) thread.join();
    for (int each : answers) EXPECT_EQ(each, answer ? 1 : 0);
}

}  // namespace
