// SPDX-License-Identifier: MIT
#pragma once
// The three small windows beside the main window.
#include "ui_TFMR8V2.h"
#include "ui_TFSR8V2.h"
#include "ui_TKizuInfo.h"
#include "widgets/Controls.h"

#include <QWidget>

namespace r8::ui {

class TFR8V2;
struct MaskView;

// Mask preview: the two privacy masks drawn over the picture area, shown from the MASK tab.
class TFMR8V2 : public QWidget, public Ui::TFMR8V2Form {
    Q_OBJECT
public:
    explicit TFMR8V2(QWidget* parent = nullptr);
    // Draws mask n (0, 1) and names its state in the legend above the panel.
    void SetMask(int mask, const MaskView& view);

    Label* Legend[2]{}; // Legend1, Legend2
};

// Push-switch panel: the camera's four push switches, shown from the "&SW" menu item.
class TFSR8V2 : public QWidget, public Ui::TFSR8V2Form {
    Q_OBJECT
public:
    explicit TFSR8V2(TFR8V2& main, QWidget* parent = nullptr);
    void push_upClick();
    void push_downClick();
    void push_leftClick();
    void push_rightClick();

private:
    TFR8V2& main_;
};

// Adjust-parameter window: the fixed offsets that the defect search and "Kizu Adjust" apply.
class TKizuInfo : public QWidget, public Ui::TKizuInfoForm {
    Q_OBJECT
public:
    explicit TKizuInfo(QWidget* parent = nullptr);
    // Fills the fields for a PAL camera (the TV system is not known yet).
    void FormCreate();
    // Shows the window (not modal) with the vertical offset of the camera's TV system.
    void ShowFor(bool ntsc);
};

} // namespace r8::ui
