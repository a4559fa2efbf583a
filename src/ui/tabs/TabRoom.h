#pragma once
// A tab of the main window: its sheet, its panel, its page table and its answer handling.
#include "PageTable.h"
#include "widgets/Controls.h"

#include <QString>
#include <QWidget>

namespace r8::ui {

class TFR8V2;

class TabRoom {
public:
    // panelName empty: the tab has no panel of its own (the controls sit on the sheet).
    TabRoom(TFR8V2& form, const QString& sheetName, const QString& panelName);
    virtual ~TabRoom() = default;
    TabRoom(const TabRoom&) = delete;
    TabRoom& operator=(const TabRoom&) = delete;

    QWidget* Sheet() const { return sheet_; }
    Panel* TabPanel() const { return panel_; }
    // Where the tab's controls go.
    QWidget* Body() const { return panel_ ? static_cast<QWidget*>(panel_) : sheet_; }

    virtual PageTable Page() const = 0;
    // The answer handler that runs while this tab is the active page.
    virtual void OnAnswer() {}

protected:
    // A timer of this tab, created disabled; its tick handler comes with the tab's controls.
    Timer* MakeTimer(const char* name, int intervalMs);

    TFR8V2& form_;

private:
    QWidget* sheet_;
    Panel* panel_ = nullptr;
};

} // namespace r8::ui
