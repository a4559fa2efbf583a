// SPDX-License-Identifier: MIT
#include "CtlTool.h"

#include "PortCandidates.h"
#include "PortProbe.h"

#include "BoundedRead.h"
#include "Catalogue.h"
#include "CtlReport.h"
#include "HexText.h"
#include "Profile.h"
#include "Session.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <sstream>
#include <unistd.h>

namespace r8 {

namespace {

using Payload = std::vector<uint8_t>;

// A profile holds a line per setting, a few kilobytes.
const FileKind kProfileKind{"a profile", 1 << 20, ""};

// A good answer frame (not the ACK alone that ends some commands).
bool Good(const Reply& r) {
    return r.error == ExchangeError::None && !r.ackOnly && r.answer[0] == 0xA0;
}

AnswerView View(const Reply& r) {
    return {r.answer.data(), r.command.data()};
}

std::string AnswerStatus(const Reply& r) {
    if (r.error == ExchangeError::NoAnswer || r.error == ExchangeError::LinkLost)
        return std::string("the camera did not answer (") + ExchangeErrorText(r.error) + ")";
    if (r.ackOnly) return "the camera answered with its ACK only";
    if (r.answer[0] == 0xA1) return "the camera does not know the command (answer A1)";
    if (r.answer[0] == 0xA2) return "the camera refused the item or value (answer A2)";
    return "the camera answered " + HexByte(r.answer[0]);
}

std::string JsonNames(const std::vector<std::string>& names) {
    std::string r = "[";
    for (const auto& n : names)
        r += (r.size() > 1 ? ", " : "") + JsonString(n);
    return r + "]";
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

class CtlJob : public ToolCommand, private Room {
public:
    CtlJob(const CtlArgs& args, const ToolStreams& io)
        : args_(args), io_(io), tool_("r8v5mc-ctl", args, io) {}
    int Run(int signalFd, const std::function<void(Session&)>& onStep) {
        return tool_.Run(*this, signalFd, onStep);
    }

private:
    using Done = std::function<void(const Reply&)>;
    struct Pending {
        Payload payload;
        Done done;
    };

    // ToolCommand
    int Prepare() override;
    Room& Attach(Session& session) override {
        session_ = &session;
        return *this;
    }
    bool Start() override;
    bool PrintedResult() const override { return printed_; }
    std::string JsonErrorMore() const override { return summary_; }
    std::string Stopped() override {
        if (writing_) setSummary(inFlight_.has_value() || nextSent_);
        return {};
    }
    void Ended(int code, const std::string& message) override {
        if (writing_ && code != kExitDone && code != kExitInterrupt && code != kExitTerminate &&
            !message.empty())
            setSummary(inFlight_.has_value() || nextSent_);
    }
    // Room: no page; every command is an exchange with its own reply.
    PageTable Page() const override { return {}; }

    void end(int code, const std::string& message = {}) { tool_.End(code, message); }
    void say(const std::string& message) { tool_.Say(message); }

    // Exchanges run one at a time in order (so that a stop sends nothing more); `then` runs
    // when the queue is empty.
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
    std::vector<const SettingEntry*> entries_; // list, get, dump
    std::vector<Assignment> assignments_;      // set, apply
    Payload raw_;
    std::map<Payload, Reply> replies_;
    bool readFailed_ = false;

    size_t next_ = 0;       // the assignment being set
    bool nextSent_ = false; // its write has gone out
    bool writing_ = false;  // set and apply: the writes have begun
    std::vector<SettingValue> confirmed_;

    std::deque<Pending> queue_;
    std::optional<Pending> inFlight_;
    std::function<void()> then_;

    bool printed_ = false; // the result is on stdout
    std::string summary_;  // --json: what a set that stopped half-way did

    ToolSession tool_;
    Session* session_ = nullptr;
};

// Everything that can be checked without the camera: names, values, the profile, the bytes.
int CtlJob::Prepare() {
    std::optional<PageGroup> page;
    if (!args_.page.empty()) {
        page = PageByName(args_.page);
        if (!page) {
            tool_.Fail(ErrorKind::Usage, "no page is called \"" + args_.page +
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
                tool_.Fail(ErrorKind::Value,
                           "no setting is called \"" + name + "\" (list shows them all)");
                return kExitUsage;
            }
            // A name given twice is read and shown once.
            if (std::find(entries_.begin(), entries_.end(), s) == entries_.end())
                entries_.push_back(s);
        }
        return kExitDone;
    case CtlArgs::Op::Set:
        for (const auto& word : args_.words) {
            Assignment a;
            if (std::string error = ParseAssignment(word, a); !error.empty()) {
                tool_.Fail(ErrorKind::Value, error + "; nothing sent");
                return kExitUsage;
            }
            assignments_.push_back(a);
        }
        return kExitDone;
    case CtlArgs::Op::Apply: {
        const std::string& file = args_.words[0];
        const std::string name = file == "-" ? "standard input" : file;
        const auto stop = [this] { return tool_.StopAsked(); };
        std::string text;
        std::string error = file == "-" ? ReadDescriptor(STDIN_FILENO, name, kProfileKind, text,
                                                         stop, tool_.SignalFd())
                                        : ReadRegularFile(file, kProfileKind, text, stop);
        if (tool_.StopAsked()) {
            tool_.Fail(ErrorKind::Stopped, "stopped by " + tool_.StopName() + "; nothing sent");
            return tool_.StopCode();
        }
        if (error.empty()) {
            std::istringstream in(text);
            error = ReadProfile(in, name, assignments_);
        }
        if (!error.empty()) {
            // A profile that could be read but holds a bad line is a value error.
            tool_.Fail(text.empty() ? ErrorKind::File : ErrorKind::Value, error + "; nothing sent");
            return kExitUsage;
        }
        return kExitDone;
    }
    case CtlArgs::Op::Raw:
        if (std::string error = ParseRaw(args_.words, raw_); !error.empty()) {
            tool_.Fail(ErrorKind::Value, error);
            return kExitUsage;
        }
        return kExitDone;
    case CtlArgs::Op::None:
    case CtlArgs::Op::Ports:
        break;
    }
    return kExitUsage;
}

bool CtlJob::Start() {
    switch (args_.op) {
    case CtlArgs::Op::List:
    case CtlArgs::Op::Get:
    case CtlArgs::Op::Dump:
        readAll(entries_, [this] { report(); });
        return true;
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
        return true;
    }
    case CtlArgs::Op::Raw:
        send(raw_, [this](const Reply& r) {
            PrintRaw(io_.out, raw_, r.ackOnly ? nullptr : r.answer.data(), args_.json);
            printed_ = true;
            end(r.ackOnly || Good(r) ? kExitDone : kExitCamera);
        });
        sendNext();
        return true;
    case CtlArgs::Op::None:
    case CtlArgs::Op::Ports:
        break;
    }
    end(kExitUsage);
    return true;
}

void CtlJob::send(Payload payload, Done done) {
    queue_.push_back({std::move(payload), std::move(done)});
}

void CtlJob::sendNext() {
    if (tool_.Finished() || inFlight_ || tool_.Stopping()) return;
    // What runs when the queue is empty may queue more.
    while (queue_.empty()) {
        if (!then_) return;
        auto then = std::move(then_);
        then_ = nullptr;
        then();
        if (tool_.Finished() || inFlight_) return;
    }
    inFlight_ = std::move(queue_.front());
    queue_.pop_front();
    Request request;
    std::copy(inFlight_->payload.begin(), inFlight_->payload.end(), request.p.begin());
    request.n = static_cast<int>(inFlight_->payload.size());
    session_->Exchange(request, [this](const Reply& r) { exchangeDone(r); });
}

void CtlJob::exchangeDone(const Reply& r) {
    Pending done = std::move(*inFlight_);
    inFlight_.reset();
    if (tool_.Finished()) return;
    if (r.error == ExchangeError::NoAnswer || r.error == ExchangeError::LinkLost) {
        // The run's last line says why (the link's time-out, a port gone) where it can.
        std::string command;
        for (const uint8_t b : done.payload)
            command += (command.empty() ? "" : " ") + HexByte(b);
        tool_.End(kExitNoCamera, "the link was lost before the camera answered " + command,
                  ErrorKind::LinkLost);
        return;
    }
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
        if (it != replies_.end() && Good(it->second)) {
            const AnswerView a = View(it->second);
            v.hi = a.S16(s.cameraRange.maxAt);
            v.lo = a.S16(s.cameraRange.minAt);
        }
    }
    const auto it = replies_.find(ReadPayload(s));
    if (it == replies_.end()) return v;
    const Reply& r = it->second;
    if (!Good(r) || !AnswerCarries(s, View(r))) {
        say(std::string(s.name) + ": " +
            (Good(r) ? std::string("the answer does not carry the setting") : AnswerStatus(r)));
        readFailed_ = true;
        return v;
    }
    v.value = ReadValue(s, View(r));
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
    printed_ = true; // a failed read is in it (null, or "?" and left out of the text)
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
        if (!Good(replies_[p])) {
            end(kExitCamera, std::string(s.name) + ": the camera did not report the range (" +
                                 AnswerStatus(replies_[p]) + "); nothing set");
            return;
        }
        if (a.value < range.lo || a.value > range.hi) {
            tool_.End(kExitUsage,
                      std::string(s.name) + "=" + FormatValue(s, a.value) +
                          " is outside the camera's range " + FormatRange(s, range.lo, range.hi) +
                          "; nothing set",
                      ErrorKind::Value);
            return;
        }
    }
    writing_ = true;
    writeNext();
}

