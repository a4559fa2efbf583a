// SPDX-License-Identifier: MIT
#include "ToolSession.h"

#include "Comm.h"
#include "NetAddress.h"
#include "PortCheck.h"
#include "PortProbe.h"
#include "Session.h"
#include "SimPeer.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <poll.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace r8 {

namespace {

// Whether two names are one file: the same inode, or (for one not made yet) the same path.
bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa {
    }, sb{};
    if (::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0)
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    std::error_code ea, eb;
    const auto pa = std::filesystem::weakly_canonical(a, ea);
    const auto pb = std::filesystem::weakly_canonical(b, eb);
    return !ea && !eb && pa == pb;
}

using Clock = std::chrono::steady_clock;

// How long a stop request waits for the exchange in flight to finish.
constexpr int kStopGraceMs = 3000;
// How long the last bytes get to leave before the port is closed.
constexpr int kDrainMs = 50;

} // namespace

ToolSession::ToolSession(std::string program, const ToolOptions& options, const ToolStreams& io)
    : program_(std::move(program)), options_(options), io_(io), port_(options.port) {}

ToolSession::~ToolSession() = default;

int ToolSession::ActivePage() const {
    return kCopyGroup;
}

std::string ToolSession::PortName() const {
    return options_.simulate ? "the simulated camera" : port_;
}

void ToolSession::Say(const std::string& message) {
    if (command_) command_->BeforeLine();
    std::fprintf(io_.err, "%s: %s\n", program_.c_str(), message.c_str());
}

bool ToolSession::StopAsked() {
    if (stopSignal_) return true;
    if (signalFd_ < 0) return false;
    pollfd p{signalFd_, POLLIN, 0};
    signalfd_siginfo info{};
    if (::poll(&p, 1, 0) == 1 && ::read(signalFd_, &info, sizeof info) == sizeof info)
        stopSignal_ = static_cast<int>(info.ssi_signo);
    return stopSignal_ != 0;
}

std::string ToolSession::StopName() const {
    return stopSignal_ == SIGINT ? "SIGINT" : "SIGTERM";
}

int ToolSession::StopCode() const {
    return stopSignal_ == SIGINT ? kExitInterrupt : kExitTerminate;
}

std::string ToolSession::noCameraText() const {
    return "no camera answered on " + PortName() +
           (searchCause_.empty() ? "" : " (last: " + searchCause_ + ")");
}

void ToolSession::Message(const std::string& text, const std::string& caption, int) {
    // The link's report " Serial Port not connected " is followed at once by the notice of
    // what ended (LinkLost, NoAnswer), which gives the run its last line instead.
    if (caption == "Comm.ERR") return;
    Say(caption + ": " + text);
}

// The port search gave up.
void ToolSession::LinkLost() {
    lost(noCameraText(), ErrorKind::NoCamera);
}

void ToolSession::NoAnswer() {
    lost("the camera on " + PortName() + " stopped answering: the link is lost");
    // The link would send the frame once more after this report: a tool that gives up sends
    // nothing after its last line.
    session_->Close();
}

// The first of a burst of line errors was said as it came; the rest in one line.
void ToolSession::Repeated(const std::string& text, const std::string& caption, int more) {
    Say(caption + ": " + text + " came " + std::to_string(more) + " more time" +
        (more == 1 ? "" : "s"));
}

// A tool has no one to wait for the line to recover: it ends as when no camera answers.
void ToolSession::LineGarbage(const std::string& text) {
    lost(text, ErrorKind::NoCamera);
}

void ToolSession::lost(const std::string& message, ErrorKind kind) {
    if (finished_) return;
    const std::string note = command_->LostNote();
    End(kExitNoCamera, message + (note.empty() ? "" : "; " + note), kind);
}

void ToolSession::onException(const std::exception& e) {
    if (dynamic_cast<const ECommOpenError*>(&e)) {
        End(kExitUsage, PortName() + ": cannot open: " + e.what(), ErrorKind::Port);
        return;
    }
    const auto* io = dynamic_cast<const ECommReadWriteError*>(&e);
    if (io && io->ErrorCode == ETIMEDOUT) {
        lost("the camera on " + PortName() +
             " stopped taking data: a write waited more than a second for the line (" +
             std::strerror(ETIMEDOUT) + "); the link is lost");
        return;
    }
    if (io) {
        lost("cannot write to " + PortName() + ": " + std::strerror(io->ErrorCode) +
             "; the link is lost");
        return;
    }
    lost(PortName() + ": " + e.what());
}

void ToolSession::Fail(ErrorKind kind, const std::string& message) {
    Say(message);
    errorKind_ = kind;
    error_ = message;
}

