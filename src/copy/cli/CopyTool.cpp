#include "CopyTool.h"

#include "Comm.h"
#include "CopyEngine.h"
#include "HexText.h"
#include "NetAddress.h"
#include "PollLoop.h"
#include "Session.h"
#include "SimPeer.h"
#include "TargetFile.h"
#include "Trace.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <poll.h>
#include <sys/file.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace r8 {

namespace {

using Clock = std::chrono::steady_clock;

// How long a stop request waits for the exchange in flight to finish.
constexpr int kStopGraceMs = 3000;
// How long the last bytes get to leave before the port is closed.
constexpr int kDrainMs = 50;

const char* OpName(CopyArgs::Op op) {
    switch (op) {
    case CopyArgs::Op::Read:
        return "read";
    case CopyArgs::Op::Write:
        return "write";
    case CopyArgs::Op::Verify:
        return "verify";
    case CopyArgs::Op::Diff:
        return "diff";
    default:
        return "";
    }
}

std::string WordText(int32_t w) {
    return w == kNoWord ? "----" : HexWord(w);
}

void PrintDifferences(std::FILE* out, const std::vector<WordDifference>& diffs) {
    for (const auto& d : diffs)
        std::fprintf(out, "%s %s %s\n", HexWord(d.address).c_str(), WordText(d.first).c_str(),
                     WordText(d.second).c_str());
}

// Progress on stderr: a bar that redraws itself on a terminal, a line per tenth otherwise.
class Progress {
public:
    Progress(std::FILE* err, std::string what)
        : err_(err), what_(std::move(what)), terminal_(::isatty(::fileno(err)) == 1) {}
    void Show(int position, int maximum) {
        if (maximum <= 0) return;
        position = std::clamp(position, 0, maximum);
        if (position != position_) note_.clear();
        position_ = position;
        maximum_ = maximum;
        if (terminal_) {
            draw();
            return;
        }
        const int tenth = position * 10 / maximum;
        if (tenth == lastTenth_) return;
        lastTenth_ = tenth;
        std::fprintf(err_, "%s: %d%% (%d/%d)\n", what_.c_str(), tenth * 10, position, maximum);
    }
    // Something the bar's line shows until the next step, e.g. that a frame is sent again.
    void Note(const std::string& note) {
        if (!terminal_) {
            std::fprintf(err_, "%s: %s\n", what_.c_str(), note.c_str());
            return;
        }
        note_ = note;
        if (maximum_ > 0) draw();
    }
    // Ends the bar's line before anything else is printed.
    void Break() {
        if (!drawn_) return;
        std::fputc('\n', err_);
        drawn_ = false;
    }

private:
    void draw() {
        constexpr int kWidth = 40;
        const int filled = position_ * kWidth / maximum_;
        std::fprintf(err_, "\r%s [%s%s] %d/%d%s%s\033[K", what_.c_str(),
                     std::string(filled, '#').c_str(), std::string(kWidth - filled, '.').c_str(),
                     position_, maximum_, note_.empty() ? "" : "  ", note_.c_str());
        std::fflush(err_);
        drawn_ = true;
    }

    std::FILE* err_;
    std::string what_;
    bool terminal_;
    bool drawn_ = false;
    int lastTenth_ = -1;
    int position_ = -1;
    int maximum_ = 0;
    std::string note_;
};

class CopyJob : private SessionObserver, private CopyReport {
public:
    CopyJob(const CopyArgs& args, const ToolStreams& io)
        : args_(args), io_(io), progress_(io.err, OpName(args.op)) {}

    int Run(int signalFd, const std::function<void(Session&)>& onStep);

private:
    // SessionObserver
    int ActivePage() const override { return kCopyGroup; }
    void Message(const std::string& text, const std::string& caption, int) override;
    void ResetAcknowledged() override { engine_->CloseCopyFile(); }
    void Resending(bool block) override {
        ++retries_;
        progress_.Note(std::string(block ? "no answer to the settings block: sending it again"
                                         : "no answer: sending the command again") +
                       " (retry " + std::to_string(retries_) + ")");
    }
    void LinkLost() override {
        end(kExitNoCamera, "no camera answered on " + portName() + " (no ACK to the enquiry)");
    }

