// SPDX-License-Identifier: MIT
#pragma once
// The run of a command-line tool around one session: the trace, the port (the simulated camera
// or --port), the signals, the loop that starts the command once the link is up and free, stops
// it between exchanges on SIGINT / SIGTERM (once the exchange on the wire has its reply, or
// after a grace period), and ends it with one exit code and one last line when the port goes
// away or the link is lost. A tool's command is a ToolCommand; it sends its commands as
// exchanges of the session (Session::Exchange) and handles each reply in its callback.
#include "ExitCodes.h"
#include "PollLoop.h"
#include "SessionObserver.h"
#include "ToolError.h"
#include "ToolOptions.h"
#include "Trace.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace r8 {

class Room;
class Session;
class TComm;
namespace sim {
class CameraSim;
}

struct ToolStreams {
    std::FILE* out = stdout; // results
    std::FILE* err = stderr; // progress, trace and errors
};

class ToolSession;

// What one command of a tool does; ToolSession calls it on the loop's thread.
class ToolCommand {
public:
    virtual ~ToolCommand() = default;
    // Before the port is touched: files and values checked. Anything but kExitDone ends the run
    // with that code (the command has said why).
    virtual int Prepare() { return kExitDone; }
    // The files the command reads or writes (a trace file must be none of them).
    virtual std::vector<std::string> Files() const { return {}; }
    // Once the port is set up: the port's own settings, before the session opens it.
    virtual void ConfigurePort(TComm&) {}
    // The session exists: the room that takes its answers.
    virtual Room& Attach(Session& session) = 0;
    // The link is up and free: begin. false: refused for now, asked again at the next turn.
    virtual bool Start() = 0;
    // Every turn of the loop while the command runs and no stop is asked for.
    virtual void Step() {}
    // SIGINT or SIGTERM arrived: nothing new may start.
    virtual void OnStop() {}
    // The stop ends the command now: what follows "stopped by SIGINT" ("; ..."), if anything.
    virtual std::string Stopped() { return {}; }
    // The link or the port is lost: what follows the last line ("; ..."), e.g. what the camera
    // may hold now.
    virtual std::string LostNote() const { return {}; }
    // The run ends with code: before its last line is printed, and after.
    virtual void Ending(int /*code*/) {}
    virtual void Ended(int /*code*/, const std::string& /*message*/) {}
    // With --json: the command has printed its result object (a run that fails after it, e.g.
    // a read that failed, prints no error object), and members the error object carries.
    virtual bool PrintedResult() const { return false; }
    virtual std::string JsonErrorMore() const { return {}; }
    // Before a line of the tool's own goes to stderr (a progress bar ends its line).
    virtual void BeforeLine() {}
    // Passed on from the session.
    virtual void Resending(bool /*block*/) {}
};

class ToolSession : private SessionObserver {
public:
    // program: the name that starts every line on stderr ("r8v5mc-copy").
    ToolSession(std::string program, const ToolOptions& options, const ToolStreams& io);
    ~ToolSession() override;

    // Runs the command. signalFd: a signalfd for SIGINT and SIGTERM (anything that delivers
    // signalfd_siginfo records), or -1. onStep, if given, runs after every turn of the loop while
    // the command runs, with the session (for tests that step the camera or the link timer).
    int Run(ToolCommand& command, int signalFd, const std::function<void(Session&)>& onStep);

    // Ends the run with code; message, if any, is its last line on stderr (and, with --json,
    // the error object's message). Only the first call counts.
    void End(int code, const std::string& message = {});
    void End(int code, const std::string& message, ErrorKind kind);
    // An error line on stderr that is also the run's error for --json.
    void Fail(ErrorKind kind, const std::string& message);
    bool Finished() const { return finished_; }
    // "PROGRAM: message" on stderr.
    void Say(const std::string& message);

    // A stop signal has arrived (looked for without waiting while the command prepares).
    bool StopAsked();
    // The signal descriptor, or -1: a read that waits (standard input) waits on it too.
    int SignalFd() const { return signalFd_; }
    // A stop signal has been taken by the loop.
    bool Stopping() const { return stopSignal_ != 0; }
    // "SIGINT" or "SIGTERM", and its exit code; only after a stop.
    std::string StopName() const;
    int StopCode() const;

    Session& GetSession() { return *session_; }
    const ToolStreams& Streams() const { return io_; }
    // The port as the last lines name it.
    std::string PortName() const;

private:
    // SessionObserver. The tool's room stands on the Copy page, which loads nothing.
    int ActivePage() const override;
    void Message(const std::string& text, const std::string& caption, int) override;
    void Resending(bool block) override {
        if (!finished_) command_->Resending(block);
    }
    void LinkLost() override;
    void NoAnswer() override;
    void Repeated(const std::string& text, const std::string& caption, int more) override;
    void LineGarbage(const std::string& text) override;

    // Before the camera first answered on a network port: its failures are the search's.
    bool searching() const;
    std::string noCameraText() const;
    int run(const std::function<void(Session&)>& onStep);
    // The run ends because the link or the port is lost: message and the command's note.
    void lost(const std::string& message, ErrorKind kind = ErrorKind::LinkLost);
    void onException(const std::exception& e);
    int openTrace();
    // A trace file that could not take every line makes the run end in a file error.
    void checkTrace();
    // The one place where the tool's port is chosen and checked.
    int choosePort();
    // --port auto: the search over the machine's serial ports, one round per link tick until
    // the link's give-up; port_ becomes the port that answered.
    int findPort();
    void step();
    void start();
    void onSignal();

    std::string program_;
    const ToolOptions& options_;
    ToolStreams io_;
    ToolCommand* command_ = nullptr;
    int signalFd_ = -1;
    std::unique_ptr<sim::CameraSim> camera_;
    PollLoop loop_;
    std::unique_ptr<TComm> comm_;
    Trace trace_;
    struct CloseFile {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, CloseFile> traceFile_; // outlives the session that traces into it
    int traceError_ = 0;                              // errno of the first line it lost
    ErrorKind errorKind_ = ErrorKind::Usage;
    std::string error_; // the run's error, for --json
    std::unique_ptr<Session> session_;
    bool started_ = false;
    bool finished_ = false;
    int code_ = kExitDone;
    int stopSignal_ = 0;
    std::string port_;        // the port in use: --port, or the one --port auto found
    bool portKept_ = false;   // remembered for the next run
    std::string searchCause_; // why the search's last network connection failed
    uint64_t failuresSeen_ = 0;
    std::chrono::steady_clock::time_point stopBy_{};
};

// Runs a tool's command object: Job(args, io), then its Run(signalFd, onStep).
template <class Job, class Args>
int RunJob(const Args& args, const ToolStreams& io, int signalFd,
           const std::function<void(Session&)>& onStep) {
    Job job(args, io);
    return job.Run(signalFd, onStep);
}

} // namespace r8
