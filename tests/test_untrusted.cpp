// What the simulator meets from outside, at the layer where each fault would live: the GDB
// packets a debugger sends, the platform's limits a module runs into, the characters the
// platform's own font is asked to draw, and the special files of a phone folder.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <netinet/in.h>
#include <unistd.h>

#include <sstream>
#include <thread>

#include <filesystem>
#include <string>
#include <vector>

#include "app_test.hpp"
#include "arm/cpu.hpp"
#include "arm/layout.hpp"
#include "arm/gdb_connection.hpp"
#include "packet_reading.hpp"
#include "arm/gdb_target.hpp"
#include "glyphs.hpp"
#include "host/host_module.hpp"
#include "phone.hpp"
#include "phone_module.hpp"
#include "png.hpp"
#include "session.hpp"

using namespace nuvtest;
namespace gdb = sim::arm::gdb;
namespace fs = std::filesystem;

namespace {

TEST(UntrustedPackets, ChecksumsAndDigitsAreReadExactly) {
    const std::string overlong(gdb::kMostPacketBytes, 'a');
    struct Case {
        const char* what;
        std::vector<std::string> pieces;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"a checksum whose first digit is 0", {"$qXfer#06"}, {"P:qXfer"}},
        {"the same with its digits wrong", {"$qXfer#60"}, {"?"}},
        {"a checksum digit that is no digit", {"$g#6z$g#67"}, {"?", "P:g"}},
        {"a packet with no end, past the size offered", {"$" + overlong, overlong, "#00$g#67"}, {"?", "P:g"}},
        {"a whole packet past the size offered", {"$" + overlong + "#00", "$c#63"}, {"?", "P:c"}},
        {"a whole packet one byte past it, its checksum right",
         {gdb::frame(std::string(gdb::kMostPacketBytes - 3, 'a')), "$c#63"},
         {"?", "P:c"}},
        {"a packet just within it",
         {"$" + std::string(gdb::kMostPacketBytes - 4, 'a') + "#" +
          gdb::hexOfBytes(
              std::string(1, static_cast<char>(gdb::checksum(std::string(gdb::kMostPacketBytes - 4, 'a')))))},
         {"P:" + std::string(gdb::kMostPacketBytes - 4, 'a')}},
    };
    for (const Case& c : cases) EXPECT_EQ(nuvtest::readPackets(c.pieces), c.expected) << c.what;
    // Every pair with a bad digit, first or second, is refused.
    for (const char* digits : {"0g", "g0", "0 ", "-1", "1x"}) EXPECT_EQ(gdb::unhex(digits), std::nullopt) << digits;
    EXPECT_EQ(gdb::unhex("0a1F"), std::string("\x0a\x1f", 2));
}

// What `set $r0 = ...` and `set $pc = ...` send: a register written from its little-endian bytes.
TEST(UntrustedPackets, RegisterWritesTakeLittleEndianBytes) {
    sim::arm::Cpu cpu;
    sim::arm::GdbTarget target;
    target.use(&cpu);
    EXPECT_TRUE(target.setRegister(0, "78563412"));
    EXPECT_EQ(cpu.read(sim::arm::Reg::R0), 0x12345678u);
    EXPECT_TRUE(target.setRegister(12, "efbeadde"));
    EXPECT_EQ(cpu.read(sim::arm::Reg::R12), 0xDEADBEEFu);
    for (const char* bad : {"785634", "7856341", "785634zz", "7856341200"})
        EXPECT_FALSE(target.setRegister(1, bad)) << bad;
    EXPECT_EQ(cpu.read(sim::arm::Reg::R1), 0u);
    EXPECT_FALSE(target.setRegister(40, "00000000"));
}

// A wait that times out is no closed connection; a closed one is.
TEST(UntrustedPackets, APollTimeoutIsNotAClosedConnection) {
    int ends[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    gdb::Connection connection(ends[0]);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(connection.receive(10)));
    ASSERT_EQ(::write(ends[1], "$g#67", 5), 5);
    const auto got = connection.receive(1000);
    ASSERT_TRUE(std::holds_alternative<gdb::Input>(got));
    EXPECT_EQ(std::get<gdb::Packet>(std::get<gdb::Input>(got)).payload, "g");
    ::close(ends[1]);
    EXPECT_TRUE(std::holds_alternative<gdb::Connection::Closed>(connection.receive(1000)));
}

// A free port of 127.0.0.1, as the system gives one.
std::uint16_t freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

