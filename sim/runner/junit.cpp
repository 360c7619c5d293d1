#include "junit.hpp"

#include <cstdio>
#include <fstream>

#include "utf.hpp"

namespace runner {

std::string xmlEscaped(std::string_view text) {
    bool valid = true;
    const std::u16string wide = sim::utf16FromUtf8(std::string(text), valid);
    std::string out;
    for (const char16_t c : wide) {
        switch (c) {
        case u'&': out += "&amp;"; continue;
        case u'<': out += "&lt;"; continue;
        case u'>': out += "&gt;"; continue;
        case u'"': out += "&quot;"; continue;
        case u'\'': out += "&apos;"; continue;
        default: break;
        }
        const bool allowed = c == u'\t' || c == u'\n' || c == u'\r' || (c >= 0x20 && c != 0xFFFE && c != 0xFFFF);
        out += sim::utf8FromUtf16(std::u16string(1, allowed ? c : u'\uFFFD'));
    }
    return out;
}

std::string junitXml(const std::string& suite, const std::vector<CaseOutcome>& cases) {
    std::size_t failures = 0;
    double seconds = 0;
    for (const CaseOutcome& c : cases) failures += !c.passed, seconds += c.seconds;
    const auto time = [](double s) {
        char text[32];
        std::snprintf(text, sizeof text, "%.3f", s);
        return std::string(text);
    };
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites>\n  <testsuite name=\"" +
                      xmlEscaped(suite) + "\" tests=\"" + std::to_string(cases.size()) + "\" failures=\"" +
                      std::to_string(failures) + "\" errors=\"0\" time=\"" + time(seconds) + "\">\n";
    for (const CaseOutcome& c : cases) {
        xml += "    <testcase classname=\"" + xmlEscaped(suite) + "\" name=\"" + xmlEscaped(c.name) + "\" time=\"" +
               time(c.seconds) + "\"";
        if (c.passed && c.output.empty()) {
            xml += "/>\n";
            continue;
        }
        xml += ">\n";
        if (!c.passed)
            xml += "      <failure message=\"" + xmlEscaped(c.failure) + "\">" + xmlEscaped(c.failure) + "</failure>\n";
        if (!c.output.empty()) xml += "      <system-out>" + xmlEscaped(c.output) + "</system-out>\n";
        xml += "    </testcase>\n";
    }
    return xml + "  </testsuite>\n</testsuites>\n";
}

sim::Result<> writeJunit(const std::filesystem::path& file, const std::string& suite,
                         const std::vector<CaseOutcome>& cases) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << junitXml(suite, cases);
    out.close();
    if (!out) return sim::failure("cannot write the JUnit report " + file.string());
    return {};
}

}  // namespace runner