    // CopyReport
    void CopyProgress(int position, int maximum) override { progress_.Show(position, maximum); }
    void CopyDone() override;
    void CopyFailed(const CopyFailure& f) override {
        const bool file = f.caption == "File.ERR";
        end(f.linkLost ? kExitNoCamera : file ? kExitUsage : kExitCamera, f.text + ": " + f.detail);
    }

    int prepare(int signalFd);
    int prepareTarget();
    // A stop signal that has arrived on signalFd, without waiting; true once one has.
    bool signalArrived(int signalFd);
    void step();
    void start();
    void onSignal();
    void end(int code, const std::string& message = {});
    std::string portName() const { return args_.simulate ? "the simulated camera" : args_.port; }

    const CopyArgs& args_;
    ToolStreams io_;
    Progress progress_;
    SettingsFile file_;
    std::unique_ptr<sim::CameraSim> camera_;
    PollLoop loop_;
    std::unique_ptr<TComm> comm_;
    Trace trace_;
    struct CloseFile {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, CloseFile> traceFile_; // outlives the session that traces into it
    std::unique_ptr<Session> session_;
    std::unique_ptr<CopyEngine> engine_;
    bool started_ = false;
    bool finished_ = false;
    int code_ = kExitDone;
    int stopSignal_ = 0;
    int retries_ = 0;
    Clock::time_point stopBy_{};
    Clock::time_point began_{};
};

void CopyJob::Message(const std::string& text, const std::string& caption, int) {
    if (caption == "Comm.ERR") {
        if (session_->Link().LINK_STATUS == 0)
            end(kExitNoCamera, "no camera answered on " + portName());
        else
            end(kExitNoCamera,
                "the camera on " + portName() + " stopped answering: the link is lost");
        return;
    }
    progress_.Break();
    std::fprintf(io_.err, "r8v5mc-copy: %s: %s\n", caption.c_str(), text.c_str());
}

void CopyJob::CopyDone() {
    if (finished_) return;
    progress_.Break();
    const double seconds = std::chrono::duration<double>(Clock::now() - began_).count();
    const std::string what = OpName(args_.op);
    if (args_.op == CopyArgs::Op::Verify) {
        // Only the words the file carries are compared.
        // The file is a whole image (checked before the start): words 0..1022 are compared.
        const auto diffs = CompareImages(file_.words, engine_->Image());
        PrintDifferences(io_.out, diffs);
        std::fprintf(io_.out, "verify %s: %d words compared, %zu differ, %.1f s\n",
                     args_.file.c_str(), kDataRecords, diffs.size(), seconds);
        end(diffs.empty() ? kExitDone : kExitCamera);
        return;
    }
    const char* mode =
        args_.op == CopyArgs::Op::Write ? (args_.batch ? " (batch)" : " (single)") : "";
    std::fprintf(io_.out, "%s%s %s: %d words, %.1f s\n", what.c_str(), mode, args_.file.c_str(),
                 engine_->Words(), seconds);
    end(kExitDone);
}

void CopyJob::end(int code, const std::string& message) {
    if (finished_) return;
    finished_ = true;
    code_ = code;
    if (engine_) engine_->Abort();
    progress_.Break();
    if (!message.empty()) std::fprintf(io_.err, "r8v5mc-copy: %s\n", message.c_str());
    loop_.Quit();
}

bool CopyJob::signalArrived(int signalFd) {
    if (stopSignal_) return true;
    if (signalFd < 0) return false;
    pollfd p{signalFd, POLLIN, 0};
    signalfd_siginfo info{};
    if (::poll(&p, 1, 0) == 1 && ::read(signalFd, &info, sizeof info) == sizeof info)
        stopSignal_ = static_cast<int>(info.ssi_signo);
    return stopSignal_ != 0;
}

// The target of read: a regular file (with --force) or a new one, in a folder we may write.
int CopyJob::prepareTarget() {
    namespace fs = std::filesystem;
    std::string target;
    if (const std::string error = ResolveTarget(args_.file, target); !error.empty()) {
        std::fprintf(io_.err, "r8v5mc-copy: %s\n", error.c_str());
        return kExitUsage;
    }
    std::error_code ec;
    if (fs::exists(target, ec) && !args_.force) {
        std::fprintf(io_.err, "r8v5mc-copy: %s exists; give --force to replace it\n",
                     args_.file.c_str());
        return kExitUsage;
    }
    const fs::path t(target);
    const fs::path folder = t.has_parent_path() ? t.parent_path() : fs::path(".");
    if (::access(folder.c_str(), W_OK) != 0) {
        std::fprintf(io_.err, "r8v5mc-copy: %s: cannot write in %s: %s\n", args_.file.c_str(),
                     folder.c_str(), std::strerror(errno));
        return kExitUsage;
    }
    return kExitDone;
}

int CopyJob::prepare(int signalFd) {
    if (args_.op == CopyArgs::Op::Read) {
        if (const int code = prepareTarget(); code != kExitDone) return code;
    } else {
        // Read once, before the port is touched; a signal stops the read.
        std::string error =
            ReadSettingsFile(args_.file, file_, [&] { return signalArrived(signalFd); });
        if (stopSignal_) {
            std::fprintf(io_.err, "r8v5mc-copy: stopped by %s; nothing sent\n",
                         stopSignal_ == SIGINT ? "SIGINT" : "SIGTERM");
            return stopSignal_ == SIGINT ? kExitInterrupt : kExitTerminate;
        }
        // A block and a comparison both need every word.
        if (error.empty() && (args_.op == CopyArgs::Op::Verify || args_.batch))
            error = CheckBlockImage(file_, args_.file);
        if (!error.empty()) {
            std::fprintf(io_.err, "r8v5mc-copy: %s\n", error.c_str());
            return kExitUsage;
        }
    }
    if (!args_.traceFile.empty()) {
        traceFile_.reset(std::fopen(args_.traceFile.c_str(), "w"));
        if (!traceFile_) {
            std::fprintf(io_.err, "r8v5mc-copy: %s: cannot write the trace: %s\n",
                         args_.traceFile.c_str(), std::strerror(errno));
            return kExitUsage;
        }
        trace_.AddSink(Trace::ToStream(traceFile_.get()));
    }
    if (args_.trace)
        trace_.AddSink([this](const std::string& line) {
            progress_.Break();
            std::fprintf(io_.err, "%s\n", line.c_str());
        });
    if (args_.simulate) {
        try {
            camera_ = std::make_unique<sim::CameraSim>();
            camera_->Start();
        } catch (const std::exception& e) {
            std::fprintf(io_.err, "r8v5mc-copy: cannot start the simulated camera: %s\n", e.what());
            return kExitUsage;
        }
        SetPortPath(1, camera_->SlavePath());
        SetPortPath(2, camera_->SlavePath());
    } else {
        if (const std::string error = CheckPort(args_.port); !error.empty()) {
            std::fprintf(io_.err, "r8v5mc-copy: %s\n", error.c_str());
            return kExitUsage;
        }
        // The port search of the link alternates ports 1 and 2: both are this device.
        SetPortPath(1, args_.port);
        SetPortPath(2, args_.port);
    }
    return kExitDone;
}

int CopyJob::Run(int signalFd, const std::function<void(Session&)>& onStep) {
    if (const int code = prepare(signalFd); code != kExitDone) return code;
    began_ = Clock::now();
    loop_.OnException = [this](const std::exception& e) {
        const bool open = dynamic_cast<const ECommOpenError*>(&e) != nullptr;
        end(open ? kExitUsage : kExitNoCamera,
            portName() + ": " + (open ? "cannot open: " : "") + e.what());
    };
    comm_ = std::make_unique<TComm>();
    comm_->SetReceiveNotifySize(7168);
    comm_->SetSendNotifySize(8192);
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
    CopyReport& report = *this;
    session_ = std::make_unique<Session>(loop_, observer, comm_.get(),
                                         trace_.Active() ? &trace_ : nullptr);
    engine_ = std::make_unique<CopyEngine>(
        *session_, [this](const int32_t* table) { session_->Link().SohCommand(table); }, report);
    session_->SetRoom(kCopyGroup, engine_.get());
    try {
        session_->Start();
    } catch (const ECommOpenError&) {
        std::fprintf(io_.err, "r8v5mc-copy: %s: cannot open the serial port\n", portName().c_str());
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

void CopyJob::step() {
    if (comm_->DeviceGone()) {
        end(kExitNoCamera, PortGoneText(*comm_, portName()));
        return;
    }
    if (stopSignal_) {
        // Between exchanges: once the one in flight is answered, or after a grace period.
        if (session_->Link().AnswerCount == -1 || Clock::now() >= stopBy_) {
            progress_.Break();
            std::fprintf(io_.err, "r8v5mc-copy: stopped by %s; %s\n",
                         stopSignal_ == SIGINT ? "SIGINT" : "SIGTERM",
                         args_.op == CopyArgs::Op::Read ? "no file written"
                                                        : "the camera may hold part of the file");
            end(stopSignal_ == SIGINT ? kExitInterrupt : kExitTerminate);
        }
        return;
    }
    if (!started_ && session_->Link().LINK_STATUS != 0 && session_->Trans_chk() &&
        session_->Loader().Orders.bOrder == 0)
        start();
}

void CopyJob::start() {
    started_ = true;
    bool ok = false;
    try {
        switch (args_.op) {
        case CopyArgs::Op::Read:
            ok = engine_->CtopOK2Click(args_.file);
            break;
        case CopyArgs::Op::Verify:
            ok = engine_->CtopOK2Click("");
            break;
        case CopyArgs::Op::Write:
            // The file read before the port was opened; it is not read again.
            ok = args_.batch ? engine_->ptocOk2Click(args_.file, file_)
                             : engine_->ptocOkClick(args_.file, file_);
            break;
        default:
            break;
        }
    } catch (const ECommError& e) {
        end(kExitNoCamera, portName() + ": " + e.what());
        return;
    }
    if (!ok) started_ = finished_; // refused for now: try again at the next step
}

void CopyJob::onSignal() {
    if (finished_) return;
    stopBy_ = Clock::now() + std::chrono::milliseconds(kStopGraceMs);
    if (engine_) engine_->Abort();
    started_ = true; // nothing new starts
    step();
}

int RunDiff(const CopyArgs& args, const ToolStreams& io) {
    SettingsFile a, b;
    for (auto [path, file] : {std::pair{&args.file, &a}, std::pair{&args.file2, &b}}) {
        if (const std::string error = ReadSettingsFile(*path, *file); !error.empty()) {
            std::fprintf(io.err, "r8v5mc-copy: %s\n", error.c_str());
            return kExitUsage;
        }
    }
    const auto diffs = CompareImages(a.words, b.words);
    PrintDifferences(io.out, diffs);
    std::fprintf(io.out, "diff %s %s: %zu of %d words differ\n", args.file.c_str(),
                 args.file2.c_str(), diffs.size(), kDataRecords);
    return diffs.empty() ? kExitDone : kExitCamera;
}

} // namespace

CopyArgs ParseCopyArgs(const std::vector<std::string>& args) {
    CopyArgs r;
    std::vector<std::string> words;
    bool batchGiven = false, singleGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            r.help = true;
        } else if (a == "--version") {
            r.version = true;
        } else if (a == "--port" || a.starts_with("--port=")) {
            if (a.size() > 6) {
                r.port = a.substr(7);
            } else if (i + 1 < args.size()) {
                r.port = args[++i];
            } else {
                r.error = "--port needs a device path";
                return r;
            }
            if (r.port.empty()) r.error = "--port needs a device path";
        } else if (a == "--simulate") {
            r.simulate = true;
        } else if (a == "--force") {
            r.force = true;
        } else if (a == "--trace") {
            r.trace = true;
        } else if (a == "--trace-file" || a.starts_with("--trace-file=")) {
            if (a.size() > 12)
                r.traceFile = a.substr(13);
            else if (i + 1 < args.size())
                r.traceFile = args[++i];
            if (r.traceFile.empty()) r.error = "--trace-file needs a file";
        } else if (a == "--batch" || a == "--single") {
            r.batch = a == "--batch";
            (r.batch ? batchGiven : singleGiven) = true;
            if (batchGiven && singleGiven) r.error = "--batch and --single exclude each other";
        } else if (a.starts_with("-") && a != "-") {
            r.error = "unknown option " + a;
        } else {
            words.push_back(a);
        }
        if (!r.error.empty()) return r;
    }
    if (r.help || r.version) return r;
    if (words.empty()) {
        r.error = "no command given (read, write, verify or diff)";
        return r;
    }
    const std::string& command = words[0];
    size_t want = 2;
    if (command == "read")
        r.op = CopyArgs::Op::Read;
    else if (command == "write")
        r.op = CopyArgs::Op::Write;
    else if (command == "verify")
        r.op = CopyArgs::Op::Verify;
    else if (command == "diff")
        r.op = CopyArgs::Op::Diff, want = 3;
    else {
        r.error = "unknown command " + command;
        return r;
    }
    if (words.size() != want) {
        r.error = command + (want == 3 ? " takes two files" : " takes one file");
        return r;
    }
    r.file = words[1];
    if (want == 3) r.file2 = words[2];
    if ((batchGiven || singleGiven) && r.op != CopyArgs::Op::Write)
        r.error = "--batch and --single go with write only";
    else if (r.force && r.op != CopyArgs::Op::Read)
        r.error = "--force goes with read only";
    return r;
}

std::string CopyUsage(const std::string& program) {
    return "Usage: " + program + R"( [options] read FILE
       )" + program +
           R"( [options] write FILE [--batch | --single]
       )" + program +
           R"( [options] verify FILE
       )" + program +
           R"( diff FILE1 FILE2
