#include "ToolSession.h"

#include "Comm.h"
#include "PortCheck.h"
#include "Session.h"
#include "SimPeer.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace r8 {

namespace {

using Clock = std::chrono::steady_clock;

// How long a stop request waits for the exchange in flight to finish.
constexpr int kStopGraceMs = 3000;
// How long the last bytes get to leave before the port is closed.
constexpr int kDrainMs = 50;

} // namespace

ToolSession::ToolSession(std::string program, const ToolOptions& options, const ToolStreams& io)
    : program_(std::move(program)), options_(options), io_(io) {}

ToolSession::~ToolSession() = default;

int ToolSession::ActivePage() const {
    return kCopyGroup;
}

std::string ToolSession::PortName() const {
    return options_.simulate ? "the simulated camera" : options_.port;
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

void ToolSession::Message(const std::string& text, const std::string& caption, int) {
    if (caption == "Comm.ERR") {
        if (session_->Link().LINK_STATUS == 0)
            End(kExitNoCamera, "no camera answered on " + PortName());
        else
            End(kExitNoCamera,
                "the camera on " + PortName() + " stopped answering: the link is lost");
        return;
    }
    Say(caption + ": " + text);
}

void ToolSession::LinkLost() {
    End(kExitNoCamera, "no camera answered on " + PortName() + " (no ACK to the enquiry)");
}

void ToolSession::End(int code, const std::string& message) {
    if (finished_) return;
    finished_ = true;
    code_ = code;
    command_->Ending(code);
    if (!message.empty()) Say(message);
    command_->Ended(code, message);
    loop_.Quit();
}

int ToolSession::openTrace() {
    if (!options_.traceFile.empty()) {
        traceFile_.reset(std::fopen(options_.traceFile.c_str(), "w"));
        if (!traceFile_) {
            Say(options_.traceFile + ": cannot write the trace: " + std::strerror(errno));
            return kExitUsage;
        }
        trace_.AddSink(Trace::ToStream(traceFile_.get()));
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
            Say(std::string("cannot start the simulated camera: ") + e.what());
            return kExitUsage;
        }
        SetPortPath(1, camera_->SlavePath());
        SetPortPath(2, camera_->SlavePath());
        return kExitDone;
    }
    if (const std::string error = CheckPort(options_.port); !error.empty()) {
        Say(error);
        return kExitUsage;
    }
    // The port search of the link alternates ports 1 and 2: both are this device.
    SetPortPath(1, options_.port);
    SetPortPath(2, options_.port);
    return kExitDone;
}

int ToolSession::Run(ToolCommand& command, int signalFd,
                     const std::function<void(Session&)>& onStep) {
    command_ = &command;
    signalFd_ = signalFd;
    if (const int code = command.Prepare(); code != kExitDone) return code;
    if (const int code = openTrace(); code != kExitDone) return code;
    if (const int code = choosePort(); code != kExitDone) return code;
    loop_.OnException = [this](const std::exception& e) {
        const bool open = dynamic_cast<const ECommOpenError*>(&e) != nullptr;
        End(open ? kExitUsage : kExitNoCamera,
            PortName() + ": " + (open ? "cannot open: " : "") + e.what());
    };
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
        Say(PortName() + ": cannot open the serial port");
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
    return code_;
}

void ToolSession::step() {
    if (comm_->DeviceGone()) {
        End(kExitNoCamera, PortGoneText(*comm_, PortName()));
        return;
    }
    if (stopSignal_) {
        // Between exchanges: once the one in flight is answered, or after a grace period.
        if (!command_->ExchangeInFlight() || Clock::now() >= stopBy_) {
            const std::string note = command_->Stopped();
            End(StopCode(), "stopped by " + StopName() + (note.empty() ? "" : "; " + note));
        }
        return;
    }
    command_->Step();
    if (!finished_ && !started_ && session_->Link().LINK_STATUS != 0 && session_->Trans_chk() &&
        session_->Loader().Orders.bOrder == 0)
        start();
}

void ToolSession::start() {
    started_ = true;
    bool ok = false;
    try {
        ok = command_->Start();
    } catch (const ECommError& e) {
        End(kExitNoCamera, PortName() + ": " + e.what());
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
