#include "host_paths.hpp"

namespace sim {

Result<> folderFor(const std::filesystem::path& file) {
    const std::filesystem::path folder = file.parent_path();
    std::error_code ec;
    if (folder.empty() || std::filesystem::is_directory(folder, ec)) return {};
    if (file.is_absolute() || std::filesystem::exists(folder, ec))
        return failure("cannot write " + file.string() + ": there is no folder " + folder.string());
    std::filesystem::create_directories(folder, ec);
    if (ec) return failure("cannot write " + file.string() + ": cannot make its folder: " + ec.message());
    return {};
}

}  // namespace sim
