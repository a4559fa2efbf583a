#include "CtlTool.h"

#include "BoundedRead.h"
#include "Catalogue.h"
#include "Comm.h"
#include "CtlReport.h"
#include "HexText.h"
#include "PollLoop.h"
#include "Profile.h"
#include "Session.h"
#include "SimPeer.h"
#include "Trace.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <poll.h>
#include <sstream>
#include <sys/signalfd.h>
#include <unistd.h>

namespace r8 {

namespace {

using Clock = std::chrono::steady_clock;
using Payload = std::vector<uint8_t>;
using Bytes15 = std::array<uint8_t, 15>;

// A profile holds a line per setting, a few kilobytes.
const FileKind kProfileKind{"a profile", 1 << 20, ""};

// How long a stop request waits for the exchange in flight to finish.
constexpr int kStopGraceMs = 3000;
// How long the last bytes get to leave before the port is closed.
constexpr int kDrainMs = 50;

// One exchange: the command and the answer (none when the camera answered its ACK only).
struct Reply {
    Bytes15 command{};
    Bytes15 answer{};
    bool ackOnly = false;

    AnswerView View() const { return {answer.data(), command.data()}; }
    bool Good() const { return !ackOnly && answer[0] == 0xA0; }
};

std::string AnswerStatus(const Reply& r) {
    if (r.ackOnly) return "the camera answered with its ACK only";
    if (r.answer[0] == 0xA1) return "the camera does not know the command (answer A1)";
    if (r.answer[0] == 0xA2) return "the camera refused the item or value (answer A2)";
    return "the camera answered " + HexByte(r.answer[0]);
}

std::string Names(const std::vector<std::string>& names) {
    std::string r;
    for (const auto& n : names)
        r += (r.empty() ? "" : ", ") + n;
    return r.empty() ? "none" : r;
}

// The payload of `raw`: hexadecimal bytes, as separate words or run together.
std::string ParseRaw(const std::vector<std::string>& words, Payload& out) {
    std::string digits;
    for (const auto& w : words)
        for (char c : w)
            if (c != ' ') digits += c;
    if (digits.size() % 2 != 0) return "raw: an odd number of hexadecimal digits";
    for (size_t i = 0; i < digits.size(); i += 2) {
        const int b = ParseHexByte(std::string_view(digits).substr(i, 2));
        if (b < 0) return "raw: \"" + digits.substr(i, 2) + "\" is not a hexadecimal byte";
        out.push_back(static_cast<uint8_t>(b));
    }
    if (out.empty() || out.size() > 15) return "raw: a command has 1 to 15 payload bytes";
    return {};
}

class CtlJob : private SessionObserver, private Room {
public:
    CtlJob(const CtlArgs& args, const ToolStreams& io) : args_(args), io_(io) {}
    int Run(int signalFd, const std::function<void(Session&)>& onStep);

private:
    using Done = std::function<void(const Reply&)>;
    struct Exchange {
        Payload payload;
        Done done;
    };

    // SessionObserver. The tool's room stands on the Copy page, which loads nothing.
    int ActivePage() const override { return kCopyGroup; }
    void Message(const std::string& text, const std::string& caption, int) override;
    void LinkLost() override {
        end(kExitNoCamera, "no camera answered on " + portName() + " (no ACK to the enquiry)");
    }
    // Room: every answer of the session comes here.
    PageTable Page() const override { return {}; }
    void OnAnswer() override;

    int plan();
    int prepare();
    void step();
    void start();
    void onSignal();
    void end(int code, const std::string& message = {});
    void say(const std::string& message) const;
    std::string portName() const { return args_.simulate ? "the simulated camera" : args_.port; }

    // Exchanges run one at a time in order; `then` runs when the queue is empty.
    void send(Payload payload, Done done);
    void sendNext();
    void exchangeDone(const Reply& r);

    // Reads every setting of `entries` (and the ranges the camera reports), one read per
    // distinct request, then runs then.
    void readAll(const std::vector<const SettingEntry*>& entries, std::function<void()> then);
    SettingValue valueOf(const SettingEntry& s);
    std::vector<SettingValue> valuesOf(const std::vector<const SettingEntry*>& entries);