void ToolSession::End(int code, const std::string& message) {
    End(code, message, KindOfExit(code));
}

void ToolSession::End(int code, const std::string& message, ErrorKind kind) {
    if (finished_) return;
    finished_ = true;
    code_ = code;
    command_->Ending(code);
    if (!message.empty()) Fail(kind, message);
    command_->Ended(code, message);
    loop_.Quit();
}

int ToolSession::openTrace() {
    if (!options_.traceFile.empty()) {
        // Opening the trace empties its file: it must not be one the command reads or writes.
        for (const std::string& file : command_->Files())
            if (SameFile(options_.traceFile, file)) {
                Fail(ErrorKind::File, options_.traceFile +
                                          ": the trace file is the command's own file " + file +
                                          "; give another one");
                return kExitUsage;
            }
        traceFile_.reset(std::fopen(options_.traceFile.c_str(), "w"));
        if (!traceFile_) {
            Fail(ErrorKind::File,
                 options_.traceFile + ": cannot write the trace: " + std::strerror(errno));
            return kExitUsage;
        }
        trace_.AddSink([this](const std::string& line) {
            if (traceError_) return;
            std::FILE* f = traceFile_.get();
            if (std::fputs(line.c_str(), f) < 0 || std::fputc('\n', f) < 0 || std::fflush(f) != 0)
                traceError_ = errno != 0 ? errno : EIO;
        });
    }
    if (options_.trace)
        trace_.AddSink([this](const std::string& line) {
            command_->BeforeLine();
            std::fprintf(io_.err, "%s\n", line.c_str());
        });
    return kExitDone;
}

int ToolSession::choosePort() {
    if (options_.simulate) {
        try {
            camera_ = std::make_unique<sim::CameraSim>();
            camera_->Start();
        } catch (const std::exception& e) {
            Fail(ErrorKind::Port, std::string("cannot start the simulated camera: ") + e.what());
            return kExitUsage;
        }
        SetPortPath(1, camera_->SlavePath());
        SetPortPath(2, camera_->SlavePath());
        return kExitDone;
    }
    if (port_ == "auto")
        if (const int code = findPort(); code != kExitDone) return code;
    if (const std::string error = CheckPort(port_); !error.empty()) {
        Fail(ErrorKind::Port, error);
        return kExitUsage;
    }
    // The port search of the link alternates ports 1 and 2: both are this device.
    SetPortPath(1, port_);
    SetPortPath(2, port_);
    return kExitDone;
}

int ToolSession::findPort() {
    AutoPortSearch search;
    // The link's search: a tick every 1.5 s, the give-up at the sixteenth.
    constexpr int kTicks = 16, kTickMs = 1500;
    for (int tick = 0; tick < kTicks; ++tick) {
        const auto next = Clock::now() + std::chrono::milliseconds(kTickMs);
        const std::string found = search.Tick();
        for (const std::string& note : search.TakeNotes())
            Say(note);
        if (!found.empty()) {
            port_ = found;
            const std::string device = search.DeviceOf(found);
            Say("camera found on " + found + (device.empty() ? "" : " (" + device + ")"));
            return kExitDone;
        }
        if (tick + 1 == kTicks) break;
        // Waits for the next tick, or for a stop.
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now());
        if (signalFd_ >= 0) {
            pollfd p{signalFd_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(std::max<int64_t>(left.count(), 0))) == 1 &&
                StopAsked()) {
                Fail(ErrorKind::NoCamera, "stopped by " + StopName() + " while searching");
                return StopCode();
            }
        } else if (left.count() > 0) {
            ::poll(nullptr, 0, static_cast<int>(left.count()));
        }
    }
    std::string why;
    for (const ProbeResult& r : search.Tried()) {
        std::string t = r.text;
        if (!t.empty() && t.back() == '.') t.pop_back();
        why += (why.empty() ? "" : "; ") + t;
    }
    Fail(ErrorKind::NoCamera,
         why.empty()
             ? "no serial port found (no /dev/ttyUSB*, /dev/ttyACM*, /dev/serial/by-id, "
               "/dev/ttyS0 or /dev/ttyS1); give one with --port"
             : "no camera answered on any port (" + why + "); give one with --port or R8V5MC_PORT");
    return kExitNoCamera;
}

int ToolSession::Run(ToolCommand& command, int signalFd,
                     const std::function<void(Session&)>& onStep) {
    command_ = &command;
    signalFd_ = signalFd;
    const int code = run(onStep);
    // With --json a failed run prints one error object, unless the command printed its result.
    if (options_.json && code != kExitDone && !command.PrintedResult()) {
        const std::string message =
            error_.empty() ? "failed with exit code " + std::to_string(code) : error_;
        const ErrorKind kind = error_.empty() ? KindOfExit(code) : errorKind_;
        std::fputs(JsonError(kind, message, command.JsonErrorMore()).c_str(), io_.out);
    }
    return code;
}

