// SPDX-License-Identifier: MIT
#include "TabRoom.h"

#include <QVBoxLayout>

namespace r8::ui {

TabRoom::TabRoom(RoomContext& ctx, const QString& sheetName, const QString& panelName)
    : ctx_(ctx), sheet_(new QWidget) {
    sheet_->setObjectName(sheetName);
    if (!panelName.isEmpty()) {
        panel_ = new Panel(sheet_);
        panel_->setObjectName(panelName);
        auto* layout = new QVBoxLayout(sheet_);
        layout->setContentsMargins(2, 2, 2, 2);
        layout->addWidget(panel_);
    }
}

Timer* TabRoom::MakeTimer(const char* name, int intervalMs) {
    auto* timer = new Timer(sheet_, intervalMs, false);
    timer->setObjectName(name);
    return timer;
}

} // namespace r8::ui