// A debugger's side: sends each packet and takes the payload of the reply, without acknowledgements.
std::vector<std::string> askDebugger(std::uint16_t port, const std::vector<std::string>& packets) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    for (int tries = 0; ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 && tries < 200;)
        ++tries, ::usleep(20000);
    gdb::PacketReader reader;
    std::vector<std::string> answers;
    for (const std::string& packet : packets) {
        const std::string framed = gdb::frame(packet);
        if (::write(fd, framed.data(), framed.size()) != static_cast<ssize_t>(framed.size())) break;
        std::optional<gdb::Input> input;
        char bytes[4096];
        while (!(input = reader.next())) {
            const ssize_t got = ::read(fd, bytes, sizeof bytes);
            if (got <= 0) break;
            reader.feed(std::string_view(bytes, static_cast<std::size_t>(got)));
        }
        const auto* reply = input ? std::get_if<gdb::Packet>(&*input) : nullptr;
        answers.push_back(reply ? reply->payload : "(none)");
    }
    ::close(fd);
    return answers;
}

// Each packet the stub takes, with its exact answer, on the phone's module stopped before its
// entry: register writes, the data of M and X after their colon, breakpoints of both kinds, and
// the heap's window read back (its red zones too, with no sanitizer report).
TEST(UntrustedPackets, TheStubAnswersEachPacketExactly) {
    NUV_SKIP_WITHOUT_PHONE_MODULE();
    struct Row {
        std::string packet, answer;
    };
    const Row rows[] = {
        {"QStartNoAckMode", "OK"},
        {"P0=78563412", "OK"},
        {"p0", "78563412"},
        {"P1=7856341z", "E01"},
        {"M10000100,4:01020304", "OK"},
        {"X10000104,2:ab", "OK"},
        {"m10000102,4", "03046162"},
        {"M10000100,2:0102ff", "E14"},  // more data than it says
        {"m10000200,4", "00000000"},    // the heap's window where no block lies
        {"Z0,1000100,2", "OK"},
        {"Z1,1000100,2", "OK"},
        {"z0,1000100,2", "OK"},
        {"Z3,1000100,2", ""},  // an access watchpoint: not supported
        {"D", "OK"},
    };
    std::vector<std::string> packets, expected;
    for (const Row& row : rows) packets.push_back(row.packet), expected.push_back(row.answer);
    TempFolder folder;
    runner::SessionConfig config;
    config.fs = folder.path(), config.module = NUV_ARM_MODULE_PATH, config.gdbPort = freePort();
    std::ostringstream out, err;
    std::vector<std::string> answers;
    std::thread debugger([&] { answers = askDebugger(*config.gdbPort, packets); });
    runner::Session session(config, out, err);
    (void)session.start();
    debugger.join();
    EXPECT_EQ(answers, expected) << err.str();
    session.finish(sim::ExitStatus::Ran);
}

// The phone's module is handed its path at the top of its stack, which may take half the stack:
// the longest path that fits starts, one character more is refused.
TEST(UntrustedPaths, TheLongestApplicationPathThatFitsStarts) {
    NUV_SKIP_WITHOUT_PHONE_MODULE();
    constexpr std::size_t longest = sim::arm::kStackBytes / 2 - 1;
    for (const std::size_t length : {longest, longest + 1}) {
        TempFolder folder;
        runner::SessionConfig config;
        config.fs = folder.path(), config.module = NUV_ARM_MODULE_PATH;
        config.app = "/elf/" + std::string(length - 5, 'a');
        std::ostringstream out, err;
        runner::Session session(config, out, err);
        const auto started = session.start();
        if (length == longest)
            EXPECT_EQ(started, std::nullopt) << err.str().substr(0, 300);
        else
            EXPECT_EQ(started, sim::ExitStatus::Refused) << err.str().substr(0, 300);
        session.finish(started.value_or(sim::ExitStatus::Ran));
    }
}

UINT32 startNothing(event_context_t*, UINT32) { return 0; }

class UntrustedPlatform : public ::testing::Test {
protected:
    UntrustedPlatform() { fs::create_directories(root.path() / "elf"); }
    TempFolder root;
    sim::Phone phone{sim::PhoneOptions{root.path(), LANGUAGE_ENGLISH}};
};

// The resources a module holds together stay within their limit, whether made or grown.
TEST_F(UntrustedPlatform, ResourcesStayWithinTheirLimit) {
    constexpr std::size_t most = sim::Resources::kMostBytes;
    const std::vector<std::uint8_t> bytes(most + 1, 0x5A);
    sim::Resources& r = phone.resources();
    const auto small = r.create(1, bytes.data(), 1 << 20);
    const auto grown = r.create(1, bytes.data(), 1);
    ASSERT_TRUE(small && grown);
    EXPECT_FALSE(r.set(*grown, bytes.data(), static_cast<std::uint32_t>(most - (1 << 20) + 1)));
    EXPECT_TRUE(r.set(*grown, bytes.data(), static_cast<std::uint32_t>(most - (1 << 20))));
    EXPECT_FALSE(r.create(1, bytes.data(), 1));
    EXPECT_TRUE(r.clear(*small));
    EXPECT_FALSE(r.set(*grown, bytes.data(), static_cast<std::uint32_t>(most + 1)));
    EXPECT_TRUE(r.set(*grown, bytes.data(), static_cast<std::uint32_t>(most)));
}

