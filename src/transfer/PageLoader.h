// SPDX-License-Identifier: MIT
#pragma once
// Page loading: the page sequences of the seven tabs, the queue of load orders made by tab
// changes while a sequence runs, the guard that every sender asks, and answer dispatch.
//
// A load order waits for the running sequence to end. Orders are released oldest first by the
// end step of a sequence; each then starts the page sequence of the tab that was active when it
// was queued. Waiting orders are plain queue entries and a released order runs as a deferred
// call on the window thread, so nothing here runs on another thread.
#include "CameraLink.h"
#include "PageTable.h"
#include "TransferHost.h"

#include <array>
#include <cstdint>
#include <vector>

namespace r8 {

struct OrderEntry {
    uint8_t group = 0; // page group to load when released
};

struct OrderQueue {
    uint8_t bOrder = 0;              // queued orders, 0..255
    std::vector<OrderEntry> entries; // oldest first
};

class PageLoader {
public:
    static constexpr int kMaxOrders = 255;

    PageLoader(CameraLink& link, TransferHost& host, std::array<PageTable, kPageGroups> pages = {});
    void SetPage(uint8_t group, PageTable page);

    int32_t TransStep = 0; // next step of the running sequence; 0 = none runs
    uint8_t TransGroup = 0;
    OrderQueue Orders;

    // Step of the page sequence of a group: sends the step's request, or ends the sequence.
    void Trans_init(uint8_t group, uint32_t step);
    void Trans_init1(uint32_t step) { Trans_init(kAdjustGroup, step); }
    void Trans_init2(uint32_t step) { Trans_init(kDebugGroup, step); }
    void Trans_init3(uint32_t step) { Trans_init(kDefectGroup, step); }
    void Trans_init4(uint32_t step) { Trans_init(kCopyGroup, step); }
    void Trans_init5(uint32_t step) { Trans_init(kEasyGroup, step); }
    void Trans_init6(uint32_t step) { Trans_init(kLineGroup, step); }
    void Trans_init7(uint32_t step) { Trans_init(kMaskGroup, step); }

    void ReleaseNextOrder();
    // Loads the page of the active tab now (menu "&Load", first ACK, write chains).
    void ReLoadClick();
    // Tab change: load at once when idle, otherwise queue an order for the new tab.
    void PageControl1Change();
    void QueueLoadOrder();
    bool Trans_chk() const;
    // Drops every queued order; none of them runs afterwards.
    void DropOrders();

    // A good answer was acknowledged: dispatch it, then continue the running sequence.
    void AnswerArrived();
    void Trans_end();

private:
    void runReleasedOrder(uint8_t group);
    void showCount() { host_.ShowOrderCount(Orders.bOrder); }

    CameraLink& link_;
    TransferHost& host_;
    std::array<PageTable, kPageGroups> pages_;
    Payload15 awaited_{}; // the request of the running sequence's step
    // Counts DropOrders calls: a released order whose start is still pending runs only if no
    // drop came in between.
    uint64_t dropCount_ = 0;
};

} // namespace r8
