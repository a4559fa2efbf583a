// SPDX-License-Identifier: MIT
// The form of the "CCD Defect" tab: controls, captions, items and places on Panel6.
#include "DefectTab.h"

#include "DefectSearch.h"

#include "widgets/Shape.h"
#include "widgets/SpinEdit.h"

#include <QLayout>

namespace r8::ui {

namespace {

RadioGroup* MakeRadio(QWidget* parent, const QString& caption, const QStringList& items,
                      int columns, const QRect& at) {
    auto* g = new RadioGroup(caption, items, columns, parent);
    g->layout()->setContentsMargins(6, 0, 4, 0);
    g->layout()->setSpacing(0);
    g->setGeometry(at);
    return g;
}

Button* MakeButton(QWidget* parent, const QString& caption, const QRect& at) {
    auto* b = new Button(caption, parent);
    b->setGeometry(at);
    return b;
}

// A read-only value box in the menu colour.
Edit* MakeShown(QWidget* parent, const QRect& at, const QString& text = {}) {
    auto* e = new Edit(parent, text);
    e->setReadOnly(true);
    e->setFocusPolicy(Qt::NoFocus);
    QPalette p = e->palette();
    p.setColor(QPalette::Base, p.color(QPalette::Button));
    e->setPalette(p);
    e->setGeometry(at);
    return e;
}

Panel* MakePanel(QWidget* parent, const QRect& at, QFrame::Shadow shadow = QFrame::Raised) {
    auto* p = new Panel(parent);
    p->setFrameShadow(shadow);
    p->setGeometry(at);
    return p;
}

} // namespace

void DefectTab::buildForm() {
    QWidget* panel = Body();
    QFont font = panel->font();
    font.setPixelSize(11);
    panel->setFont(font);

    // Selection, stored positions, search, save and cancel.
    Kizu = MakeRadio(panel, "Kizu", {"A", "B", "C"}, 3, {8, 4, 200, 40});
    Panel8 = MakePanel(panel, {8, 50, 200, 98});
    MakeLabel(Panel8, "X", {40, 4, 64, 16}, Qt::AlignCenter);
    MakeLabel(Panel8, "Y", {114, 4, 64, 16}, Qt::AlignCenter);
    Edit** stored[3][2] = {{&KizuAX, &KizuAY}, {&KizuBX, &KizuBY}, {&KizuCX, &KizuCY}};
    for (int row = 0; row < 3; ++row) {
        const int y = 22 + 24 * row;
        MakeLabel(Panel8, QString(QChar('A' + row)), {12, y, 20, 21});
        *stored[row][0] = MakeShown(Panel8, {40, y, 64, 21});
        *stored[row][1] = MakeShown(Panel8, {114, y, 64, 21});
    }

    Auto = new GroupBox("Auto", panel);
    Auto->setGeometry(216, 4, 184, 60);
    kizu_auto = MakeButton(Auto, "Auto", {10, 22, 76, 28});
    Auto3Point = new CheckBox("3 Point", Auto);
    Auto3Point->setGeometry(96, 26, 80, 20);
    Kizu_Save = MakeButton(panel, "Kizu Save", {216, 76, 88, 30});
    Kizu_Cancel = MakeButton(panel, "Kizu Cancel", {312, 76, 88, 30});

    // Manual placement.
    fine_adj = new GroupBox("Manual", panel);
    fine_adj->setGeometry(8, 156, 392, 292);
    Defect = MakeRadio(fine_adj, "Defect", {"OFF", "ON"}, 2, {8, 18, 180, 40});
    kizu_sel = MakeRadio(fine_adj, "Cursor Display", {"OFF", "ON"}, 2, {196, 18, 188, 40});
    KFFX = new CheckBox("KF_FIX", fine_adj);
    KFFX->setGeometry(12, 64, 80, 20);
    KFRV = new CheckBox("KF_REV", fine_adj);
    KFRV->setGeometry(96, 64, 80, 20);

    MakeLabel(fine_adj, "X", {8, 94, 14, 22});
    kizu_ax = new Edit(fine_adj);
    kizu_ax->SetMaxLength(4);
    kizu_ax->setGeometry(22, 94, 60, 22);
    MakeLabel(fine_adj, "Y", {96, 94, 14, 22});
    kizu_ay = new Edit(fine_adj);
    kizu_ay->SetMaxLength(4);
    kizu_ay->setGeometry(110, 94, 60, 22);

    kizu_up = MakeButton(fine_adj, "Up", {62, 130, 56, 26});
    kizu_left = MakeButton(fine_adj, "Left", {6, 160, 56, 26});
    kizu_right = MakeButton(fine_adj, "Right", {118, 160, 56, 26});
    kizu_down = MakeButton(fine_adj, "Down", {62, 190, 56, 26});
    MakeLabel(fine_adj, "Step", {30, 232, 40, 24});
    // A step below 1 would stand still or run the wrong way past the limits.
    SpinEdit1 = new SpinEdit(1, defect::kMaxStep, 1, fine_adj);
    SpinEdit1->setGeometry(70, 232, 70, 24);

    Panel9 = MakePanel(fine_adj, {182, 92, 202, 152}, QFrame::Plain);
    Panel9->setFrameStyle(QFrame::Box | QFrame::Plain);
    Panel9->setLineWidth(1);
    Shape1 = new Shape(Shape::Kind::Rectangle, Panel9);
    Shape1->setGeometry(1, 1, 200, 150);
    Shape1->SetBrush(QColor(0x80, 0x80, 0x00), Qt::CrossPattern);
    Shape1->SetPen(QColor());
    Shape1->setCursor(Qt::CrossCursor);
    Shape2 = new Shape(Shape::Kind::Circle, Shape1);
    Shape2->setGeometry(12, 18, 6, 6);
    Shape2->SetBrush(Qt::white);
    Shape2->setAttribute(Qt::WA_TransparentForMouseEvents); // a click on it is one on the map

    // Measurement of the defect in both fields.
    Panel10 = MakePanel(panel, {412, 4, 296, 144});
    KizuRead = MakeButton(Panel10, "Kizu Read", {8, 8, 88, 28});
    Kizu_Adjust = MakeButton(Panel10, "Kizu Adjust", {104, 8, 96, 28});
    Kizu_Adjust->setEnabled(false);
    AdjustInfo = MakeButton(Panel10, "Info", {208, 8, 80, 28});
    MakeLabel(Panel10, "Even", {48, 44, 76, 16}, Qt::AlignCenter);
    MakeLabel(Panel10, "Odd", {136, 44, 76, 16}, Qt::AlignCenter);
    Edit** measured[3][2] = {{&kin_x1, &kin_x2}, {&kin_y1, &kin_y2}, {&kin_p1, &kin_p2}};
    const char* rows[3] = {"X", "Y", "Pk"};
    for (int row = 0; row < 3; ++row) {
        const int y = 62 + 25 * row;
        MakeLabel(Panel10, rows[row], {16, y, 28, 21});
        *measured[row][0] = MakeShown(Panel10, {48, y, 76, 21}, "0000");
        *measured[row][1] = MakeShown(Panel10, {136, y, 76, 21}, "0000");
    }

    // KF options and the adjust mode.
    AdjustSet = MakeRadio(panel, "Adjust Set", {"OFF", "ON"}, 2, {412, 156, 296, 40});
    Panel11 = MakePanel(panel, {412, 204, 296, 244});
    VRevKF = new CheckBox("VRev", Panel11);
    VRevKF->setLayoutDirection(Qt::RightToLeft); // the text left of the box
    VRevKF->setGeometry(8, 8, 70, 22);
    VRevKFChange = MakeRadio(Panel11, "KF Change", {"No", "KF_REV", "KF_FIX", "REV && FIX"}, 2,
                             {8, 36, 280, 60});
    Panel12 = MakePanel(Panel11, {8, 104, 280, 56}, QFrame::Sunken);
    MakeLabel(Panel12, "Sens", {8, 8, 40, 20});
    SensKFBar = new TrackBar(Panel12);
    SensKFBar->SetRange(0, 8, 1, 1);
    SensKFBar->setGeometry(48, 6, 224, 40);
    SensUpKFOFF = MakeRadio(Panel11, "KF OFF", {"No", "Yes"}, 2, {8, 168, 280, 40});

    Timerkizu = MakeTimer("Timerkizu", 100);

    const std::pair<QObject*, const char*> names[] = {
        {Kizu, "Kizu"},
        {Panel8, "Panel8"},
        {KizuAX, "KizuAX"},
        {KizuAY, "KizuAY"},
        {KizuBX, "KizuBX"},
        {KizuBY, "KizuBY"},
        {KizuCX, "KizuCX"},
        {KizuCY, "KizuCY"},
        {Auto, "Auto"},
        {kizu_auto, "kizu_auto"},
        {Auto3Point, "Auto3Point"},
        {Kizu_Save, "Kizu_Save"},
        {Kizu_Cancel, "Kizu_Cancel"},
        {fine_adj, "fine_adj"},
        {Defect, "Defect"},
        {kizu_sel, "kizu_sel"},
        {KFFX, "KFFX"},
        {KFRV, "KFRV"},
        {kizu_ax, "kizu_ax"},
        {kizu_ay, "kizu_ay"},
        {kizu_up, "kizu_up"},
        {kizu_down, "kizu_down"},
        {kizu_left, "kizu_left"},
        {kizu_right, "kizu_right"},
        {SpinEdit1, "SpinEdit1"},
        {Panel9, "Panel9"},
        {Shape1, "Shape1"},
        {Shape2, "Shape2"},
        {Panel10, "Panel10"},
        {KizuRead, "KizuRead"},
        {kin_x1, "kin_x1"},
        {kin_y1, "kin_y1"},
        {kin_p1, "kin_p1"},
        {kin_x2, "kin_x2"},
        {kin_y2, "kin_y2"},
        {kin_p2, "kin_p2"},
        {Kizu_Adjust, "Kizu_Adjust"},
        {AdjustInfo, "AdjustInfo"},
        {AdjustSet, "AdjustSet"},
        {Panel11, "Panel11"},
        {VRevKF, "VRevKF"},
        {VRevKFChange, "VRevKFChange"},
        {Panel12, "Panel12"},
        {SensKFBar, "SensKFBar"},
        {SensUpKFOFF, "SensUpKFOFF"},
    };
    for (const auto& [object, name] : names)
        object->setObjectName(name);
}

} // namespace r8::ui