// Registration needs every table it names: a null pointer for the event codes is refused.
TEST_F(UntrustedPlatform, RegistrationRefusesAMissingTable) {
    const state_row_t states[] = {{0, {}, nullptr, nullptr, nullptr}};
    const std::uint32_t base = 7;
    sim::HostCode code{phone.watchdog()};
    phone.framework().useCode(code);
    const auto table = sim::hostAddress(states), start = sim::hostAddress(startNothing);
    EXPECT_EQ(phone.framework().registerApp(nullptr, 1, table, 1, start), 1u);
    EXPECT_EQ(phone.framework().registerApp(&base, 0, table, 1, start), 1u);
    EXPECT_EQ(phone.framework().registerApp(&base, 1, table, 0, start), 1u);
    EXPECT_FALSE(phone.framework().registered());
    EXPECT_EQ(phone.framework().registerApp(&base, 1, table, 1, start), 0u);
    EXPECT_TRUE(phone.framework().registered());
}

sim::Surface drawn(std::u16string_view text) {
    sim::Surface s(64, 16);
    sim::drawPlatformText(s, 0, 0, text, 0xFFFF);
    return s;
}

// The platform's font draws a character it has no cell for as "?", and the Cyrillic letters
// outside the block of the basic alphabet as the letter they look like.
TEST(UntrustedText, ThePlatformFontDrawsEveryCharacter) {
    struct Case {
        std::u16string text, lookalike;
    };
    const Case cases[] = {
        {u"\u0401\u0451", u"\u0415\u0435"},  // Ё ё as Е е
        {u"\u0001\u001B\u007F", u"???"},     // control characters
        {u"\u4E2D\U0001F600", u"???"},       // no cell: a CJK character, an emoji's two halves
        {u"\u040E\u0490", u"\u0423\u0413"},  // Ў Ґ as У Г
        {u"\u0410\u044F", u"\u0410\u044F"},  // the block's ends draw as themselves
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(drawn(c.text) == drawn(c.lookalike)) << std::string(c.text.begin(), c.text.end());
        EXPECT_FALSE(drawn(c.text) == drawn(u"")) << "nothing drawn";
    }
    EXPECT_FALSE(drawn(u"\u0415") == drawn(u"?"));
}

// A reference picture is refused by its header: another size, or a bomb that says 60000 x 60000.
TEST(UntrustedFiles, SpecialFilesAreRefusedAtOnce) {
    TempFolder folder;
    const fs::path fifo = folder.path() / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const fs::path& special : {fifo, fs::path("/dev/zero"), folder.path()}) {
        const auto read = sim::readHostFile(special);
        ASSERT_FALSE(read) << special;
        EXPECT_NE(read.error().message.find("not a regular file"), std::string::npos) << read.error().message;
        EXPECT_FALSE(sim::readPng(special)) << special;
    }
    EXPECT_FALSE(sim::replaceHostFile(fifo, "x"));
    // A read is bounded: a file of the most bytes is read, one of a byte more refused.
    ASSERT_TRUE(sim::replaceHostFile(folder.path() / "four", "1234"));
    EXPECT_EQ(sim::readHostFile(folder.path() / "four", 4).value_or(""), "1234");
    EXPECT_FALSE(sim::readHostFile(folder.path() / "four", 3));
    sim::Surface small(10, 10);
    ASSERT_TRUE(sim::writePng(small, folder.path() / "small.png"));
    const auto refused = sim::readPng(folder.path() / "small.png", sim::Size{176, 220});
    ASSERT_FALSE(refused);
    EXPECT_NE(refused.error().message.find("10 x 10 pixels, not 176 x 220"), std::string::npos);
    // A file written anew is no longer the hard link it was.
    const fs::path outside = folder.path() / "outside", link = folder.path() / "link";
    ASSERT_TRUE(sim::replaceHostFile(outside, "keep"));
    fs::create_hard_link(outside, link);
    ASSERT_TRUE(sim::replaceHostFile(link, "new"));
    EXPECT_EQ(readFile(outside), "keep");
    EXPECT_EQ(readFile(link), "new");
}

// The platform's file calls fail at once on a special file in the phone folder.
TEST_F(UntrustedPlatform, ThePlatformOpensOnlyRegularFiles) {
    const fs::path fifo = root.path() / "elf/BlackList.tmp";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directories(root.path() / "elf/folder");
    for (const char16_t* path : {u"/elf/BlackList.tmp", u"/elf/folder"})
        for (const auto mode : {sim::OpenMode::Read, sim::OpenMode::Write})
            EXPECT_EQ(phone.files().open(path, mode), sim::FileSystem::kInvalidHandle);
    EXPECT_TRUE(fs::is_fifo(fifo));
}

}  // namespace
