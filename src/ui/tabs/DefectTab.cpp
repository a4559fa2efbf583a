// SPDX-License-Identifier: MIT
#include "DefectTab.h"

#include "widgets/Shape.h"

namespace r8::ui {

DefectTab::DefectTab(RoomContext& ctx, std::function<void()> showAdjustInfo)
    : TabRoom(ctx, "TabSheet5", "Panel6"), showAdjustInfo_(std::move(showAdjustInfo)),
      writeChain_({}) {
    setUpForm();
    // Adjust Set enables the KF controls from its answers; KF_FIX and KF_REV send only while
    // enabled, and the answer handling disables them while it writes them.
    bound_ = BoundForm(ctx_, Body(), settings::kDefectSettings,
                       {.own = {&settings::kAdjustSet, &settings::kKfFix, &settings::kKfRev}});
    SensKFTimer = bound_.Bar(settings::kKfSens)->DebounceTimer;
    bindHandlers();
    registerDecoders();
    writeChain_ = writeChain();
}

DefectTab::~DefectTab() = default;

// What the form file cannot say: the panel's pixel font, the menu colour of the value boxes and
// the map's brushes.
void DefectTab::setUpForm() {
    setupUi(Body());
    QFont font = Body()->font();
    font.setPixelSize(11);
    Body()->setFont(font);
    for (Edit* e : {KizuAX, KizuAY, KizuBX, KizuBY, KizuCX, KizuCY, kin_x1, kin_y1, kin_p1, kin_x2,
                    kin_y2, kin_p2}) {
        QPalette p = e->palette();
        p.setColor(QPalette::Base, p.color(QPalette::Button));
        e->setPalette(p);
    }
    Shape1->SetBrush(QColor(0x80, 0x80, 0x00), Qt::CrossPattern);
    Shape1->SetPen(QColor());
    Shape2->SetBrush(Qt::white);
    Shape2->setAttribute(Qt::WA_TransparentForMouseEvents); // a click on it is one on the map
    Timerkizu = MakeTimer("Timerkizu", 100);
}

// A page load reads the whole defect state afresh: the buttons of an exchange that an error
// answer or a lost link ended are usable again.
void DefectTab::OnPageStart() {
    SetEnabled({Kizu_Save, KizuRead, kizu_auto, Auto3Point}, true);
}

} // namespace r8::ui
