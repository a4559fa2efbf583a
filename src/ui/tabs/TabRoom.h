// SPDX-License-Identifier: MIT
#pragma once
// A tab of the main window: its sheet, its panel, its controls, its page table and its answer
// handling. It reaches the camera only through the session's RoomContext.
#include "Room.h"
#include "widgets/Controls.h"

#include <QString>
#include <QWidget>

namespace r8::ui {

class TabRoom : public Room {
public:
    // panelName empty: the tab has no panel of its own (the controls sit on the sheet).
    TabRoom(RoomContext& ctx, const QString& sheetName, const QString& panelName);
    ~TabRoom() override = default;
    TabRoom(const TabRoom&) = delete;
    TabRoom& operator=(const TabRoom&) = delete;

    QWidget* Sheet() const { return sheet_; }
    Panel* TabPanel() const { return panel_; }
    // Where the tab's controls go.
    QWidget* Body() const { return panel_ ? static_cast<QWidget*>(panel_) : sheet_; }

protected:
    // A timer of this tab, created disabled; its tick handler comes with the tab's controls.
    Timer* MakeTimer(const char* name, int intervalMs);

    RoomContext& ctx_;

private:
    QWidget* sheet_;
    Panel* panel_ = nullptr;
};

} // namespace r8::ui
