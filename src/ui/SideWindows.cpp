// SPDX-License-Identifier: MIT
#include "SideWindows.h"

#include "MainWindow.h"
#include "MaskPanel.h"
#include "tabs/defect/DefectSearch.h"

#include <QFont>

#include <utility>

namespace r8::ui {

namespace {
QString Dec2(int v) {
    return QString::asprintf("%02d", v);
}
} // namespace

TFMR8V2::TFMR8V2(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint) {
    setObjectName("FMR8V2");
    setupUi(this);
    setFixedSize(size());
    Legend[0] = Legend1;
    Legend[1] = Legend2;
    for (int n = 0; n < 2; ++n) {
        Legend[n]->setStyleSheet(QString("color: %1").arg(MaskPanel::Colour(n).name()));
        SetMask(n, {});
    }
}

void TFMR8V2::SetMask(int mask, const MaskView& view) {
    Panel9->SetMask(mask, view);
    QString text = QString("MASK%1").arg(mask + 1);
    if (view.state != MaskSwitch::Unknown) text += view.state == MaskSwitch::On ? " ON" : " OFF";
    Legend[mask]->SetCaption(text);
}

TFSR8V2::TFSR8V2(TFR8V2& main, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), main_(main) {
    setObjectName("FSR8V2");
    setupUi(this);
    setFixedSize(size());
    move(306, 93);
    // The window's text in a proportional Japanese font, the buttons in Courier (pixel sizes).
    QFont text;
    text.setFamilies({"IPAPGothic", "IPAGothic"});
    text.setStyleHint(QFont::SansSerif);
    text.setPixelSize(12);
    setFont(text);
    QFont courier("Courier");
    courier.setStyleHint(QFont::TypeWriter);
    courier.setPixelSize(13);
    const std::pair<Button*, void (TFSR8V2::*)()> buttons[] = {
        {push_up, &TFSR8V2::push_upClick},
        {push_down, &TFSR8V2::push_downClick},
        {push_left, &TFSR8V2::push_leftClick},
        {push_right, &TFSR8V2::push_rightClick}};
    for (const auto& b : buttons) { // (clang 14 cannot capture a structured binding)
        b.first->setFont(courier);
        b.first->OnClick = [this, handler = b.second] { (this->*handler)(); };
    }
}

void TFSR8V2::push_upClick() {
    main_.SW_push(3);
}
void TFSR8V2::push_downClick() {
    main_.SW_push(2);
}
void TFSR8V2::push_leftClick() {
    main_.SW_push(1);
}
void TFSR8V2::push_rightClick() {
    main_.SW_push(0);
}

TKizuInfo::TKizuInfo(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setObjectName("KizuInfo");
    setupUi(this);
    setFixedSize(size());
    // The fields in the menu colour.
    for (Edit* e : {AdjustX, AdjustY, AdjustPk}) {
        QPalette p = e->palette();
        p.setColor(QPalette::Base, p.color(QPalette::Button));
        e->setPalette(p);
    }
    FormCreate();
}

void TKizuInfo::FormCreate() {
    AdjustX->SetText(Dec2(defect::kSearchDx));
    AdjustY->SetText(Dec2(defect::SearchDy(false)));
    AdjustPk->SetText(Dec2(defect::kSearchPeak));
}

void TKizuInfo::ShowFor(bool ntsc) {
    AdjustY->SetText(Dec2(defect::SearchDy(ntsc)));
    show();
    raise();
    activateWindow();
}

} // namespace r8::ui
