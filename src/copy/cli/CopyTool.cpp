// SPDX-License-Identifier: MIT
#include "CopyTool.h"

#include "Comm.h"
#include "CopyEngine.h"
#include "HexText.h"
#include "Session.h"
#include "TargetFile.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
#include <unistd.h>

namespace r8 {

namespace {

using Clock = std::chrono::steady_clock;

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

class CopyJob : public ToolCommand, private CopyReport {
public:
    CopyJob(const CopyArgs& args, const ToolStreams& io)
        : args_(args), io_(io), progress_(io.err, OpName(args.op)), tool_("r8v5mc-copy", args, io) {
    }

    int Run(int signalFd, const std::function<void(Session&)>& onStep) {
        return tool_.Run(*this, signalFd, onStep);
    }

private:
    // ToolCommand
    int Prepare() override;
    void ConfigurePort(TComm& comm) override {
        began_ = Clock::now();
        comm.SetReceiveNotifySize(7168);
        comm.SetSendNotifySize(8192);
    }
    Room& Attach(Session& session) override {
        CopyReport& report = *this;
        engine_ = std::make_unique<CopyEngine>(session, report);
        return *engine_;
    }
    bool Start() override;
    std::vector<std::string> Files() const override { return {args_.file}; }
    void OnStop() override {
        if (engine_) stopNote_ = engine_->Stop();
    }
    std::string Stopped() override { return stopNote_; }
    std::string LostNote() const override { return engine_ ? engine_->WrittenSoFar() : ""; }
    void Ending(int) override {
        if (engine_) engine_->Abort();
        progress_.Break();
    }
    void BeforeLine() override { progress_.Break(); }
    void Resending(bool block) override {
        ++retries_;
        progress_.Note(std::string(block ? "no answer to the settings block: sending it again"
                                         : "no answer: sending the command again") +
                       " (retry " + std::to_string(retries_) + ")");
    }

    // CopyReport
    void CopyProgress(int position, int maximum) override { progress_.Show(position, maximum); }
    void CopyDone() override;
    void CopyFailed(const CopyFailure& f) override {
        const bool file = f.caption == "File.ERR";
        tool_.End(f.linkLost ? kExitNoCamera
                  : file     ? kExitUsage
                             : kExitCamera,
                  f.text + ": " + f.detail);
    }

    int prepareTarget();

