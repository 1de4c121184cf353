#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace torven::sim {

// What one channel of the simulated device measures, in volts.
struct ChannelSignal {
    enum class Shape { Constant, Ramp, Sine };
    Shape shape = Shape::Constant;
    double volts = 0.0;      // the constant, or the middle of a ramp or sine
    double amplitude = 0.0;  // half the swing of a ramp or sine
    double periodSeconds = 10.0;

    // The value at `seconds` after the simulator was made (before clamping to the range the
    // device can deliver).
    double voltsAt(double seconds) const;
};

// A simulated DI-194RS on a pseudo-terminal. The pty's slave is reachable through a link at
// a path of your choosing (for example station/Ports/COM3), so the monitor opens it as COMn.
// It echoes commands, answers NZ with N Z '1' '0', streams 8-byte frames at the 4800-baud
// line rate after S1 and stops after S0. Faults can be switched while it runs.
//
// The link is only ever replaced atomically, and whenever no pty is behind it (before start,
// after unplug, after stop) it is left dangling rather than removed, so that a port name that
// resolves through it can never fall through to a real serial port.
class Di194RsSimulator {
  public:
    enum class Fault {
        None,
        Silent,        // answers nothing and sends no frames (commands still take effect)
        NoFrameStart,  // answers commands, but every frame byte has bit 0 set
        WrongNzReply,  // answers NZ with N Z '1' '2'
    };

    explicit Di194RsSimulator(std::filesystem::path linkPath);
    Di194RsSimulator(const Di194RsSimulator&) = delete;
    Di194RsSimulator& operator=(const Di194RsSimulator&) = delete;
    ~Di194RsSimulator();

    // Opens the pty, makes the link and starts answering; false when the pty cannot be had.
    bool start();
    // Stops answering and closes the pty; the link is left dangling.
    void stop();

    void setSignal(int channel, const ChannelSignal& signal);  // channel 1-4
    void setFault(Fault fault);
    // Every reply is written only this long after its command came (0 by default), so that a
    // host which does not wait for a reply before its next command shows in the transcript.
    void setReplyDelay(std::chrono::milliseconds delay);
    // Pulls the adapter: the pty goes away and the link is left dangling.
    void unplug();
    // Plugs it back in: a new pty behind the same link.
    bool plug();

    bool plugged() const;
    bool streaming() const;
    // Every byte the host sent since start (or the last clearReceived).
    std::vector<std::uint8_t> received() const;
    // Forgets the received bytes, the commands and the transcript.
    void clearReceived();
    // Every command (its two bytes as text, e.g. "NZ", "S1", "B\x01") in order of arrival.
    std::vector<std::string> commands() const;
    // The exchange in order: "> " and the two bytes of each command as it came, "< " and the
    // bytes of each reply as it was written (e.g. "> NZ", "< NZ10"). Frames are not listed.
    std::vector<std::string> transcript() const;
    // Called with a line for everything the simulator does (commands, faults, plugging), on
    // whichever thread does it; it must not call back into the simulator.
    void setReporter(std::function<void(const std::string&)> reporter);

    // The 8-byte frame for four channel values in volts: values are clamped to the device's
    // range -10 to +9.98 V and rounded to the nearest of 1024 counts; only the first byte has
    // bit 0 clear, which marks the start of a frame.
    static std::array<std::uint8_t, 8> encodeFrame(const std::array<double, 4>& volts);
    // The count a value is sent as (0 to 1023).
    static unsigned countFor(double volts);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace torven::sim
