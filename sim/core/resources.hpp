#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "fault.hpp"
#include "platform/resources.h"

namespace sim {

// The phone's language unless it is told another.
inline constexpr std::uint8_t kDefaultLanguage = LANGUAGE_ENGLISH;

// The phone's language and its resource store. The store holds at most kMostResources
// resources of kMostBytes together, as a phone's would: past that, creating or growing one fails.
class Resources {
public:
    static constexpr std::size_t kMostResources = 1024;
    static constexpr std::size_t kMostBytes = std::size_t{16} << 20;
    // The most of a text resource that text() gives: far more than any title or label shows.
    static constexpr std::size_t kMostTextUnits = 4096;

    explicit Resources(std::uint8_t language = kDefaultLanguage) : language_(language) {}

    std::uint8_t language() const { return language_; }
    void setLanguage(std::uint8_t id) { language_ = id; }

    // The new resource's id, or nothing when it cannot be created.
    std::optional<std::uint32_t> create(std::uint32_t kind, const void* data, std::uint32_t size);
    bool set(std::uint32_t id, const void* data, std::uint32_t size);
    bool clear(std::uint32_t id);

    std::size_t count() const { return store_.size(); }
    // The content of a text resource as 16-bit code units, without the terminator, at most
    // kMostTextUnits of them.
    std::u16string text(std::uint32_t id) const;
    FaultPlan& creationFaults() { return faults_; }

private:
    struct Resource {
        std::uint32_t kind;
        std::vector<std::uint8_t> bytes;
    };
    std::uint8_t language_;
    std::uint32_t nextId_ = 0x1000;
    std::map<std::uint32_t, Resource> store_;
    std::size_t bytes_ = 0;
    FaultPlan faults_;
};

}  // namespace sim
