#pragma once
// GDB's remote serial protocol over TCP: packets framed as $payload#checksum, acknowledged with
// + or - until both sides agree to stop (QStartNoAckMode), and the lone byte 0x03 by which the
// debugger interrupts a running program.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "result.hpp"

namespace sim::arm::gdb {

// The checksum of a payload: the sum of its bytes modulo 256.
std::uint8_t checksum(std::string_view payload);
// $payload#xx.
std::string frame(std::string_view payload);
// Binary data in a reply: '#', '$', '}' and '*' go as '}' and the byte xor 0x20.
std::string escape(std::string_view bytes);
std::string unescape(std::string_view bytes);
// Bytes as two lower-case hexadecimal digits each, and back (nothing for odd or bad digits).
std::string hexOfBytes(std::string_view bytes);
std::optional<std::string> unhex(std::string_view digits);

// What came from the debugger.
struct Packet {
    std::string payload;
};
struct BreakIn {};
// A packet whose checksum did not match: it is asked for again.
struct Garbled {};
using Input = std::variant<Packet, BreakIn, Garbled>;

// The longest packet the stub takes, as it offers it to the debugger (qSupported's PacketSize, in
// hexadecimal): its payload, its '$', '#' and checksum included.
inline constexpr std::size_t kMostPacketBytes = 0x4000;

// Cuts the bytes that arrive into packets and interrupts; acknowledgements are skipped. A packet
// longer than kMostPacketBytes is garbled: said once, and its bytes dropped up to its end, so
// what is held stays below that size and no byte is scanned twice.
class PacketReader {
public:
    void feed(std::string_view bytes) { buffer_ += bytes; }
    std::optional<Input> next();

private:
    bool dropOverlong();
    std::string buffer_;
    std::size_t scanned_ = 1;  // the bytes after '$' already known to hold no '#'
    bool dropping_ = false;    // inside a packet too long to keep, until its '#'
    int checksumLeft_ = 0;     // of the dropped packet's checksum digits, still to skip
};

class Connection;

// A socket listening on 127.0.0.1 only, for one debugger.
class Listener {
public:
    // Port 0 takes any free port; port() then tells which.
    static Result<Listener> open(std::uint16_t port);
    Listener(Listener&& other) noexcept;
    Listener& operator=(Listener&& other) noexcept;
    ~Listener();

    std::uint16_t port() const { return port_; }
    // Waits for the debugger, calling `waiting` about every 50 ms; it ends the wait by returning false.
    Result<Connection> accept(const std::function<bool()>& waiting);

private:
    explicit Listener(int fd, std::uint16_t port) : fd_(fd), port_(port) {}
    int fd_ = -1;
    std::uint16_t port_ = 0;
};

class Connection {
public:
    explicit Connection(int fd) : fd_(fd) {}
    Connection(Connection&& other) noexcept;
    Connection& operator=(Connection&& other) noexcept;
    ~Connection();

    // The next packet or interrupt, waiting at most `timeoutMs` (-1: as long as it takes); none
    // when nothing came in time. Closed: the debugger is gone.
    struct Closed {};
    std::variant<std::monostate, Input, Closed> receive(int timeoutMs);
    // Sends a packet (false when the debugger is gone).
    bool send(std::string_view payload);
    // From now on neither side acknowledges packets.
    void stopAcknowledging() { acknowledge_ = false; }
    int fd() const { return fd_; }

private:
    int fd_ = -1;
    bool acknowledge_ = true;
    PacketReader reader_;
};

}  // namespace sim::arm::gdb