int ToolSession::run(const std::function<void(Session&)>& onStep) {
    ToolCommand& command = *command_;
    const int signalFd = signalFd_;
    if (const int code = command.Prepare(); code != kExitDone) return code;
    if (const int code = openTrace(); code != kExitDone) return code;
    if (const int code = choosePort(); code != kExitDone) return code;
    loop_.OnException = [this](const std::exception& e) { onException(e); };
    comm_ = std::make_unique<TComm>();
    command.ConfigurePort(*comm_);
    // The signal first: a stop asked for before an answer arrived sends nothing more.
    if (signalFd >= 0)
        loop_.Watch(signalFd, [this, signalFd] {
            signalfd_siginfo info{};
            if (::read(signalFd, &info, sizeof info) == sizeof info) {
                stopSignal_ = static_cast<int>(info.ssi_signo);
                onSignal();
            }
        });
    loop_.Watch(comm_->EventFd(), [this] { comm_->DispatchEvents(); });
    SessionObserver& observer = *this;
    session_ = std::make_unique<Session>(loop_, observer, comm_.get(),
                                         trace_.Active() ? &trace_ : nullptr);
    session_->SetRoom(kCopyGroup, &command.Attach(*session_));
    try {
        session_->Start();
    } catch (const ECommOpenError&) {
        Fail(ErrorKind::Port, PortName() + ": cannot open the serial port");
        session_->Close();
        return kExitUsage;
    }
    while (!finished_) {
        loop_.RunOnce(200);
        if (!finished_ && onStep) onStep(*session_);
        if (!finished_) step();
    }
    // Closing the port discards what it has not sent yet: give the last bytes (the ACK of
    // the last answer, 1 ms at 9600 bit/s; a frame, 20 ms) time to leave.
    loop_.RunUntil([] { return false; }, kDrainMs);
    session_->Close();
    if (camera_) camera_->Stop();
    checkTrace();
    return code_;
}

void ToolSession::checkTrace() {
    if (!traceFile_) return;
    if (!traceError_ && std::fflush(traceFile_.get()) != 0) traceError_ = errno;
    if (!traceError_) return;
    const std::string message =
        options_.traceFile + ": the trace is cut: " + std::strerror(traceError_);
    if (code_ != kExitDone) {
        Say(message);
        return;
    }
    Fail(ErrorKind::File, message);
    code_ = kExitUsage;
}

void ToolSession::step() {
    // As the window does: a network port refused, reset or turned away by its server before
    // the camera first answered is connected again by the search's next tick, until the search
    // gives up. Said once; the give-up names the last cause.
    if (const TComm::NetFailure f = comm_->LastNetFailure();
        f.count != failuresSeen_ && !session_->LinkUp()) {
        failuresSeen_ = f.count;
        std::string cause = NetFailureText(PortName(), f.cause, f.said);
        if (!cause.empty() && cause.back() == '.') cause.pop_back();
        if (searchCause_.empty()) Say(cause + "; trying again while the search lasts");
        searchCause_ = cause;
    }
    if (comm_->DeviceGone() && !searching()) {
        lost(PortGoneText(*comm_, PortName()));
        return;
    }
    if (stopSignal_) {
        // Between exchanges: once the one in flight is answered, or after a grace period.
        if (!session_->ExchangeInFlight() || Clock::now() >= stopBy_) {
            const std::string note = command_->Stopped();
            End(StopCode(), "stopped by " + StopName() + (note.empty() ? "" : "; " + note),
                ErrorKind::Stopped);
        }
        return;
    }
    command_->Step();
    if (!finished_ && !started_ && session_->Free()) start();
}

bool ToolSession::searching() const {
    return comm_->IsNetwork() && !session_->LinkUp();
}

void ToolSession::start() {
    started_ = true;
    // The camera answered here: the next --port auto tries this port first.
    if (!options_.simulate && !portKept_) {
        portKept_ = true;
        RememberToolPort(port_);
    }
    bool ok = false;
    try {
        ok = command_->Start();
    } catch (const ECommError& e) {
        onException(e);
        return;
    }
    if (!ok) started_ = finished_; // refused for now: try again at the next step
}

void ToolSession::onSignal() {
    if (finished_) return;
    stopBy_ = Clock::now() + std::chrono::milliseconds(kStopGraceMs);
    command_->OnStop();
    started_ = true; // nothing new starts
    step();
}

} // namespace r8
