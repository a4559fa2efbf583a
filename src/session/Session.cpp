#include "Session.h"

#include "Comm.h"

namespace r8 {

Session::Session(EventLoop& loop, SessionObserver& observer, SerialPort* port)
    : loop_(loop), observer_(observer) {
    if (port) {
        port_ = port;
    } else {
        ownComm_ = std::make_unique<TComm>();
        ownComm_->SetReceiveNotifySize(7168);
        ownComm_->SetSendNotifySize(8192);
        port_ = ownComm_.get();
        loop_.Watch(ownComm_->EventFd(), [this] { ownComm_->DispatchEvents(); });
    }
    LinkHost& linkHost = *this;
    TransferHost& transferHost = *this;
    link_ = std::make_unique<CameraLink>(*port_, linkHost);
    loader_ = std::make_unique<PageLoader>(*link_, transferHost);
    sendTimer_ = loop_.MakeTimer(CameraLink::kSendTimerMs, [this] { link_->SendTimerTimer(); });
    cursorTimer_ =
        loop_.MakeTimer(CameraLink::kCursorTimerMs, [this] { link_->cursor_timerTimer(); });
}

Session::~Session() {
    Close();
}

void Session::SetRoom(uint8_t page, Room* room) {
    if (page >= kPageGroups) return;
    rooms_[page] = room;
    loader_->SetPage(page, room ? room->Page() : PageTable{});
}

void Session::Close() {
    loader_->DropOrders();
    port_->Close();
}

void Session::Terminate() {
    gaveUp_ = true;
    observer_.LinkLost();
}

AnswerView Session::Answer() const {
    return AnswerView(link_->Rx.Answer(), link_->SendFrame.data() + 1);
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
