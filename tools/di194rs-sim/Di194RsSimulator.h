#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace torven::sim {

// What one channel of the simulated device measures, in volts.
struct ChannelSignal {
    enum class Shape { Constant, Ramp, Sine };
    Shape shape = Shape::Constant;
    double volts = 0.0;          // the constant, or the middle of a ramp or sine
    double amplitude = 0.0;      // half the swing of a ramp or sine
    double periodSeconds = 10.0;
};

// A simulated DI-194RS on a pseudo-terminal. The pty's slave is reachable through a link at
// a path of your choosing (for example station/Ports/COM3), so the monitor opens it as COMn.
// It echoes commands, answers NZ with N Z '1' '0', streams 8-byte frames at the 4800-baud
// line rate after S1 and stops after S0. Faults can be switched while it runs.
class Di194RsSimulator {
public:
    enum class Fault {
        None,
        Silent,        // answers nothing and sends no frames
        NoFrameStart,  // answers commands, but every frame byte has bit 0 set
        WrongNzReply,  // answers NZ with N Z '1' '2'
    };

    explicit Di194RsSimulator(std::filesystem::path linkPath);
    Di194RsSimulator(const Di194RsSimulator&) = delete;
    Di194RsSimulator& operator=(const Di194RsSimulator&) = delete;
    ~Di194RsSimulator();

    // Opens the pty, makes the link and starts answering; false when the pty cannot be had.
    bool start();
    void stop();

    void setSignal(int channel, const ChannelSignal& signal);  // channel 1-4
    void setFault(Fault fault);
    // Pulls the adapter: the pty goes away and the link is left dangling.
    void unplug();
    // Plugs it back in: a new pty behind the same link.
    bool plug();

    bool streaming() const;
    // Every byte the host sent since start (or the last clearReceived).
    std::vector<std::uint8_t> received() const;
    void clearReceived();
    // Every command (its two bytes as text, e.g. "NZ", "S1", "B\x01") in order of arrival.
    std::vector<std::string> commands() const;
    // Called with a line for everything the simulator does (commands, faults, plugging).
    void setReporter(std::function<void(const std::string&)> reporter);

    // The 8-byte frame for four channel values in volts.
    static std::array<std::uint8_t, 8> encodeFrame(const std::array<double, 4>& volts);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace torven::sim
