#include "line_coverage.hpp"

#include <charconv>
#include <fstream>
#include <sstream>

namespace sim {

void LineCoverage::line(const std::string& file, std::uint32_t line, std::uint64_t count) {
    files_[file].lines[line] += count;
}

void LineCoverage::function(const std::string& file, const std::string& name, std::uint32_t line,
                            std::uint64_t count) {
    Function& f = files_[file].functions[name];
    if (!f.line) f.line = line;
    f.count += count;
}

void LineCoverage::add(const LineCoverage& other) {
    for (const auto& [name, file] : other.files_) {
        for (const auto& [number, count] : file.lines) line(name, number, count);
        for (const auto& [function, f] : file.functions) this->function(name, function, f.line, f.count);
    }
}

std::string LineCoverage::tracefile() const {
    std::ostringstream out;
    for (const auto& [name, file] : files_) {
        out << "TN:\nSF:" << name << "\n";
        std::size_t entered = 0;
        for (const auto& [function, f] : file.functions) out << "FN:" << f.line << "," << function << "\n";
        for (const auto& [function, f] : file.functions) {
            out << "FNDA:" << f.count << "," << function << "\n";
            entered += f.count > 0;
        }
        out << "FNF:" << file.functions.size() << "\nFNH:" << entered << "\n";
        std::size_t hit = 0;
        for (const auto& [number, count] : file.lines) {
            out << "DA:" << number << "," << count << "\n";
            hit += count > 0;
        }
        out << "LF:" << file.lines.size() << "\nLH:" << hit << "\nend_of_record\n";
    }
    return out.str();
}

Result<> LineCoverage::write(const std::filesystem::path& path) const {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << tracefile();
    out.close();
    if (!out) return failure("cannot write the coverage " + path.string());
    return {};
}

namespace {

template <class T>
bool number(std::string_view text, T& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

}  // namespace

Result<LineCoverage> LineCoverage::read(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return failure("cannot read the coverage " + path.string());
    LineCoverage coverage;
    std::string file, text;
    std::map<std::string, std::uint32_t> starts;
    for (int number_ = 1; std::getline(in, text); ++number_) {
        const std::string_view line(text);
        const auto colon = line.find(':');
        const std::string_view key = line.substr(0, colon), value = colon == line.npos ? "" : line.substr(colon + 1);
        const auto comma = value.find(',');
        const std::string_view first = value.substr(0, comma), rest = comma == value.npos ? "" : value.substr(comma + 1);
        bool good = true;
        if (key == "SF") {
            file = value, starts.clear();
        } else if (key == "DA") {
            std::uint32_t at = 0;
            std::uint64_t count = 0;
            good = number(first, at) && number(rest, count);
            if (good) coverage.line(file, at, count);
        } else if (key == "FN") {
            std::uint32_t at = 0;
            good = number(first, at);
            if (good) starts[std::string(rest)] = at;
        } else if (key == "FNDA") {
            std::uint64_t count = 0;
            good = number(first, count);
            if (good) coverage.function(file, std::string(rest), starts[std::string(rest)], count);
        }
        if (!good) return failure(path.string() + " line " + std::to_string(number_) + " is no lcov line");
    }
    return coverage;
}

}  // namespace sim
