#include "outlook/DetectionGate.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace wrenpost {
namespace {

// Events: R requested, A answered, D deadline passed. Outcomes: L launch, J join, W await the
// blocked worker; a apply, d drop, r drop and relaunch; T report the time-out, F nothing to report.
std::string Outcomes(const std::string& events) {
    DetectionGate gate;
    std::string out;
    for (char event : events) {
        if (event == 'R') {
            out += "LJW"[static_cast<int>(gate.Requested())];
        } else if (event == 'A') {
            out += "adr"[static_cast<int>(gate.Answered())];
        } else {
            out += gate.DeadlinePassed() ? 'T' : 'F';
        }
    }
    return out;
}

TEST(DetectionGate, OneWorkerAtATimeAndLateAnswersNeverApply) {
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"RA", "La"},              // answered in time
        {"RRA", "LJa"},            // a second request shares the running one's answer
        {"RAD", "LaF"},            // a deadline after the answer reports nothing
        {"RDA", "LTd"},            // given up: the late answer is dropped
        {"RDDA", "LTFd"},          // reported once
        {"RDRA", "LTWr"},          // asked again while blocked: relaunched once it answers
        {"RDRDAR", "LTWTdL"},      // ... or reported again when it does not answer in time
        {"RDRDARA", "LTWTdLa"},    // and a later request starts afresh
    };
    for (const auto& [events, outcomes] : rows) {
        EXPECT_EQ(Outcomes(events), outcomes) << events;
    }
}

}  // namespace
}  // namespace wrenpost
