#pragma once
// A suite's results as JUnit XML, which CI systems read: one test case a script.
#include <filesystem>
#include <string>
#include <vector>

#include "result.hpp"

namespace runner {

struct CaseOutcome {
    std::string name;  // the script's path from the folder the suite was given
    bool passed = false;
    std::string failure;  // why it failed: the message, with its script line
    std::string output;   // what the case said
    double seconds = 0;
};

// The XML of the suite `suite`, its cases in order.
std::string junitXml(const std::string& suite, const std::vector<CaseOutcome>& cases);
sim::Result<> writeJunit(const std::filesystem::path& file, const std::string& suite,
                         const std::vector<CaseOutcome>& cases);

// Text made fit for XML: the five markup characters escaped, control characters (which XML 1.0
// cannot hold) and bytes that are not UTF-8 shown as U+FFFD.
std::string xmlEscaped(std::string_view text);

}  // namespace runner
