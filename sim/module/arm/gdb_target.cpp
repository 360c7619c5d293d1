#include "gdb_target.hpp"

#include "gdb_connection.hpp"

namespace sim::arm {

namespace {

constexpr int kPcNumber = 15, kCpsrNumber = 25, kRegisters = 17;
constexpr std::uint32_t kThumbState = 1u << 5;

// The i-th register of a 'g' packet.
int numberAt(int i) { return i < 16 ? i : kCpsrNumber; }

// A register's value as GDB reads it: its bytes from the lowest, in hexadecimal.
std::string littleEndian(std::uint32_t value) {
    const char bytes[4] = {static_cast<char>(value), static_cast<char>(value >> 8), static_cast<char>(value >> 16),
                           static_cast<char>(value >> 24)};
    return gdb::hexOfBytes(std::string_view(bytes, 4));
}

std::optional<std::uint32_t> fromLittleEndian(std::string_view digits) {
    const auto bytes = gdb::unhex(digits);
    if (!bytes || bytes->size() != 4) return std::nullopt;
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<std::uint8_t>((*bytes)[i]);
    return value;
}

std::string describe() {
    std::string xml =
        "<?xml version=\"1.0\"?><!DOCTYPE target SYSTEM \"gdb-target.dtd\"><target version=\"1.0\">"
        "<architecture>arm</architecture><feature name=\"org.gnu.gdb.arm.core\">"
        // cpsr shows its flags by name: T is the Thumb state, M the processor mode.
        "<flags id=\"cpsr_flags\" size=\"4\"><field name=\"M\" start=\"0\" end=\"4\"/>"
        "<field name=\"T\" start=\"5\" end=\"5\"/><field name=\"F\" start=\"6\" end=\"6\"/>"
        "<field name=\"I\" start=\"7\" end=\"7\"/><field name=\"Q\" start=\"27\" end=\"27\"/>"
        "<field name=\"V\" start=\"28\" end=\"28\"/><field name=\"C\" start=\"29\" end=\"29\"/>"
        "<field name=\"Z\" start=\"30\" end=\"30\"/><field name=\"N\" start=\"31\" end=\"31\"/></flags>";
    for (int r = 0; r <= 12; ++r) xml += "<reg name=\"r" + std::to_string(r) + "\" bitsize=\"32\" type=\"uint32\"/>";
    xml +=
        "<reg name=\"sp\" bitsize=\"32\" type=\"data_ptr\"/><reg name=\"lr\" bitsize=\"32\"/>"
        "<reg name=\"pc\" bitsize=\"32\" type=\"code_ptr\"/>"
        "<reg name=\"cpsr\" bitsize=\"32\" regnum=\"25\" type=\"cpsr_flags\"/></feature></target>";
    return xml;
}

}  // namespace

const std::string& GdbTarget::description() {
    static const std::string xml = describe();
    return xml;
}

std::string GdbTarget::registers() const {
    std::string out;
    for (int i = 0; i < kRegisters; ++i) out += reg(numberAt(i)).value_or("xxxxxxxx");
    return out;
}

std::optional<std::string> GdbTarget::reg(int number) const {
    const auto v = value(number);
    return v ? std::optional(littleEndian(*v)) : std::nullopt;
}

bool GdbTarget::setRegisters(std::string_view digits) {
    if (digits.size() < kRegisters * 8u) return false;
    for (int i = 0; i < kRegisters; ++i)
        if (!setRegister(numberAt(i), digits.substr(i * 8, 8))) return false;
    return true;
}

bool GdbTarget::setRegister(int number, std::string_view digits) {
    const auto v = fromLittleEndian(digits);
    return v && set(number, *v);
}

std::optional<std::uint32_t> GdbTarget::value(int number) const {
    if (!cpu_) return std::nullopt;
    if (number >= 0 && number < kPcNumber) return cpu_->read(static_cast<Reg>(number));
    if (number == kPcNumber) return pcShown_.value_or(cpu_->read(Reg::Pc));
    if (number == kCpsrNumber) return cpu_->read(Reg::Cpsr);
    return std::nullopt;
}

bool GdbTarget::set(int number, std::uint32_t value) {
    if (!cpu_) return false;
    if (number >= 0 && number < kPcNumber) {
        cpu_->write(static_cast<Reg>(number), value);
    } else if (number == kPcNumber) {
        // The CPU takes bit 0 of the program counter for the Thumb state, which GDB keeps in cpsr.
        cpu_->write(Reg::Pc, (value & ~1u) | ((cpu_->read(Reg::Cpsr) & kThumbState) ? 1 : 0));
        pcShown_.reset();
        pcMoved_ = value & ~1u;
    } else if (number == kCpsrNumber) {
        cpu_->write(Reg::Cpsr, value);
    } else {
        return false;
    }
    return true;
}

std::string GdbTarget::read(Address address, std::size_t bytes) const {
    if (!cpu_ || bytes == 0) return "";
    std::string out(bytes, '\0');
    auto* data = reinterpret_cast<std::byte*>(out.data());
    if (cpu_->peek(address, {data, bytes})) return out;
    std::size_t n = 0;
    while (n < bytes && cpu_->peek(address + static_cast<Address>(n), {data + n, 1})) ++n;
    out.resize(n);
    return out;
}

bool GdbTarget::write(Address address, std::string_view bytes) {
    return cpu_ &&
           (bytes.empty() || cpu_->poke(address, {reinterpret_cast<const std::byte*>(bytes.data()), bytes.size()}));
}

}  // namespace sim::arm
