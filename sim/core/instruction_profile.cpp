#include "instruction_profile.hpp"

#include <fstream>

namespace sim {

std::uint32_t InstructionProfile::file(std::string_view name) {
    const auto found = fileIndex_.find(name);
    if (found != fileIndex_.end()) return found->second;
    const auto index = static_cast<std::uint32_t>(files_.size());
    files_.emplace_back(name);
    fileIndex_.emplace(files_.back(), index);
    return index;
}

std::uint32_t InstructionProfile::function(std::string_view name, std::string_view source) {
    const std::uint32_t in = file(source);
    const auto [found, added] =
        functionIndex_.try_emplace({std::string(name), in}, static_cast<std::uint32_t>(functions_.size()));
    if (added) functions_.push_back({std::string(name), in});
    return found->second;
}

void InstructionProfile::ran(std::uint32_t function, std::uint32_t in, std::uint32_t line, std::uint64_t instructions) {
    self_[{function, in, line}] += instructions;
    total_ += instructions;
}

void InstructionProfile::called(Site caller, std::uint32_t callee, std::uint32_t calleeLine, std::uint64_t inclusive) {
    Call& call = calls_[{{caller.function, caller.file, caller.line}, callee}];
    ++call.count;
    call.inclusive += inclusive;
    call.calleeLine = calleeLine;
}

Result<> InstructionProfile::write(const std::filesystem::path& path, std::string_view command) const {
    std::ofstream out(path);
    out << "# callgrind format\nversion: 1\ncreator: nuv-oka-sim\ncmd: " << command
        << "\npositions: line\nevents: Ir\nsummary: " << total_ << "\n\nob=" << object_ << "\n";
    // Each function with its own costs, then the calls it made; a line of another file than the
    // function's (code taken in from a header) is said with fi=.
    for (std::uint32_t f = 0; f < functions_.size(); ++f) {
        const Function& function = functions_[f];
        out << "\nfl=" << files_[function.file] << "\nfn=" << function.name << "\n";
        std::uint32_t current = function.file;
        const auto inFile = [&](std::uint32_t in) {
            if (in == current) return;
            out << (in == function.file ? "fe=" : "fi=") << files_[in] << "\n";
            current = in;
        };
        for (auto it = self_.lower_bound({f, 0, 0}); it != self_.end() && std::get<0>(it->first) == f; ++it) {
            inFile(std::get<1>(it->first));
            out << std::get<2>(it->first) << " " << it->second << "\n";
        }
        for (auto it = calls_.lower_bound({{f, 0, 0}, 0}); it != calls_.end() && std::get<0>(it->first.first) == f;
             ++it) {
            const auto& [site, callee] = it->first;
            inFile(std::get<1>(site));
            out << "cob=" << object_ << "\ncfl=" << files_[functions_[callee].file]
                << "\ncfn=" << functions_[callee].name << "\ncalls=" << it->second.count << " " << it->second.calleeLine
                << "\n"
                << std::get<2>(site) << " " << it->second.inclusive << "\n";
        }
    }
    out << "\ntotals: " << total_ << "\n";
    out.close();
    if (!out) return failure("cannot write the profile " + path.string());
    return {};
}

}  // namespace sim