void CtlJob::writeNext() {
    if (next_ == assignments_.size()) {
        PrintValues(io_.out, confirmed_, args_.json);
        printed_ = true;
        end(kExitDone);
        return;
    }
    const Assignment a = assignments_[next_];
    nextSent_ = true;
    send(WritePayload(*a.setting, a.value), [this, a](const Reply& w) {
        if (!Good(w)) {
            setFailed(AnswerStatus(w));
            return;
        }
        send(ReadPayload(*a.setting), [this, a](const Reply& r) {
            if (!Good(r) || !AnswerCarries(*a.setting, View(r))) {
                setFailed("reading it back failed: " +
                          (Good(r) ? std::string("the answer does not carry the setting")
                                   : AnswerStatus(r)));
                return;
            }
            const int back = ReadValue(*a.setting, View(r));
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
    tool_.Fail(ErrorKind::Camera,
               std::string(a.setting->name) + "=" + FormatValue(*a.setting, a.value) + ": " + why);
    // With --json the confirmed values go into the error object.
    if (!args_.json) PrintValues(io_.out, confirmed_, false);
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
    summary_ = ", \"confirmed\": " + ValuesObject(confirmed_) +
               ", \"unconfirmed\": " + JsonNames(sent) + ", \"not_sent\": " + JsonNames(notSent);
}

} // namespace

// ports: every candidate probed at once, without a session.
int RunPorts(const CtlArgs& args, const ToolStreams& io) {
    const std::vector<PortCandidate> list = ListPortCandidates(RememberedToolPort());
    std::vector<std::string> paths;
    for (const PortCandidate& c : list)
        paths.push_back(c.path);
    const std::vector<ProbeResult> results = ProbePorts(paths);
    bool any = false;
    std::string json;
    for (size_t i = 0; i < list.size(); ++i) {
        const PortCandidate& c = list[i];
        const ProbeResult& r = results[i];
        const bool answered = r.state == ProbeResult::State::Answered;
        any = any || answered;
        if (args.json) {
            const auto str = [](const std::string& v) {
                return v.empty() ? std::string("null") : JsonString(v);
            };
            std::string usb = "null";
            if (c.usb.Known())
                usb = "{\"vendor_id\": " + JsonString(c.usb.vendorId) +
                      ", \"product_id\": " + JsonString(c.usb.productId) +
                      ", \"manufacturer\": " + str(c.usb.manufacturer) +
                      ", \"product\": " + str(c.usb.product) +
                      ", \"serial\": " + str(c.usb.serial) + "}";
            json += std::string(i ? ", " : "") + "{\"port\": " + JsonString(c.path) +
                    ", \"stable_name\": " + str(c.stableName) +
                    ", \"device\": " + JsonString(c.device) + ", \"usb\": " + usb +
                    ", \"remembered\": " + (c.remembered ? "true" : "false") +
                    ", \"camera\": " + (answered ? "true" : "false") +
                    ", \"state\": " + JsonString(ProbeStateName(r.state)) +
                    ", \"message\": " + JsonString(r.text) + "}";
            continue;
        }
        std::string line =
            c.path + ": " + (answered ? std::string("camera answered") : ProbeStateName(r.state));
        if (c.remembered) line += " (last used)";
        std::fprintf(io.out, "%s\n", line.c_str());
        std::string more = c.device != c.path ? "device " + c.device : "";
        if (c.usb.Known()) more += (more.empty() ? "" : "; ") + std::string("USB ") + c.usb.Text();
        if (!answered && r.state != ProbeResult::State::NoAnswer) {
            // What is wrong, without the path the line already names.
            const size_t cut = r.text.find(": ");
            more += (more.empty() ? "" : "; ") +
                    (cut == std::string::npos ? r.text : r.text.substr(cut + 2));
        }
        if (!more.empty()) std::fprintf(io.out, "    %s\n", more.c_str());
    }
    if (args.json)
        std::fprintf(io.out, "{\"ports\": [%s]}\n", json.c_str());
    else if (list.empty())
        std::fprintf(io.err, "r8v5mc-ctl: no serial port found\n");
    return any ? kExitDone : kExitNoCamera;
}

int RunCtlTool(const CtlArgs& args, const ToolStreams& io, int signalFd,
               const std::function<void(Session&)>& onStep) {
    if (args.op == CtlArgs::Op::Ports) return RunPorts(args, io);
    return RunJob<CtlJob>(args, io, signalFd, onStep);
}

} // namespace r8