    void report();
    void checkCameraRanges();
    void writeNext();
    void setFailed(const std::string& why);
    void setSummary(bool currentSent);

    const CtlArgs& args_;
    ToolStreams io_;
    int signalFd_ = -1;
    std::vector<const SettingEntry*> entries_; // list, get, dump
    std::vector<Assignment> assignments_;      // set, apply
    Payload raw_;
    std::map<Payload, Reply> replies_;
    bool readFailed_ = false;

    size_t next_ = 0;       // the assignment being set
    bool nextSent_ = false; // its write has gone out
    bool writing_ = false;  // set and apply: the writes have begun
    std::vector<SettingValue> confirmed_;

    std::deque<Exchange> queue_;
    std::optional<Exchange> inFlight_;
    std::function<void()> then_;

    std::unique_ptr<sim::CameraSim> camera_;
    PollLoop loop_;
    std::unique_ptr<TComm> comm_;
    Trace trace_;
    struct CloseFile {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, CloseFile> traceFile_; // outlives the session that traces into it
    std::unique_ptr<Session> session_;
    bool started_ = false;
    bool finished_ = false;
    int code_ = kExitDone;
    int stopSignal_ = 0;
    Clock::time_point stopBy_{};
};

void CtlJob::say(const std::string& message) const {
    std::fprintf(io_.err, "r8v5mc-ctl: %s\n", message.c_str());
}

void CtlJob::Message(const std::string& text, const std::string& caption, int) {
    if (caption == "Comm.ERR") {
        if (session_->Link().LINK_STATUS == 0)
            end(kExitNoCamera, "no camera answered on " + portName());
        else
            end(kExitNoCamera,
                "the camera on " + portName() + " stopped answering: the link is lost");
        return;
    }
    say(caption + ": " + text);
}

// Everything that can be checked without the camera: names, values, the profile, the bytes.
int CtlJob::plan() {
    std::optional<PageGroup> page;
    if (!args_.page.empty()) {
        page = PageByName(args_.page);
        if (!page) {
            say("no page is called \"" + args_.page +
                "\" (easy, mask, adjust, debug, defect, copy, line)");
            return kExitUsage;
        }
    }
    switch (args_.op) {
    case CtlArgs::Op::List:
    case CtlArgs::Op::Dump:
        for (const SettingEntry* s : Catalogue())
            if (!page || s->page == *page) entries_.push_back(s);
        return kExitDone;
    case CtlArgs::Op::Get:
        for (const auto& name : args_.words) {
            const SettingEntry* s = FindSetting(name);
            if (!s) {
                say("no setting is called \"" + name + "\" (list shows them all)");
                return kExitUsage;
            }
            entries_.push_back(s);
        }
        return kExitDone;
    case CtlArgs::Op::Set:
        for (const auto& word : args_.words) {
            Assignment a;
            if (std::string error = ParseAssignment(word, a); !error.empty()) {
                say(error + "; nothing sent");
                return kExitUsage;
            }
            assignments_.push_back(a);
        }
        return kExitDone;
    case CtlArgs::Op::Apply: {
        const std::string& file = args_.words[0];
        const std::string name = file == "-" ? "standard input" : file;
        // A signal stops the read: the signal descriptor is readable.
        const auto signalled = [this] {
            pollfd p{signalFd_, POLLIN, 0};
            return signalFd_ >= 0 && ::poll(&p, 1, 0) > 0;
        };
        std::string text;
        std::string error = file == "-" ? ReadDescriptor(STDIN_FILENO, name, kProfileKind, text,
                                                         signalled, signalFd_)
                                        : ReadRegularFile(file, kProfileKind, text, signalled);
        if (error == "stopped") {
            signalfd_siginfo info{};
            const bool read = ::read(signalFd_, &info, sizeof info) == sizeof info;
            return read && info.ssi_signo == SIGTERM ? kExitTerminate : kExitInterrupt;
        }
        if (error.empty()) {
            std::istringstream in(text);
            error = ReadProfile(in, name, assignments_);
        }
        if (!error.empty()) {
            say(error + "; nothing sent");
            return kExitUsage;
        }
        return kExitDone;
    }
    case CtlArgs::Op::Raw:
        if (std::string error = ParseRaw(args_.words, raw_); !error.empty()) {
            say(error);
            return kExitUsage;
        }
        return kExitDone;
    case CtlArgs::Op::None:
        break;
    }
    return kExitUsage;
}

int CtlJob::prepare() {
    if (!args_.traceFile.empty()) {
        traceFile_.reset(std::fopen(args_.traceFile.c_str(), "w"));
        if (!traceFile_) {
            say(args_.traceFile + ": cannot write the trace: " + std::strerror(errno));
            return kExitUsage;
        }
        trace_.AddSink(Trace::ToStream(traceFile_.get()));
    }
    if (args_.trace)
        trace_.AddSink(
            [this](const std::string& line) { std::fprintf(io_.err, "%s\n", line.c_str()); });
    if (args_.simulate) {
        try {
            camera_ = std::make_unique<sim::CameraSim>();
            camera_->Start();
        } catch (const std::exception& e) {
            say(std::string("cannot start the simulated camera: ") + e.what());
            return kExitUsage;
        }
        SetPortPath(1, camera_->SlavePath());
        SetPortPath(2, camera_->SlavePath());
    } else {
        if (const std::string error = CheckPort(args_.port); !error.empty()) {
            say(error);
            return kExitUsage;
        }
        // The port search of the link alternates ports 1 and 2: both are this device.
        SetPortPath(1, args_.port);
        SetPortPath(2, args_.port);
    }
    return kExitDone;
}

int CtlJob::Run(int signalFd, const std::function<void(Session&)>& onStep) {
    signalFd_ = signalFd;
    if (const int code = plan(); code != kExitDone) return code;
    if (const int code = prepare(); code != kExitDone) return code;
    loop_.OnException = [this](const std::exception& e) {
        const bool open = dynamic_cast<const ECommOpenError*>(&e) != nullptr;
        end(open ? kExitUsage : kExitNoCamera,
            portName() + ": " + (open ? "cannot open: " : "") + e.what());
    };
    comm_ = std::make_unique<TComm>();
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
    session_->SetRoom(kCopyGroup, this);
    try {
        session_->Start();
    } catch (const ECommOpenError&) {
        say(portName() + ": cannot open the serial port");
        session_->Close();
        return kExitUsage;
    }
    while (!finished_) {
        loop_.RunOnce(200);
        if (!finished_ && onStep) onStep(*session_);
        if (!finished_) step();
    }
    // Closing the port discards what it has not sent yet: give the last ACK time to leave.
    loop_.RunUntil([] { return false; }, kDrainMs);
    session_->Close();
    if (camera_) camera_->Stop();
    return code_;
}

void CtlJob::step() {
    if (comm_->DeviceGone()) {
        end(kExitNoCamera, PortGoneText(*comm_, portName()));
        return;
    }
    if (stopSignal_) {
        if (!inFlight_ || Clock::now() >= stopBy_) {
            if (writing_) setSummary(inFlight_.has_value() || nextSent_);
            end(stopSignal_ == SIGINT ? kExitInterrupt : kExitTerminate,
                std::string("stopped by ") + (stopSignal_ == SIGINT ? "SIGINT" : "SIGTERM"));
        }
        return;
    }
    // A command that the camera acknowledged without an answer frame (21 20 00, a reset).
    if (inFlight_ && session_->Link().AnswerCount == -1 && session_->Link().LINK_STATUS == 1) {
        Reply r;
        std::copy(session_->SendFrame().begin() + 1, session_->SendFrame().begin() + 16,
                  r.command.begin());
        r.ackOnly = true;
        exchangeDone(r);
        return;
    }
    if (!started_ && session_->Link().LINK_STATUS != 0 && session_->Trans_chk() &&
        session_->Loader().Orders.bOrder == 0)
        start();
}

void CtlJob::start() {
    started_ = true;
    switch (args_.op) {
    case CtlArgs::Op::List:
    case CtlArgs::Op::Get:
    case CtlArgs::Op::Dump:
        readAll(entries_, [this] { report(); });
        return;
    case CtlArgs::Op::Set:
    case CtlArgs::Op::Apply: {
        std::vector<const SettingEntry*> ranged;
        for (const auto& a : assignments_)
            if (a.setting->cameraRange.key.size != 0) ranged.push_back(a.setting);
        // Only the ranges: a ranged setting's own read is not needed before it is set.
        for (const SettingEntry* s : ranged) {
            Payload p{0x31};
            for (int i = 0; i < s->cameraRange.key.size; ++i)
                p.push_back(s->cameraRange.key.bytes[static_cast<size_t>(i)]);
            if (replies_.count(p)) continue;
            replies_[p] = {};
            send(p, [this, p](const Reply& r) { replies_[p] = r; });
        }
        then_ = [this] { checkCameraRanges(); };
        sendNext();
        return;
    }
    case CtlArgs::Op::Raw:
        send(raw_, [this](const Reply& r) {
            PrintRaw(io_.out, raw_, r.ackOnly ? nullptr : r.answer.data(), args_.json);
            end(r.ackOnly || r.Good() ? kExitDone : kExitCamera);
        });
        sendNext();
        return;
    case CtlArgs::Op::None:
        break;
    }
    end(kExitUsage);
}

void CtlJob::send(Payload payload, Done done) {
    queue_.push_back({std::move(payload), std::move(done)});
}

void CtlJob::sendNext() {
    if (finished_ || inFlight_ || stopSignal_) return;
    // What runs when the queue is empty may queue more.
    while (queue_.empty()) {
        if (!then_) return;
        auto then = std::move(then_);
        then_ = nullptr;
        then();
        if (finished_ || inFlight_) return;
    }
    inFlight_ = std::move(queue_.front());
    queue_.pop_front();
    auto& f = session_->SendFrame();
    for (size_t i = 0; i < inFlight_->payload.size(); ++i)
        f[i + 1] = inFlight_->payload[i];
    session_->StxCommand(static_cast<int>(inFlight_->payload.size()));
}

void CtlJob::OnAnswer() {
    if (!inFlight_) return;
    const AnswerView a = session_->Answer();
    Reply r;
    for (int i = 0; i < 15; ++i) {
        r.answer[static_cast<size_t>(i)] = a.A(i + 1);
        r.command[static_cast<size_t>(i)] = a.P(i + 1);
    }
    exchangeDone(r);
}

void CtlJob::exchangeDone(const Reply& r) {
    Exchange done = std::move(*inFlight_);
    inFlight_.reset();
    if (done.done) done.done(r);
    sendNext();
}

void CtlJob::readAll(const std::vector<const SettingEntry*>& entries, std::function<void()> then) {
    auto read = [this](Payload p) {
        if (replies_.count(p)) return;
        replies_[p] = {};
        send(p, [this, p](const Reply& r) { replies_[p] = r; });
    };
    for (const SettingEntry* s : entries) {
        read(ReadPayload(*s));
        if (s->cameraRange.key.size != 0) {
            Payload p{0x31};
            for (int i = 0; i < s->cameraRange.key.size; ++i)
                p.push_back(s->cameraRange.key.bytes[static_cast<size_t>(i)]);
            read(p);
        }
    }
    then_ = std::move(then);
    sendNext();
}

SettingValue CtlJob::valueOf(const SettingEntry& s) {
    SettingValue v{&s, std::nullopt, s.min, s.max};
    if (s.cameraRange.key.size != 0) {
        Payload p{0x31};
        for (int i = 0; i < s.cameraRange.key.size; ++i)
            p.push_back(s.cameraRange.key.bytes[static_cast<size_t>(i)]);
        const auto it = replies_.find(p);
        if (it != replies_.end() && it->second.Good()) {
            const AnswerView a = it->second.View();
            v.hi = a.S16(s.cameraRange.maxAt);
            v.lo = a.S16(s.cameraRange.minAt);
        }
    }
    const auto it = replies_.find(ReadPayload(s));
    if (it == replies_.end()) return v;
    const Reply& r = it->second;
    if (!r.Good() || !AnswerCarries(s, r.View())) {
        say(std::string(s.name) + ": " +
            (r.Good() ? std::string("the answer does not carry the setting") : AnswerStatus(r)));
        readFailed_ = true;
        return v;
    }
    v.value = ReadValue(s, r.View());
    return v;
}

std::vector<SettingValue> CtlJob::valuesOf(const std::vector<const SettingEntry*>& entries) {
    std::vector<SettingValue> values;
    for (const SettingEntry* s : entries)
        values.push_back(valueOf(*s));
    return values;
}

void CtlJob::report() {
    const auto values = valuesOf(entries_);
    if (args_.op == CtlArgs::Op::List)
        PrintList(io_.out, values, args_.json);
    else
        PrintValues(io_.out, values, args_.json);
    end(readFailed_ ? kExitCamera : kExitDone);
}

// A value outside the range the camera reports is refused like any other bad value.
void CtlJob::checkCameraRanges() {
    for (const Assignment& a : assignments_) {
        const SettingEntry& s = *a.setting;
        if (s.cameraRange.key.size == 0) continue;
        const SettingValue range = valueOf(s);
        Payload p{0x31};
        for (int i = 0; i < s.cameraRange.key.size; ++i)
            p.push_back(s.cameraRange.key.bytes[static_cast<size_t>(i)]);
        if (!replies_[p].Good()) {
            end(kExitCamera, std::string(s.name) + ": the camera did not report the range (" +
                                 AnswerStatus(replies_[p]) + "); nothing set");
            return;
        }
        if (a.value < range.lo || a.value > range.hi) {
            end(kExitUsage, std::string(s.name) + "=" + FormatValue(s, a.value) +
                                " is outside the camera's range " +
                                FormatRange(s, range.lo, range.hi) + "; nothing set");
            return;
        }
    }
    writing_ = true;
    writeNext();
}

void CtlJob::writeNext() {
    if (next_ == assignments_.size()) {
        PrintValues(io_.out, confirmed_, args_.json);
        end(kExitDone);
        return;
    }
    const Assignment a = assignments_[next_];
    nextSent_ = true;
    send(WritePayload(*a.setting, a.value), [this, a](const Reply& w) {
        if (!w.Good()) {
            setFailed(AnswerStatus(w));
            return;
        }
        send(ReadPayload(*a.setting), [this, a](const Reply& r) {
            if (!r.Good() || !AnswerCarries(*a.setting, r.View())) {
                setFailed("reading it back failed: " +
                          (r.Good() ? std::string("the answer does not carry the setting")
                                    : AnswerStatus(r)));
                return;
            }
            const int back = ReadValue(*a.setting, r.View());
            if (back != a.value) {
                setFailed("the camera reads back " + FormatValue(*a.setting, back));
                return;
            }
            confirmed_.push_back({a.setting, back, a.setting->min, a.setting->max});
            ++next_;
            nextSent_ = false;
            writeNext();
        });
    });
}

void CtlJob::setFailed(const std::string& why) {
    const Assignment& a = assignments_[next_];
    say(std::string(a.setting->name) + "=" + FormatValue(*a.setting, a.value) + ": " + why);
    PrintValues(io_.out, confirmed_, args_.json);
    setSummary(true);
    end(kExitCamera);
}

// Which settings a set that stopped half-way has sent, and which it has not.
void CtlJob::setSummary(bool currentSent) {
    std::vector<std::string> done, sent, notSent;
    for (size_t i = 0; i < assignments_.size(); ++i) {
        const std::string name(assignments_[i].setting->name);
        if (i < next_)
            done.push_back(name);
        else if (i == next_ && currentSent)
            sent.push_back(name);
        else
            notSent.push_back(name);
    }
    say("sent and read back: " + Names(done) + "; sent, not confirmed: " + Names(sent) +
        "; not sent: " + Names(notSent));
}

void CtlJob::end(int code, const std::string& message) {
    if (finished_) return;
    finished_ = true;
    code_ = code;
    if (!message.empty()) say(message);
    if (writing_ && code != kExitDone && code != kExitInterrupt && code != kExitTerminate &&
        !message.empty())
        setSummary(inFlight_.has_value() || nextSent_);
    loop_.Quit();
}

void CtlJob::onSignal() {
    if (finished_) return;
    stopBy_ = Clock::now() + std::chrono::milliseconds(kStopGraceMs);
    step();
}

} // namespace

int RunCtlTool(const CtlArgs& args, const ToolStreams& io, int signalFd,
               const std::function<void(Session&)>& onStep) {
    CtlJob job(args, io);
    return job.Run(signalFd, onStep);
}

} // namespace r8