Copies the EEPROM image of an R8V5MC camera to and from a settings file.

  read FILE      read the camera's 1024 words into FILE, a regular file or a new one (an
                 existing FILE only with --force; a symbolic link's target is replaced)
  write FILE     write FILE into the camera as one block (--batch, the default) or record by
                 record (--single), then reset the camera
  verify FILE    read the camera and list each word that differs: address, file, camera
                 (FILE must be a whole image: words 0000 to 03FE)
  diff F1 F2     list the words that differ between two files; no camera

  --port PATH    serial device of the camera (default /dev/ttyS0), or a serial device
                 server: socket://HOST:PORT (raw TCP) or rfc2217://HOST:PORT
  --simulate     use a simulated camera instead of a serial device
  --force        let read replace an existing FILE
  --trace        trace the line on stderr: every byte both ways, one line per control
                 byte or frame, with the time to the millisecond and the CRC checked
  --trace-file FILE  the same trace into FILE
  --help         this text
  --version      the program's version

Exit status: 0 done; 1 the camera answered an error, or verify or diff found a difference;
2 usage, port or file error (nothing sent); 3 no camera answered or the link was lost;
130 / 143 stopped by SIGINT / SIGTERM.
)";
}

std::string CheckPort(const std::string& path) {
    // A network port is checked when it connects; here only its name.
    if (IsNetworkName(path))
        return ParseNetAddress(path) ? ""
                                     : path + ": not a network port name (socket://HOST:PORT "
                                              "or rfc2217://HOST:PORT)";
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int e = errno;
        switch (e) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return path + ": no such device";
        case EACCES:
        case EPERM:
            return path + ": permission denied; join the dialout group (sudo usermod -aG "
                          "dialout $USER) and log in again";
        case EBUSY:
            return path + ": the device is busy in another program";
        default:
            return path + ": cannot open: " + std::strerror(e);
        }
    }
    std::string error;
    if (!::isatty(fd))
        error = path + ": not a serial device";
    else if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        error = path + ": the device is busy in another program";
    ::close(fd);
    return error;
}

std::string PortGoneText(const TComm& comm, const std::string& name) {
    if (!comm.IsNetwork()) return name + " went away";
    std::string text = NetFailureText(name, comm.GoneCause());
    if (!text.empty() && text.back() == '.') text.pop_back(); // the line ends without one
    return text;
}

int RunCopyTool(const CopyArgs& args, const ToolStreams& io, int signalFd,
                const std::function<void(Session&)>& onStep) {
    if (args.op == CopyArgs::Op::Diff) return RunDiff(args, io);
    CopyJob job(args, io);
    return job.Run(signalFd, onStep);
}

} // namespace r8
