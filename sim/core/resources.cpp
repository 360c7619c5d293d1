#include "resources.hpp"

#include <cstring>
#include <string>

namespace sim {

namespace {
std::vector<std::uint8_t> copyBytes(const void* data, std::uint32_t size) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    return data ? std::vector<std::uint8_t>(bytes, bytes + size) : std::vector<std::uint8_t>{};
}
}  // namespace

std::optional<std::uint32_t> Resources::create(std::uint32_t kind, const void* data, std::uint32_t size) {
    if (faults_.nextCallFails()) return std::nullopt;
    const std::size_t held = data ? size : 0;
    if (store_.size() == kMostResources || held > kMostBytes - bytes_) return std::nullopt;
    const std::uint32_t id = nextId_++;
    store_[id] = Resource{kind, copyBytes(data, size)};
    bytes_ += held;
    return id;
}

bool Resources::set(std::uint32_t id, const void* data, std::uint32_t size) {
    const auto found = store_.find(id);
    if (found == store_.end()) return false;
    const std::size_t held = data ? size : 0, old = found->second.bytes.size();
    if (held > kMostBytes - (bytes_ - old)) return false;
    found->second.bytes = copyBytes(data, size);
    bytes_ = bytes_ - old + held;
    return true;
}

bool Resources::clear(std::uint32_t id) {
    const auto found = store_.find(id);
    if (found == store_.end()) return false;
    bytes_ -= found->second.bytes.size();
    store_.erase(found);
    return true;
}

std::u16string Resources::text(std::uint32_t id) const {
    const auto found = store_.find(id);
    if (found == store_.end()) return {};
    const auto& bytes = found->second.bytes;
    std::u16string out;
    for (std::size_t i = 0; i + 1 < bytes.size() && out.size() < kMostTextUnits; i += 2) {
        char16_t unit;
        std::memcpy(&unit, &bytes[i], 2);
        if (unit == 0) break;
        out.push_back(unit);
    }
    return out;
}

}  // namespace sim
