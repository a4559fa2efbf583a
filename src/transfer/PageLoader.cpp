// SPDX-License-Identifier: MIT
#include "PageLoader.h"

#include <algorithm>
#include <new>

namespace r8 {

namespace {
constexpr char kDsrOff[] = "Camera Connection changed (DR OFF)";
}

PageLoader::PageLoader(CameraLink& link, TransferHost& host,
                       std::array<PageTable, kPageGroups> pages)
    : link_(link), host_(host), pages_(pages) {}

void PageLoader::SetPage(uint8_t group, PageTable page) {
    if (group < kPageGroups) pages_[group] = page;
}

void PageLoader::Trans_init(uint8_t group, uint32_t step) {
    if (group >= kPageGroups) return;
    if (step == 0) host_.PageStarting(group);
    TransStep = static_cast<int32_t>(step + 1);
    auto& frame = link_.SendFrame;
    frame[1] = 0x31;
    const PageTable page = pages_[group];
    if (step < page.size()) {
        const PageRequest& r = page[step];
        frame[2] = r.p2;
        frame[3] = r.p3;
        frame[4] = r.p4;
        awaited_ = {};
        std::copy(frame.begin() + 1, frame.begin() + 1 + r.n, awaited_.begin());
        link_.StxCommand(frame, r.n);
        return;
    }
    TransStep = 0;
    if (group != kMaskGroup) host_.SetTabPanelsEnabled(true);
    ReleaseNextOrder();
}

void PageLoader::ReleaseNextOrder() {
    if (Orders.bOrder == 0) {
        host_.RefreshCursor();
        return;
    }
    // Orders are queue entries, not threads that might still be starting, so there is nothing
    // to wait for before releasing the oldest one.
    const uint8_t group = Orders.entries.front().group;
    Orders.entries.erase(Orders.entries.begin());
    --Orders.bOrder;
    showCount();
    TransGroup = group;
    host_.Post([this, group, drops = dropCount_] {
        if (drops == dropCount_) runReleasedOrder(group);
    });
}

void PageLoader::runReleasedOrder(uint8_t group) {
    if (!link_.DR_check()) {
        host_.ShowMessage(kDsrOff, "R8V5MC", 1);
        return;
    }
    host_.SetTabPanelsEnabled(false);
    TransStep = 0;
    // The order loads its own group, even if a load started in between changed TransGroup.
    TransGroup = group;
    Trans_init(TransGroup, 0);
}

void PageLoader::ReLoadClick() {
    if (!link_.DR_check()) {
        host_.ShowMessage(kDsrOff, "R8V7", 1);
        return;
    }
    host_.SetTabPanelsEnabled(false);
    const int page = host_.ActivePage();
    if (page < 0 || page >= kPageGroups) return;
    TransGroup = static_cast<uint8_t>(page);
    Trans_init(TransGroup, 0);
}

void PageLoader::PageControl1Change() {
    if (TransStep == 0 && Orders.bOrder == 0)
        ReLoadClick();
    else
        QueueLoadOrder();
}

void PageLoader::QueueLoadOrder() {
    // The count is a byte: an order beyond the 255th is not queued.
    if (Orders.bOrder >= kMaxOrders) return;
    const int page = host_.ActivePage();
    try {
        Orders.entries.push_back({static_cast<uint8_t>(std::clamp(page, 0, kPageGroups - 1))});
    } catch (const std::bad_alloc&) {
        host_.ShowMessage("Handle of Allocated Memory is NULL", "R8V5MC", 1);
        if (!Orders.entries.empty()) {
            DropOrders();
            host_.ShowMessage("Allocated Memory is Released", "R8V5MC", 1);
        }
        Orders.bOrder = 0;
        TransStep = 0;
        return;
    }
    ++Orders.bOrder;
    showCount();
}

bool PageLoader::Trans_chk() const {
    return TransStep == 0 && link_.LinkBusy != 1;
}

void PageLoader::DropOrders() {
    ++dropCount_;
    Orders.entries.clear();
    Orders.entries.shrink_to_fit();
    Orders.bOrder = 0;
}

// A sequence goes on only from the answer to its own request: a load started while another
// exchange was on the wire has its first request waiting behind it.
void PageLoader::AnswerArrived() {
    const int32_t s = TransStep;
    const bool own = link_.Answered() == awaited_;
    Trans_end();
    if (own && TransStep != 0 && TransStep == s)
        Trans_init(TransGroup, static_cast<uint32_t>(TransStep));
}

void PageLoader::Trans_end() {
    host_.Trans_end_common();
    host_.TabAnswer(host_.ActivePage());
    host_.AnswerHandled();
}

} // namespace r8