    const CopyArgs& args_;
    ToolStreams io_;
    Progress progress_;
    SettingsFile file_;
    int retries_ = 0;
    std::string stopNote_; // what a stop left behind
    Clock::time_point began_{};
    ToolSession tool_;
    std::unique_ptr<CopyEngine> engine_; // the session's room: goes before the session
};

void CopyJob::CopyDone() {
    if (tool_.Finished()) return;
    progress_.Break();
    const double seconds = std::chrono::duration<double>(Clock::now() - began_).count();
    const std::string what = OpName(args_.op);
    if (args_.op == CopyArgs::Op::Verify) {
        const ImageComparison& c = engine_->Differences();
        PrintDifferences(io_.out, c.differ);
        std::fprintf(io_.out, "verify %s: %s compared, %zu differ, %.1f s\n", args_.file.c_str(),
                     ComparedText(c).c_str(), c.differ.size(), seconds);
        tool_.End(c.differ.empty() ? kExitDone : kExitCamera);
        return;
    }
    const char* mode =
        args_.op == CopyArgs::Op::Write ? (args_.batch ? " (batch)" : " (single)") : "";
    std::fprintf(io_.out, "%s%s %s: %d words, %.1f s\n", what.c_str(), mode, args_.file.c_str(),
                 engine_->Words(), seconds);
    tool_.End(kExitDone);
}

// The target of read: a regular file (with --force) or a new one, in a folder we may write.
int CopyJob::prepareTarget() {
    namespace fs = std::filesystem;
    std::string target;
    if (const std::string error = ResolveTarget(args_.file, target); !error.empty()) {
        tool_.Say(error);
        return kExitUsage;
    }
    std::error_code ec;
    if (fs::exists(target, ec) && !args_.force) {
        tool_.Say(args_.file + " exists; give --force to replace it");
        return kExitUsage;
    }
    const fs::path t(target);
    const fs::path folder = t.has_parent_path() ? t.parent_path() : fs::path(".");
    if (::access(folder.c_str(), W_OK) != 0) {
        tool_.Say(args_.file + ": cannot write in " + folder.string() + ": " +
                  std::strerror(errno));
        return kExitUsage;
    }
    return kExitDone;
}

int CopyJob::Prepare() {
    if (args_.op == CopyArgs::Op::Read) return prepareTarget();
    // Read once, before the port is touched; a signal stops the read.
    std::string error = ReadSettingsFile(args_.file, file_, [this] { return tool_.StopAsked(); });
    if (tool_.StopAsked()) {
        tool_.Say("stopped by " + tool_.StopName() + "; nothing sent");
        return tool_.StopCode();
    }
    // A comparison needs every word; a write, what its mode sends.
    if (error.empty())
        error = args_.op == CopyArgs::Op::Verify ? CheckBlockImage(file_, args_.file)
                                                 : CheckWritable(file_, args_.file, args_.batch);
    if (!error.empty()) {
        tool_.Say(error);
        return kExitUsage;
    }
    return kExitDone;
}

bool CopyJob::Start() {
    switch (args_.op) {
    case CopyArgs::Op::Read:
        return engine_->CtopOK2Click(args_.file);
    case CopyArgs::Op::Verify:
        return engine_->Verify(args_.file, file_);
    case CopyArgs::Op::Write:
        // The file read before the port was opened; it is not read again.
        return args_.batch ? engine_->ptocOk2Click(args_.file, file_)
                           : engine_->ptocOkClick(args_.file, file_);
    default:
        return false;
    }
}

int RunDiff(const CopyArgs& args, const ToolStreams& io) {
    SettingsFile a, b;
    for (auto [path, file] : {std::pair{&args.file, &a}, std::pair{&args.file2, &b}}) {
        if (const std::string error = ReadSettingsFile(*path, *file); !error.empty()) {
            std::fprintf(io.err, "r8v5mc-copy: %s\n", error.c_str());
            return kExitUsage;
        }
    }
    const ImageComparison c = CompareImages(a.words, b.words);
    PrintDifferences(io.out, c.differ);
    std::fprintf(io.out, "diff %s %s: %zu of %s differ\n", args.file.c_str(), args.file2.c_str(),
                 c.differ.size(), ComparedText(c).c_str());
    return c.differ.empty() ? kExitDone : kExitCamera;
}

} // namespace

CopyArgs ParseCopyArgs(const std::vector<std::string>& args) {
    CopyArgs r;
    std::vector<std::string> words;
    bool batchGiven = false, singleGiven = false;
    const auto own = [&](const std::vector<std::string>& all, size_t& i, std::string& error) {
        const std::string& a = all[i];
        if (a == "--force") {
            r.force = true;
        } else if (a == "--batch" || a == "--single") {
            r.batch = a == "--batch";
            (r.batch ? batchGiven : singleGiven) = true;
            if (batchGiven && singleGiven) error = "--batch and --single exclude each other";
        } else {
            return false;
        }
        return true;
    };
    if (!SplitToolArgs(args, r, own, "read, write, verify or diff", words)) return r;
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

)" + ToolOptionsUsage("  --force        let read replace an existing FILE\n") +
           R"(
Exit status: 0 done; 1 the camera answered an error, or verify or diff found a difference;
2 usage, port or file error (nothing sent); 3 no camera answered or the link was lost;
130 / 143 stopped by SIGINT / SIGTERM.
)";
}

int RunCopyTool(const CopyArgs& args, const ToolStreams& io, int signalFd,
                const std::function<void(Session&)>& onStep) {
    if (args.op == CopyArgs::Op::Diff) return RunDiff(args, io);
    return RunJob<CopyJob>(args, io, signalFd, onStep);
}

} // namespace r8
