// SPDX-License-Identifier: MIT
#include "Session.h"

#include "Comm.h"
#include "HexText.h"
#include "NetAddress.h"
#include "Trace.h"
#include "TracingPort.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <exception>
#include <filesystem>

namespace r8 {

namespace {

constexpr char kDisconnected[] = "Comm. Disconnected";
constexpr char kConnecting[] = "Comm. Connecting";
constexpr char kConnected[] = "Comm. Connected: ";
// A device node or link created, moved into place, or given its permissions; the watched
// folder itself going away.
constexpr uint32_t kFolderEvents =
    IN_CREATE | IN_ATTRIB | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

// Errors of a write that mean the device is no longer there.
bool deviceLost(int error) {
    return error == EIO || error == ENXIO || error == ENODEV;
}

} // namespace

Session::Session(EventLoop& loop, SessionObserver& observer, SerialPort* port, Trace* trace)
    : loop_(loop), observer_(observer) {
    if (port) {
        port_ = port;
    } else {
        ownComm_ = std::make_unique<TComm>();
        ownComm_->SetReceiveNotifySize(7168);
        ownComm_->SetSendNotifySize(8192);
        port_ = ownComm_.get();
        loop_.Watch(ownComm_->EventFd(), [this] { onPortEvents(); });
        // Without inotify a device that goes away is still reported, but not waited for.
        inotifyFd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (inotifyFd_ >= 0) loop_.Watch(inotifyFd_, [this] { onDeviceFolderChanged(); });
    }
    if (trace) {
        trace_ = trace;
        tracing_ = std::make_unique<TracingPort>(*port_, *trace);
        port_ = tracing_.get();
    }
    LinkHost& linkHost = *this;
    TransferHost& transferHost = *this;
    link_ = std::make_unique<CameraLink>(*port_, linkHost);
    loader_ = std::make_unique<PageLoader>(*link_, transferHost);
    sendTimer_ = loop_.MakeTimer(CameraLink::kSendTimerMs, [this] { SendTimerTimer(); });
    cursorTimer_ =
        loop_.MakeTimer(CameraLink::kCursorTimerMs, [this] { link_->cursor_timerTimer(); });
    retryTimer_ = loop_.MakeTimer(retryMs_, [this] { RetryTimerTimer(); });
}

Session::~Session() {
    Close();
    if (inotifyFd_ >= 0) ::close(inotifyFd_);
}

void Session::SetRoom(uint8_t page, Room* room) {
    if (page >= kPageGroups) return;
    rooms_[page] = room;
    loader_->SetPage(page, room ? room->Page() : PageTable{});
}

void Session::Close() {
    closed_ = true;
    retryTimer_->SetEnabled(false);
    unwatchDevice();
    loader_->DropOrders();
    port_->Close();
    // The program ends: nobody is told about the exchanges left.
    link_->Forget();
}

template <class Fn> void Session::linkCall(const Fn& fn) {
    try {
        fn();
    } catch (const ECommReadWriteError& e) {
        if (closed_) return; // closed (the program ends) while a handler of the port ran
        const bool lost = ownComm_ && (ownComm_->DeviceGone() || deviceLost(e.ErrorCode));
        if (disconnected_) {
            if (lost) deviceGone(); // lost again while reconnecting
            return;
        }
        if (lost && ownComm_->IsNetwork() && !goneCounts()) {
            // A connection of the port search that ended: the search opens it again.
            searchConnectFailed();
            return;
        }
        if (!lost || !goneCounts()) throw;
        deviceGone();
    } catch (const ECommError&) {
        // The dead port, or the port at the program's end, was closed while a handler of it
        // was still on the stack (in a message box's loop).
        if (!disconnected_ && !closed_) throw;
    }
}

// Before the camera first answered, the port search deals with a device that goes away.
bool Session::goneCounts() const {
    return ownComm_ && !closed_ && (disconnected_ || link_->LINK_STATUS != 0);
}

void Session::Start() {
    closed_ = false;
    openReported_.clear();
    startSearch();
    sendTimer_->SetEnabled(true);
    try {
        linkCall([this] { link_->Trans_Create(); });
    } catch (const ECommOpenError& e) {
        if (gather_ && !e.Path.empty()) {
            searchFailed(e.Path, OpenFailureText(e.Path, e.Cause, 0, e.Said));
        } else {
            openReported_.insert(e.Path);
            if (!gather_) throw;
        }
    }
    if (gather_ || searchList_)
        SetStatusText(0, searching_.empty() ? std::string(kConnecting) + ": no serial port found"
                                            : std::string(kConnecting) + ": " + searching_);
}

void Session::SearchPorts(std::function<std::vector<std::string>()> list) {
    searchList_ = std::move(list);
}

void Session::startSearch() {
    tried_.clear();
    searching_.clear();
    searchOrder_.clear();
    searchSeen_.clear();
    if (!searchList_) {
        if (gather_) tryingPort(PortPath(1), false);
        return;
    }
    searchOrder_ = searchList_();
    searchSeen_.insert(searchOrder_.begin(), searchOrder_.end());
    if (searchOrder_.empty()) {
        SetPortPath(1, ""); // nothing to open until a port appears
        return;
    }
    tryingPort(searchOrder_.front(), true);
}

uint8_t Session::SearchPort(int32_t attempt) {
    if (!searchList_) {
        const uint8_t port = LinkHost::SearchPort(attempt);
        if (gather_) tryingPort(PortPath(port), false);
        return port;
    }
    const std::vector<std::string> list = searchList_();
    std::string next;
    // A port that has just appeared (an adapter plugged in) is tried at once.
    for (const std::string& p : list)
        if (searchSeen_.insert(p).second && next.empty()) next = p;
    if (next.empty() && !list.empty()) {
        // The one after the port tried last, in the order the list had then.
        const auto in = [&](const std::string& p) {
            return std::find(list.begin(), list.end(), p) != list.end();
        };
        auto at = std::find(searchOrder_.begin(), searchOrder_.end(), searching_);
        if (at != searchOrder_.end())
            for (auto it = at + 1; it != searchOrder_.end() && next.empty(); ++it)
                if (in(*it)) next = *it;
        if (next.empty()) next = list.front();
    }
    searchOrder_ = list;
    if (next.empty()) {
        searching_.clear();
        SetStatusText(0, std::string(kConnecting) + ": no serial port found");
        return 0;
    }
    tryingPort(next, true);
    return 1;
}

void Session::tryingPort(const std::string& path, bool setPath) {
    searching_ = path;
    if (setPath) SetPortPath(1, path);
    if (path.empty()) return;
    noteTried(path, path + ": no answer to the enquiry.");
    SetStatusText(0, std::string(kConnecting) + ": " + path);
}

void Session::noteTried(const std::string& path, const std::string& cause) {
    auto it = std::find_if(tried_.begin(), tried_.end(),
                           [&](const TriedPort& t) { return t.path == path; });
    if (it == tried_.end())
        tried_.push_back({path, cause});
    else
        it->cause = cause;
}

void Session::searchFailed(const std::string& path, const std::string& text) {
    noteTried(path, text);
    if (openReported_.insert(path).second) observer_.SearchNote(text);
}

std::string Session::GiveUpText() const {
    std::string text = " Serial Port not connected \n\n";
    if (tried_.empty()) {
        text += "No serial port was found: no USB-serial adapter (/dev/ttyUSB*, /dev/ttyACM*) "
                "and no /dev/ttyS0 or /dev/ttyS1. Is the adapter plugged in?\n";
    } else {
        text += "No camera answered on these ports:\n";
        for (const TriedPort& t : tried_)
            text += "  " + t.cause + "\n";
    }
    text += "\nTo use another port, choose Camera > Port... while the search runs, or start "
            "r8v5mc with --com1 PORT (a device such as /dev/ttyUSB0, or socket://HOST:PORT, "
            "rfc2217://HOST:PORT).";
    return text;
}

void Session::ConnectTo(const std::string& path) {
    if (closed_) return;
    searchList_ = [path] { return std::vector<std::string>{path}; };
    if (disconnected_) {
        disconnected_ = false;
        retryTimer_->SetEnabled(false);
        retryMs_ = kRetryFirstMs;
        unwatchDevice();
    }
    const bool wasUp = link_->LINK_STATUS != 0;
    endBurst();
    resetLink();
    port_->Close();
    gaveUp_ = false;
    if (wasUp) {
        observer_.LinkUp(false);
        AnswerLost();
    }
    Start();
}

void Session::SendTimerTimer() {
    watchLine();
    if (disconnected_) {
        // The device is back but the camera has not answered yet: no port search and no
        // give-up; the enquiry goes out again after a command's time-out.
        if (port_->IsOpen() && link_->LINK_STATUS == 0 && --enqTicks_ <= 0) {
            enqTicks_ = CameraLink::kCommandTicks;
            linkCall([this] { link_->IdEnq(); });
        }
        return;
    }
    // The operator is picking a port: the search goes on, but does not end the program.
    if (holdGiveUp_ && link_->LINK_STATUS == 0 && link_->PortAttempt >= 15) link_->PortAttempt = 14;
    try {
        linkCall([this] { link_->SendTimerTimer(); });
    } catch (const ECommOpenError& e) {
        if (gather_ && !e.Path.empty()) {
            searchFailed(e.Path, OpenFailureText(e.Path, e.Cause, 0, e.Said));
            return;
        }
        if (!openReported_.insert(e.Path).second) return;
        // Reported by the loop's standard report after this tick: a box shown from inside the
        // tick would hold the timer until it is closed.
        loop_.Post([error = std::current_exception()] { std::rethrow_exception(error); });
    }
}

void Session::ShowMessage(const std::string& text, const std::string& caption, int buttons) {
    // The search's give-up names the ports it tried.
    if (gather_ && caption == "Comm.ERR" && text == " Serial Port not connected " &&
        link_->LINK_STATUS == 0 && !disconnected_) {
        observer_.Message(GiveUpText(), caption, buttons);
        return;
    }
    const bool lineError = caption == "recv_chr" || (caption == "ERR" && text == " Error ");
    if (!lineError) {
        observer_.Message(text, caption, buttons);
        return;
    }
    burst_.fresh = true;
    if (++burst_.count == 1) {
        burst_.text = text;
        burst_.caption = caption;
        // A box holds the receive side until it is closed: the burst goes on meanwhile.
        burst_.showing = true;
        observer_.Message(text, caption, buttons);
        burst_.showing = false;
        return;
    }
    if (!garbageShown_)
        observer_.StatusText(3, burst_.caption + ": " + burst_.text + " (" +
                                    std::to_string(burst_.count) + " times)");
}

// A good frame ends a burst of line errors: an answer in error that it carries is shown.
void Session::AnswerArrived() {
    if (link_->Rx.GoodFrames != goodAtAnswer_) {
        goodAtAnswer_ = link_->Rx.GoodFrames;
        endBurst();
    }
    loader_->AnswerArrived();
}

void Session::endBurst() {
    if (burst_.count > 1) observer_.Repeated(burst_.text, burst_.caption, burst_.count - 1);
    if (burst_.count > 0 || garbageShown_) observer_.StatusText(3, "");
    burst_ = {};
    garbageShown_ = false;
}

// At every tick: a tick without line errors ends their burst; ticks in a row with broken
// frames and no good one mean the line sends garbage.
void Session::watchLine() {
    const FrameReceiver& rx = link_->Rx;
    const bool bad = rx.BadFrames != badSeen_ || burst_.fresh;
    const bool good = rx.GoodFrames != goodSeen_;
    badSeen_ = rx.BadFrames;
    goodSeen_ = rx.GoodFrames;
    burst_.fresh = false;
    if (burst_.showing) return;
    if (!bad) {
        noisyTicks_ = 0;
        endBurst();
        return;
    }
    noisyTicks_ = good ? 0 : noisyTicks_ + 1;
    if (noisyTicks_ >= kGarbageTicks && !disconnected_ && !closed_) lineSendsGarbage();
}

// Nothing the line sends can be trusted: the link goes back to the search on a port opened
// afresh (a network port gets a new connection), as at start-up. Said once per burst.
void Session::lineSendsGarbage() {
    noisyTicks_ = 0;
    const std::string text =
        PortPath(port_->Port()) + ": the line keeps sending bytes that are no frames (" +
        std::to_string(link_->Rx.BadFrames) + " broken frames); searching for the camera again";
    if (!garbageShown_) {
        garbageShown_ = true;
        observer_.StatusText(3, text);
        observer_.LineGarbage(text);
    }
    const bool wasUp = link_->LINK_STATUS != 0;
    const int32_t attempt = link_->PortAttempt;
    resetLink();
    // Garbage during the search does not start it over: it still gives up on time.
    if (!wasUp) link_->PortAttempt = attempt;
    port_->Close(); // the search's next tick opens it again
    if (wasUp) {
        observer_.LinkUp(false);
        SetStatusText(0, kConnecting);
        roomsLost();
    }
}

void Session::ReLoadClick() {
    if (disconnected_) {
        if (link_->LINK_STATUS == 0) return; // nothing to load from until the camera answers
        disconnected_ = false;               // the first ACK of the returned camera
        retryTimer_->SetEnabled(false);
        retryMs_ = kRetryFirstMs;
    }
    linkCall([this] { loader_->ReLoadClick(); });
}

void Session::PageControl1Change() {
    linkCall([this] { loader_->PageControl1Change(); });
}

void Session::StxCommand(int n) {
    linkCall([this, n] { link_->StxCommand(link_->SendFrame, n); });
}

void Session::Exchange(const Request& request, ReplyFn done) {
    linkCall([&] { link_->Submit(request, std::move(done)); });
}

void Session::ExchangeBlock(const int32_t* settingTable, ReplyFn done) {
    linkCall([&] { link_->SohCommand(settingTable, std::move(done)); });
}

void Session::StaleAnswer(const uint8_t* answer, const Payload15& command) {
    if (!trace_) return;
    const auto spaced = [](const uint8_t* p, size_t n) {
        std::string s;
        for (size_t i = 0; i < n; ++i)
            s += (i ? " " : "") + HexByte(p[i]);
        return s;
    };
    trace_->Note("stale answer " + spaced(answer, 4) + " dropped: the command on the wire is " +
                 spaced(command.data(), 4));
}

void Session::Post(std::function<void()> fn) {
    loop_.Post([this, fn = std::move(fn)] { linkCall(fn); });
}

void Session::onPortEvents() {
    if (ownComm_->IsOpen() && ownComm_->DeviceGone()) {
        if (goneCounts()) {
            deviceGone();
            return;
        }
        if (ownComm_->IsNetwork()) searchConnectFailed();
    }
    ++dispatchDepth_;
    const auto leave = [this] {
        // A reconnection waits until no dispatch of the old port is on the stack.
        if (--dispatchDepth_ == 0 && reconnectPending_) {
            reconnectPending_ = false;
            loop_.Post([this] { tryReconnect(); });
        }
    };
    try {
        linkCall([this] { ownComm_->DispatchEvents(); });
    } catch (...) {
        leave();
        throw;
    }
    leave();
}

void Session::resetLink() {
    loader_->DropOrders();
    observer_.OrderCount(0);
    loader_->TransStep = 0;
    CameraLink& l = *link_;
    l.LINK_STATUS = 0;
    l.LinkBusy = 1; // nothing is sent until the camera answers again
    l.AnswerCount = -1;
    l.RetryCount = 0;
    l.PortAttempt = 0;
    l.EnqAcksDue = 0;
    l.Rx.RxState = 0;
    l.Cursor_set(0);
    l.DropExchanges(ExchangeError::LinkLost);
}

// A network port of the search could not connect (its Open only started the connection): shown
// once per port name, as an open error of the search is.
void Session::searchConnectFailed() {
    const std::string path = PortPath(port_->Port());
    if (gather_) {
        searchFailed(path,
                     OpenFailureText(path, ownComm_->GoneCause(), 0, ownComm_->GoneServerText()));
        return;
    }
    if (!openReported_.insert(path).second) return;
    loop_.Post([error = std::make_exception_ptr(ECommOpenError(-1, path, ownComm_->GoneCause(), 0,
                                                               ownComm_->GoneServerText()))] {
        std::rethrow_exception(error);
    });
}

void Session::deviceGone() {
    endBurst();
    const bool first = !disconnected_;
    disconnected_ = true;
    const std::string path = PortPath(port_->Port());
    const int netCause = ownComm_ && ownComm_->IsNetwork() ? ownComm_->GoneCause() : 0;
    const std::string said = ownComm_ && ownComm_->IsNetwork() ? ownComm_->GoneServerText() : "";
    sendTimer_->SetEnabled(false);
    resetLink();
    port_->Close(); // no handler of the dead port runs after this
    observer_.LinkUp(false);
    SetStatusText(0, kDisconnected);
    roomsLost();
    watchForDevice();
    if (first) {
        std::string text;
        if (IsNetworkName(path)) {
            text = "Camera disconnected: " + NetFailureText(path, netCause, said) +
                   " Connecting again until it answers.";
        } else {
            std::error_code ec;
            const bool removed = !std::filesystem::exists(path, ec);
            text = "Camera disconnected: " + path +
                   (removed ? " was removed." : " stopped working (hang-up).") +
                   " Waiting for it to come back.";
        }
        loop_.Post([this, text] { observer_.Message(text, "Comm.ERR", 0); });
        // It may be back already, before the folders were watched.
        loop_.Post([this] { tryReconnect(); });
    } else {
        // Lost again while reconnecting: tried again after the back-off, so that a device
        // that keeps failing is not retried in a loop.
        retryLater();
    }
}

void Session::watchForDevice() {
    if (inotifyFd_ < 0 || closed_) return;
    namespace fs = std::filesystem;
    const fs::path path = PortPath(port_->Port());
    // A network port has no folder to watch: the back-off timer alone tries it again.
    if (IsNetworkName(path)) return;
    std::vector<fs::path> folders{path.parent_path()};
    // A link (a /dev/serial/by-id name, a re-linked terminal) may stay while its target's
    // folder gets the device back.
    std::error_code ec;
    if (fs::is_symlink(path, ec)) {
        const fs::path target = fs::read_symlink(path, ec);
        if (!ec) folders.push_back((path.parent_path() / target).parent_path());
    }
    std::set<int> wanted;
    for (fs::path folder : folders) {
        if (folder.empty()) folder = ".";
        // The nearest folder that exists: /dev/serial/by-id goes with the last USB adapter.
        for (;;) {
            const int wd = ::inotify_add_watch(inotifyFd_, folder.c_str(), kFolderEvents);
            if (wd >= 0) {
                wanted.insert(wd);
                break;
            }
            if (folder == folder.parent_path() || folder.parent_path().empty()) break;
            folder = folder.parent_path();
        }
    }
    for (int wd : folderWatches_)
        if (!wanted.count(wd)) ::inotify_rm_watch(inotifyFd_, wd);
    folderWatches_ = std::move(wanted);
}

void Session::unwatchDevice() {
    for (int wd : folderWatches_)
        ::inotify_rm_watch(inotifyFd_, wd);
    folderWatches_.clear();
}

void Session::onDeviceFolderChanged() {
    alignas(inotify_event) char buf[4096];
    for (;;) {
        const ssize_t n = ::read(inotifyFd_, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        for (ssize_t at = 0; at < n;) {
            const auto* ev = reinterpret_cast<const inotify_event*>(buf + at);
            if (ev->mask & IN_IGNORED) folderWatches_.erase(ev->wd);
            at += static_cast<ssize_t>(sizeof(inotify_event) + ev->len);
        }
    }
    if (!disconnected_ || closed_ || port_->IsOpen()) return;
    watchForDevice(); // a folder on the way may have appeared or gone
    tryReconnect();
}

void Session::tryReconnect() {
    if (!disconnected_ || closed_ || port_->IsOpen()) return;
    if (dispatchDepth_ > 0) {
        reconnectPending_ = true;
        return;
    }
    try {
        port_->Open();
    } catch (const ECommOpenError&) {
        // Not there, busy in another program for a moment, or not usable yet (permissions
        // still being set): a folder change or the back-off timer tries again.
        retryLater();
        return;
    }
    retryTimer_->SetEnabled(false);
    unwatchDevice();
    SetStatusText(0, kConnecting);
    enqTicks_ = CameraLink::kCommandTicks;
    sendTimer_->SetEnabled(true);
    linkCall([this] { link_->IdEnq(); });
}

// The link's time-out gave up on the answer.
void Session::AnswerLost() {
    observer_.NoAnswer();
    roomsLost();
}

void Session::roomsLost() {
    for (Room* room : rooms_)
        if (room) room->OnLinkLost();
}

// A one-shot timer of the next interval. Never called from the timer's own tick (which only
// posts the attempt), so the timer it replaces is not running.
void Session::retryLater() {
    if (retryTimer_->Enabled() || closed_) return;
    retryTimer_ = loop_.MakeTimer(retryMs_, [this] { RetryTimerTimer(); });
    retryTimer_->SetEnabled(true);
    retryMs_ = std::min(retryMs_ * 2, kRetryMaxMs);
}

void Session::RetryTimerTimer() {
    retryTimer_->SetEnabled(false);
    loop_.Post([this] {
        if (!disconnected_ || closed_ || port_->IsOpen()) return;
        watchForDevice(); // a folder on the way may have appeared meanwhile
        tryReconnect();
    });
}

void Session::SetStatusText(int panel, const std::string& text) {
    if (panel == 0) {
        if (text == linkState_) return;
        linkState_ = text;
    }
    observer_.StatusText(panel, text);
}

// Panel 0 follows the link: connecting until the camera answers, then connected with the
// device's path, disconnected while the device is away.
void Session::SetPageControlEnabled(bool on) {
    observer_.LinkUp(on && !disconnected_);
    if (on && !disconnected_ && link_->LINK_STATUS != 0)
        SetStatusText(0, kConnected + PortPath(port_->Port()));
}

void Session::Terminate() {
    gaveUp_ = true;
    observer_.LinkLost();
}

AnswerView Session::Answer() const {
    return AnswerView(link_->Rx.Answer(), link_->Answered().data());
}

void Session::OnGroup(uint8_t group, int item, GroupDecoder decode) {
    decoders_[group].push_back({item, std::move(decode)});
}

void Session::OnResolution(std::function<void(bool)> show) {
    resolutionShows_.push_back(std::move(show));
}

void Session::OnTvSystem(std::function<void(bool)> show) {
    tvShows_.push_back(std::move(show));
}

void Session::PageStarting(uint8_t group) {
    if (group < kPageGroups && rooms_[group]) rooms_[group]->OnPageStart();
}

void Session::TabAnswer(int page) {
    if (link_->AnswerRequested()) return; // it goes to whoever asked for it
    if (page >= 0 && page < kPageGroups && rooms_[page]) rooms_[page]->OnAnswer();
}

void Session::resolutionRule(uint16_t v) {
    const bool hi = (v & 0x4000) != 0;
    state_.ImageWidth = hi ? 800 : 544;
    for (const auto& show : resolutionShows_)
        show(hi);
}

void Session::tvRule(uint16_t v) {
    const bool pal = (v & 0x0001) != 0;
    state_.ImageHeight = pal ? 312 : 136;
    state_.TvIsNtsc = pal ? 0 : 1;
    for (const auto& show : tvShows_)
        show(pal);
}

void Session::Trans_end_common() {
    const AnswerView a = Answer();
    if (!a.Good() || !a.AfterRead()) return;
    auto& table = state_.SettingTable;
    switch (a.Group()) {
    case 0x0A:
    case 0x0B: {
        const uint8_t k = a.Item();
        const uint16_t v = a.U16(4);
        table[k] = v;
        if (k == 0x01) resolutionRule(v);
        if (k == 0x40) tvRule(v);
        break;
    }
    case 0x56:
        if (a.Item() == 1)
            for (int i = 0; i < 6; ++i)
                state_.MarkLimits[static_cast<size_t>(i)] = a.A(4 + i);
        break;
    case 0x60:
        if (a.Item() == 0) {
            table[1] = a.U16(14);
            resolutionRule(a.U16(14));
        } else if (a.Item() == 1) {
            table[64] = a.U16(14);
            tvRule(a.U16(14));
        } else if (a.Item() == 9) {
            for (int i = 0; i < 6; ++i)
                state_.MarkLimits[static_cast<size_t>(i)] = a.A(5 + i);
        }
        break;
    default:
        break;
    }
    for (const auto& d : decoders_[a.Group()])
        if (d.item == kAnyItem || d.item == a.Item()) d.decode(a);
}

} // namespace r8
