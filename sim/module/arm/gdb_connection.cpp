#include "gdb_connection.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <utility>

namespace sim::arm::gdb {

namespace {

constexpr char kDigits[] = "0123456789abcdef";
constexpr int kWaitingMs = 50;

int digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string systemError(const std::string& what) { return what + ": " + std::strerror(errno); }

}  // namespace

std::uint8_t checksum(std::string_view payload) {
    std::uint8_t sum = 0;
    for (char c : payload) sum = static_cast<std::uint8_t>(sum + static_cast<std::uint8_t>(c));
    return sum;
}

std::string frame(std::string_view payload) {
    const std::uint8_t sum = checksum(payload);
    std::string out;
    out.reserve(payload.size() + 4);
    out += '$';
    out += payload;
    out += '#';
    out += kDigits[sum >> 4];
    out += kDigits[sum & 15];
    return out;
}

std::string escape(std::string_view bytes) {
    std::string out;
    for (char c : bytes) {
        if (c == '#' || c == '$' || c == '}' || c == '*') {
            out += '}';
            out += static_cast<char>(c ^ 0x20);
        } else {
            out += c;
        }
    }
    return out;
}

std::string unescape(std::string_view bytes) {
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i)
        out += bytes[i] == '}' && i + 1 < bytes.size() ? static_cast<char>(bytes[++i] ^ 0x20) : bytes[i];
    return out;
}

std::string hexOfBytes(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char c : bytes) {
        const auto b = static_cast<std::uint8_t>(c);
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
    }
    return out;
}

std::optional<std::string> unhex(std::string_view digits) {
    if (digits.size() % 2) return std::nullopt;
    std::string out;
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        const int high = digit(digits[i]), low = digit(digits[i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        out += static_cast<char>(high << 4 | low);
    }
    return out;
}

// Drops what is left of a packet too long to keep; true once its end has gone.
bool PacketReader::dropOverlong() {
    if (dropping_) {
        const std::size_t end = buffer_.find('#');
        buffer_.erase(0, end == std::string::npos ? buffer_.size() : end + 1);
        if (end == std::string::npos) return false;
        dropping_ = false;
        checksumLeft_ = 2;
    }
    const std::size_t digits = std::min<std::size_t>(checksumLeft_, buffer_.size());
    buffer_.erase(0, digits);
    checksumLeft_ -= static_cast<int>(digits);
    return checksumLeft_ == 0;
}

std::optional<Input> PacketReader::next() {
    if (!dropOverlong()) return std::nullopt;
    while (!buffer_.empty()) {
        const char first = buffer_.front();
        if (first == '\x03') {
            buffer_.erase(0, 1);
            return BreakIn{};
        }
        if (first != '$') {  // an acknowledgement, or noise between packets
            buffer_.erase(0, 1);
            continue;
        }
        const std::size_t end = buffer_.find('#', scanned_);
        if (end == std::string::npos ? buffer_.size() >= kMostPacketBytes : end + 3 > kMostPacketBytes) {
            buffer_.erase(0, end == std::string::npos ? buffer_.size() : end);  // up to its '#'
            scanned_ = 1;
            dropping_ = true;
            return Garbled{};
        }
        if (end == std::string::npos) scanned_ = buffer_.size();
        if (end == std::string::npos || buffer_.size() < end + 3) return std::nullopt;
        scanned_ = 1;
        const std::string payload = buffer_.substr(1, end - 1);
        const int high = digit(buffer_[end + 1]), low = digit(buffer_[end + 2]);
        buffer_.erase(0, end + 3);
        if (high < 0 || low < 0 || checksum(payload) != (high << 4 | low)) return Garbled{};
        return Packet{payload};
    }
    return std::nullopt;
}

Result<Listener> Listener::open(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return failure(systemError("cannot make a socket for the debugger"));
    Listener listener(fd, port);
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);  // never other interfaces
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return failure(systemError("cannot listen for a debugger on 127.0.0.1:" + std::to_string(port)));
    if (::listen(fd, 1) != 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return failure(systemError("cannot listen for a debugger"));
    listener.port_ = ntohs(address.sin_port);
    return listener;
}

Listener::Listener(Listener&& other) noexcept : fd_(std::exchange(other.fd_, -1)), port_(other.port_) {}

Listener& Listener::operator=(Listener&& other) noexcept {
    std::swap(fd_, other.fd_);
    port_ = other.port_;
    return *this;
}

Listener::~Listener() {
    if (fd_ >= 0) ::close(fd_);
}

Result<Connection> Listener::accept(const std::function<bool()>& waiting) {
    pollfd p{fd_, POLLIN, 0};
    for (;;) {
        const int ready = ::poll(&p, 1, kWaitingMs);
        if (ready < 0 && errno != EINTR) return failure(systemError("cannot wait for a debugger"));
        if (ready > 0) break;
        if (waiting && !waiting()) return failure("no debugger came");
    }
    const int fd = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return failure(systemError("cannot take the debugger's connection"));
    const int on = 1;  // each reply goes at once
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return Connection(fd);
}

Connection::Connection(Connection&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), acknowledge_(other.acknowledge_), reader_(std::move(other.reader_)) {}

Connection& Connection::operator=(Connection&& other) noexcept {
    std::swap(fd_, other.fd_);
    acknowledge_ = other.acknowledge_;
    reader_ = std::move(other.reader_);
    return *this;
}

Connection::~Connection() {
    if (fd_ >= 0) ::close(fd_);
}

std::variant<std::monostate, Input, Connection::Closed> Connection::receive(int timeoutMs) {
    for (;;) {
        if (auto input = reader_.next()) {
            if (acknowledge_ && !std::holds_alternative<BreakIn>(*input))
                ::send(fd_, std::holds_alternative<Garbled>(*input) ? "-" : "+", 1, MSG_NOSIGNAL);
            return *input;
        }
        pollfd p{fd_, POLLIN, 0};
        const int ready = ::poll(&p, 1, timeoutMs);
        if (ready < 0 && errno != EINTR) return Closed{};
        if (ready <= 0) {
            if (timeoutMs < 0) continue;
            return std::monostate{};
        }
        char bytes[4096];
        const ssize_t got = ::recv(fd_, bytes, sizeof bytes, 0);
        if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN)) return Closed{};
        if (got > 0) reader_.feed(std::string_view(bytes, static_cast<std::size_t>(got)));
    }
}

bool Connection::send(std::string_view payload) {
    const std::string bytes = frame(payload);
    for (std::size_t sent = 0; sent < bytes.size();) {
        const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace sim::arm::gdb
