#pragma once
// What the GDB stub's packet reader makes of bytes that arrive in the given pieces, for the
// packet tables: "P:" and the payload for a packet, "I" for a break-in, "?" for garbled bytes.
#include <string>
#include <variant>
#include <vector>

#include "arm/gdb_connection.hpp"

namespace nuvtest {

inline std::vector<std::string> readPackets(const std::vector<std::string>& pieces) {
    namespace gdb = sim::arm::gdb;
    gdb::PacketReader reader;
    std::vector<std::string> seen;
    for (const std::string& piece : pieces) {
        reader.feed(piece);
        while (auto input = reader.next()) {
            if (const auto* packet = std::get_if<gdb::Packet>(&*input))
                seen.push_back("P:" + packet->payload);
            else
                seen.push_back(std::holds_alternative<gdb::BreakIn>(*input) ? "I" : "?");
        }
    }
    return seen;
}

}  // namespace nuvtest
