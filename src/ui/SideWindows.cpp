// SPDX-License-Identifier: MIT
#include "SideWindows.h"

#include "MainWindow.h"
#include "MaskPanel.h"
#include "tabs/defect/DefectSearch.h"

#include <QFont>

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
    setWindowTitle("R8V2-Mask");
    setFixedSize(263, 184);
    Panel9 = new MaskPanel(this);
    Panel9->setObjectName("Panel9");
    Panel9->setGeometry(30, 33, 207, 128);
    for (int n = 0; n < 2; ++n) {
        Legend[n] = new Label({}, this);
        Legend[n]->setGeometry(30 + 108 * n, 10, 100, 18);
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
    setWindowTitle("R8V2-SW");
    setFixedSize(261, 187);
    move(306, 93);
    // The window's text in a proportional Japanese font, the buttons in Courier.
    QFont text;
    text.setFamilies({"IPAPGothic", "IPAGothic"});
    text.setStyleHint(QFont::SansSerif);
    text.setPixelSize(12);
    setFont(text);
    QFont courier("Courier");
    courier.setStyleHint(QFont::TypeWriter);
    courier.setPixelSize(13);
    push_sw = new GroupBox("Push SW", this);
    push_sw->setObjectName("push_sw");
    push_sw->setGeometry(8, 8, 245, 171);
    auto make = [this, &courier](const char* name, const char* caption, int x, int y,
                                 auto handler) {
        auto* b = new Button(caption, push_sw);
        b->setObjectName(name);
        b->setGeometry(x, y, 49, 25);
        b->setFont(courier);
        b->OnClick = [this, handler] { (this->*handler)(); };
        return b;
    };
    // The names do not match the captions or the places: push_left carries "Enter" and sits on
    // the right, push_right carries "Pre" and sits on the left. The switch number is what the
    // camera sees.
    push_up = make("push_up", "Up", 98, 28, &TFSR8V2::push_upClick);
    push_down = make("push_down", "Down", 98, 118, &TFSR8V2::push_downClick);
    push_left = make("push_left", "Enter", 168, 73, &TFSR8V2::push_leftClick);
    push_right = make("push_right", "Pre", 28, 73, &TFSR8V2::push_rightClick);
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
    setWindowTitle("Adjust Parameter");
    setFixedSize(168, 120);
    Edit** fields[3] = {&AdjustX, &AdjustY, &AdjustPk};
    const char* captions[3] = {"X", "Y", "Pk"};
    const char* names[3] = {"AdjustX", "AdjustY", "AdjustPk"};
    for (int i = 0; i < 3; ++i) {
        auto* label = new Label(captions[i], this);
        QFont bold = label->font();
        bold.setBold(true);
        label->setFont(bold);
        label->setGeometry(24, 14 + 34 * i, 32, 24);
        Edit* e = new Edit(this);
        e->setObjectName(names[i]);
        e->setReadOnly(true);
        QPalette p = e->palette();
        p.setColor(QPalette::Base, p.color(QPalette::Button));
        e->setPalette(p);
        e->setGeometry(64, 14 + 34 * i, 72, 24);
        *fields[i] = e;
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
