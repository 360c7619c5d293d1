#include "debugger.hpp"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <utility>

namespace sim::arm {

namespace {

// A number in lower-case hexadecimal without leading zeros, as the protocol writes sizes.
std::string hexNumber(std::size_t value) {
    std::string out;
    do out.insert(out.begin(), "0123456789abcdef"[value & 15]);
    while (value >>= 4);
    return out;
}

// GDB's own numbers for the signals it is told of.
constexpr int kSigInt = 2, kSigIll = 4, kSigBus = 10, kSigSegv = 11;
constexpr int kWaitMs = 50;
// While the module runs, the connection is looked at (for an interrupt) after this many of its
// instructions.
constexpr std::uint32_t kLookEvery = 1u << 16;
constexpr std::size_t kLargestRead = 0x1000;

std::string hex8(std::uint32_t value) {
    char text[12];
    std::snprintf(text, sizeof text, "%x", value);
    return text;
}

std::string twoDigits(int value) {
    char text[4];
    std::snprintf(text, sizeof text, "%02x", value & 0xFF);
    return text;
}

std::optional<std::uint32_t> number(std::string_view digits) {
    std::uint32_t value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return value;
}

// "ADDRESS,LENGTH" and what follows a ':' when there is one.
struct Range {
    Address address;
    std::size_t bytes;
    std::string_view data;
};
std::optional<Range> range(std::string_view text) {
    const std::size_t comma = text.find(','), colon = text.find(':');
    if (comma == std::string_view::npos) return std::nullopt;
    const auto address = number(text.substr(0, comma));
    const auto bytes = number(text.substr(comma + 1, colon == std::string_view::npos ? colon : colon - comma - 1));
    if (!address || !bytes) return std::nullopt;
    return Range{*address, *bytes, colon == std::string_view::npos ? std::string_view{} : text.substr(colon + 1)};
}

int signalOf(Stop::Fault fault) {
    switch (fault) {
    case Stop::Fault::Instruction: return kSigIll;
    case Stop::Fault::Alignment: return kSigBus;
    default: return kSigSegv;
    }
}

}  // namespace

Result<std::unique_ptr<Debugger>> Debugger::listen(std::uint16_t port) {
    auto listener = gdb::Listener::open(port);
    if (!listener) return tl::unexpected(listener.error());
    return std::make_unique<Debugger>(std::move(*listener));
}

Debugger::Debugger(gdb::Listener listener) : listener_(std::move(listener)), port_(listener_.port()) {}

Debugger::~Debugger() {
    if (module_) unloaded();
}

Result<void> Debugger::accept() {
    const std::string why = "waiting for gdb on port " + std::to_string(port_);
    bool closed = false;
    auto connection = listener_.accept([&] { return !keepAlive_ || keepAlive_(why) || (closed = true, false); });
    if (!connection) {
        if (closed) end("the front end closed before a debugger came");
        return tl::unexpected(connection.error());
    }
    connection_ = std::move(*connection);
    return {};
}

void Debugger::attach(ArmModule& module, bool stopFirst) {
    if (!live()) return;
    module_ = &module;
    target_.use(&module.cpu());
    module.watch(this);
    module.cpu().observe(this);
    stepping_ = stopFirst;
}

void Debugger::unloaded() {
    module_->cpu().observe(nullptr);
    module_->watch(nullptr);
    module_ = nullptr;
    target_.use(nullptr);
}

void Debugger::finish(int status) {
    if (live() && debuggerWaits_) send(std::string(crashed_ ? "X" : "W") + twoDigits(crashed_ ? crashSignal_ : status));
    connection_.reset();
}

void Debugger::send(std::string_view payload) {
    if (connection_ && !connection_->send(payload)) end("the debugger's connection broke");
}

void Debugger::end(const std::string& why) {
    if (ended_) return;
    ended_ = true;
    why_ = why;
    connection_.reset();
    stepping_ = false;
    // A crash ends the run by itself.
    if (module_ && !crashed_) module_->abandon("the run ended: " + why);
}

// The CPU's hooks.

void Debugger::beforeInstruction(Address pc) {
    lastInstruction_ = pc;
    // Where the debugger moved the program counter, the CPU starts anew: that instruction is yet
    // to run, not one to stop before.
    if (resumeAt_ && std::exchange(resumeAt_, std::nullopt) == pc) return;
    if (++unlooked_ >= kLookEvery && look()) return;
    if (live() && (stepping_ || breakpoints_.count(pc))) stop("T05");
}

void Debugger::beforeWrite(Address address, std::size_t bytes) {
    if (!live()) return;
    for (const Watch& w : watches_)
        if (address < w.address + w.bytes && w.address < address + bytes) {
            // Before the write: GDB steps over it and compares the values.
            stop("T05watch:" + hex8(std::max(address, w.address)) + ";", lastInstruction_);
            return;
        }
}

// Where the module returns to the platform: `finish` from a handler and a step off its end
// stop there.
void Debugger::fetchFailed(Address pc) {
    if (live() && (stepping_ || breakpoints_.count(pc & ~1u))) stop("T05", pc & ~1u);
}

void Debugger::crashed(Stop::Fault fault, const std::string& report) {
    crashed_ = true;
    crashSignal_ = signalOf(fault);
    if (!live()) return;
    if (debuggerWaits_) send(std::string("O") + gdb::hexOfBytes("nuv-oka-sim: " + report + "\n"));
    stop(std::string("T") + twoDigits(crashSignal_));
}

// Serving the debugger.

bool Debugger::look() {
    unlooked_ = 0;
    if (!connection_ || ended_) return false;
    const auto input = connection_->receive(0);
    if (std::holds_alternative<gdb::Connection::Closed>(input)) {
        end("the debugger went");
        return true;
    }
    const auto* in = std::get_if<gdb::Input>(&input);
    if (in && std::holds_alternative<gdb::BreakIn>(*in) && live()) {
        stop(std::string("T") + twoDigits(kSigInt));
        return true;
    }
    return false;
}

void Debugger::serve() {
    if (!paused_) look();
}

void Debugger::stop(const std::string& reply, std::optional<Address> pc) {
    if (!live() || paused_) return;
    stepping_ = false;
    lastStop_ = reply;
    target_.showPc(pc);
    if (std::exchange(debuggerWaits_, false)) send(reply);
    paused_ = true;
    while (live()) {
        const auto input = connection_->receive(kWaitMs);
        if (std::holds_alternative<gdb::Connection::Closed>(input)) {
            end("the debugger went");
        } else if (const auto* in = std::get_if<gdb::Input>(&input)) {
            if (const auto* packet = std::get_if<gdb::Packet>(in); packet && handle(packet->payload) == Next::Resume)
                break;
        } else if (keepAlive_ && !keepAlive_("paused by the debugger")) {
            end("the front end closed while the debugger held the module");
        }
    }
    paused_ = false;
    target_.showPc(std::nullopt);
}

Debugger::Next Debugger::resume(bool step) {
    if (crashed_) {
        // The module cannot go on from a crash: it ends with the signal.
        send(std::string("X") + twoDigits(crashSignal_));
        end("the module crashed");
        return Next::Resume;
    }
    stepping_ = step;
    debuggerWaits_ = true;
    resumeAt_ = target_.takeMovedPc();
    return Next::Resume;
}

Debugger::Next Debugger::handle(const std::string& packet) {
    const char kind = packet.empty() ? '\0' : packet[0];
    const std::string_view args = std::string_view(packet).substr(packet.empty() ? 0 : 1);
    switch (kind) {
    case '?': send(lastStop_); break;
    case 'g': send(target_.registers()); break;
    case 'G': send(target_.setRegisters(args) ? "OK" : "E01"); break;
    case 'p': {
        const auto n = number(args);
        send(n ? target_.reg(static_cast<int>(*n)).value_or("E01") : "E01");
        break;
    }
    case 'P': {
        const std::size_t equals = args.find('=');
        const auto n = number(args.substr(0, equals));
        const bool ok =
            n && equals != std::string_view::npos && target_.setRegister(static_cast<int>(*n), args.substr(equals + 1));
        send(ok ? "OK" : "E01");
        break;
    }
    case 'm': {
        const auto r = range(args);
        const std::string bytes = r ? target_.read(r->address, std::min(r->bytes, kLargestRead)) : "";
        send(bytes.empty() ? "E14" : gdb::hexOfBytes(bytes));
        break;
    }
    case 'M':
    case 'X': {
        const auto r = range(args);
        const auto bytes = !r ? std::nullopt : kind == 'M' ? gdb::unhex(r->data) : gdb::unescape(r->data);
        send(bytes && bytes->size() == r->bytes && target_.write(r->address, *bytes) ? "OK" : "E14");
        break;
    }
    case 'c':
    case 'C': return resume(false);
    case 's':
    case 'S': return resume(true);
    case 'v':
        if (packet == "vCont?") {
            send("vCont;c;C;s;S");
        } else if (packet.starts_with("vCont;") && packet.size() > 6) {
            return resume(packet[6] == 's' || packet[6] == 'S');
        } else if (packet.starts_with("vKill")) {
            send("OK");
            end("the debugger killed the module");
            return Next::Resume;
        } else {
            send("");
        }
        break;
    case 'k': end("the debugger killed the module"); return Next::Resume;
    case 'D':
        send("OK");
        detached_ = true;
        breakpoints_.clear();
        watches_.clear();
        stepping_ = debuggerWaits_ = false;
        return Next::Resume;
    case 'H':
    case 'T': send("OK"); break;
    case 'q': send(query(packet)); break;
    case 'Q':
        if (packet == "QStartNoAckMode") {
            send("OK");
            connection_->stopAcknowledging();
        } else {
            send("");
        }
        break;
    case 'Z':
    case 'z': send(point(args, kind == 'Z')); break;
    default: send(""); break;
    }
    return Next::Wait;
}

std::string Debugger::query(std::string_view packet) const {
    const std::string& description = GdbTarget::description();
    constexpr std::string_view features = "qXfer:features:read:target.xml:";
    if (packet.starts_with("qSupported"))
        return "PacketSize=" + hexNumber(gdb::kMostPacketBytes) + ";qXfer:features:read+;QStartNoAckMode+;vContSupported+";
    if (packet.starts_with(features)) {
        const auto r = range(packet.substr(features.size()));
        if (!r) return "E00";
        if (r->address >= description.size()) return "l";
        const std::string part = description.substr(r->address, r->bytes);
        return std::string(r->address + part.size() >= description.size() ? "l" : "m") + gdb::escape(part);
    }
    if (packet.starts_with("qXfer:")) return "E00";
    // The image lies at kImageBase: each of its sections is that far from where the file links it.
    if (packet == "qOffsets")
        return "Text=" + hex8(kImageBase) + ";Data=" + hex8(kImageBase) + ";Bss=" + hex8(kImageBase);
    if (packet == "qAttached") return "0";
    if (packet == "qC") return "QC1";
    if (packet == "qfThreadInfo") return "m1";
    if (packet == "qsThreadInfo") return "l";
    if (packet.starts_with("qSymbol")) return "OK";
    return "";
}

// Z and z: breakpoints of either kind on code (the Thumb bit left out), watchpoints on writes.
std::string Debugger::point(std::string_view args, bool insert) {
    const std::size_t comma = args.find(',');
    const auto type = number(args.substr(0, comma));
    const auto r =
        comma == std::string_view::npos ? std::nullopt : range(args.substr(comma + 1, args.find(';') - comma - 1));
    if (!type || !r) return "E01";
    if (*type == 0 || *type == 1) {
        if (insert)
            breakpoints_.insert(r->address & ~1u);
        else
            breakpoints_.erase(r->address & ~1u);
        return "OK";
    }
    if (*type != 2) return "";  // read and access watchpoints: not supported
    const auto same = [&](const Watch& w) { return w.address == r->address && w.bytes == r->bytes; };
    if (insert)
        watches_.push_back({r->address, r->bytes});
    else if (const auto found = std::find_if(watches_.begin(), watches_.end(), same); found != watches_.end())
        watches_.erase(found);
    return "OK";
}

}  // namespace sim::arm
