// The framing of GDB's remote protocol: what comes from the debugger cut into packets and
// interrupts, and what goes to it framed and escaped.
#include <gtest/gtest.h>

#include "arm/gdb_connection.hpp"
#include "packet_reading.hpp"

namespace gdb = sim::arm::gdb;

namespace {

TEST(GdbPackets, ReaderCutsPacketsAndInterrupts) {
    struct Case {
        std::vector<std::string> pieces;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {{"$g#67"}, {"P:g"}},
        {{"+$qSupported:multiprocess+#c6"}, {"P:qSupported:multiprocess+"}},
        {{"$m10", "00,4#", "8e"}, {"P:m1000,4"}},          // split anywhere
        {{"\x03"}, {"I"}},                                 // Ctrl-C between packets
        {{"$X100,2:\x03}]#", "5e"}, {"P:X100,2:\x03}]"}},  // 0x03 inside a packet is data
        {{"$g#00$?#3f"}, {"?", "P:?"}},                    // a bad checksum, then a good packet
        {{"$g#6"}, {}},                                    // incomplete: nothing yet
        {{"-+noise$c#63"}, {"P:c"}},
    };
    for (const Case& c : cases) EXPECT_EQ(nuvtest::readPackets(c.pieces), c.expected) << c.pieces.front();
}

TEST(GdbPackets, FramingEscapingAndHex) {
    EXPECT_EQ(gdb::frame("OK"), "$OK#9a");
    EXPECT_EQ(gdb::frame(""), "$#00");
    // Every byte that would end or start a packet is escaped, and comes back.
    const std::string binary = std::string("a#b$c}d*e\0f", 11);
    EXPECT_EQ(gdb::escape(binary), std::string("a}\x03"
                                               "b}\x04"
                                               "c}]d}\x0a"
                                               "e\0f",
                                               15));
    EXPECT_EQ(gdb::unescape(gdb::escape(binary)), binary);
    EXPECT_EQ(gdb::hexOfBytes(std::string("\x01\xab\xff", 3)), "01abff");
    EXPECT_EQ(gdb::unhex("01ABff"), std::string("\x01\xab\xff", 3));
    EXPECT_EQ(gdb::unhex("0"), std::nullopt);
    EXPECT_EQ(gdb::unhex("zz"), std::nullopt);
}

}  // namespace
