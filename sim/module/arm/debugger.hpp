#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "arm_module.hpp"
#include "gdb_connection.hpp"
#include "gdb_target.hpp"
#include "result.hpp"

namespace sim::arm {

// A GDB stub for the phone's module on the emulated CPU: gdb-multiarch connects over TCP and
// sees the module's registers and memory at the addresses where the loader placed it, sets
// breakpoints and write watchpoints, steps, continues and interrupts it, and is told of a crash
// as a signal before the run ends with it.
//
// It waits for the debugger on the thread that runs the module: inside the CPU's hooks while
// the module is stopped in its code, or from the front end's loop while the module waits for
// input. Meanwhile it calls the front end back, so that a window stays alive.
class Debugger final : private CpuObserver, private ModuleWatcher {
public:
    // Listens on 127.0.0.1 only; port 0 takes a free port (port() tells which).
    static Result<std::unique_ptr<Debugger>> listen(std::uint16_t port);
    explicit Debugger(gdb::Listener listener);
    ~Debugger() override;
    Debugger(const Debugger&) = delete;
    Debugger& operator=(const Debugger&) = delete;

    std::uint16_t port() const { return port_; }

    // Called about every 50 ms while the debugger waits: for the connection, or while the
    // module is stopped, with words for a front end to show. Returning false ends the run.
    using KeepAlive = std::function<bool(std::string_view why)>;
    void whileWaiting(KeepAlive keepAlive) { keepAlive_ = std::move(keepAlive); }
    // Waits for the debugger to connect.
    Result<void> accept();

    // Follows this module until it is unloaded; with `stopFirst` the module stops before its
    // first instruction runs.
    void attach(ArmModule& module, bool stopFirst);

    // While the module waits for input: serves what the debugger sent. An interrupt stops the
    // module there until the debugger lets it go on. Returns at once when nothing came.
    void serve();
    // Readable when serve() has something to do; -1 when there is no debugger.
    int socket() const { return connection_ ? connection_->fd() : -1; }

    // The debugger killed the module, or went (detached and closed, or the connection broke),
    // or the front end ended the run while the module was stopped.
    bool ended() const { return ended_; }
    const std::string& whyEnded() const { return why_; }
    // The module crashed while the debugger watched: the run ends with the crash.
    bool crashed() const { return crashed_; }
    // The run ends with `status`: a debugger waiting for the module hears that it exited.
    void finish(int status);

private:
    enum class Next { Wait, Resume };
    struct Watch {
        Address address;
        std::size_t bytes;
    };

    void beforeInstruction(Address pc) override;
    void beforeWrite(Address address, std::size_t bytes) override;
    void fetchFailed(Address pc) override;
    void crashed(Stop::Fault fault, const std::string& report) override;
    void unloaded() override;

    // Reports the stop (when the debugger waits for one) and serves the debugger until it lets
    // the module go on. `pc` stands for the CPU's while it is in the middle of an instruction.
    void stop(const std::string& reply, std::optional<Address> pc = std::nullopt);
    // What came while the module runs: an interrupt stops it.
    // True when it stopped the module or the debugger went.
    bool look();
    Next handle(const std::string& packet);
    Next resume(bool step);
    void end(const std::string& why);
    void send(std::string_view payload);
    bool live() const { return connection_ && !ended_ && !detached_; }

    std::string query(std::string_view packet) const;
    std::string point(std::string_view packet, bool insert);

    gdb::Listener listener_;
    std::uint16_t port_;
    std::optional<gdb::Connection> connection_;
    KeepAlive keepAlive_;
    ArmModule* module_ = nullptr;
    GdbTarget target_;
    std::set<Address> breakpoints_;
    std::vector<Watch> watches_;
    bool stepping_ = false;
    bool debuggerWaits_ = false;  // for a stop reply
    bool paused_ = false;
    bool ended_ = false, detached_ = false, crashed_ = false;
    std::string why_;
    int crashSignal_ = 0;
    std::string lastStop_ = "S05";
    std::optional<Address> resumeAt_;  // where the debugger moved the program counter
    Address lastInstruction_ = 0;
    std::uint32_t unlooked_ = 0;  // instructions since the connection was last looked at
};

}  // namespace sim::arm
