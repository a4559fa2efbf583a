// SPDX-License-Identifier: MIT
#include "EasyTab.h"

#include "easy/EasyLens.h"
#include "easy/EasyPicture.h"
#include "easy/EasyTitle.h"

namespace r8::ui {

EasyTab::EasyTab(RoomContext& ctx) : TabRoom(ctx, "TabSheet3", "Panel4") {
    QFont font = Body()->font();
    font.setPixelSize(11);
    Body()->setFont(font);
    Picture = std::make_unique<EasyPicture>(ctx, Body());
    Lens = std::make_unique<EasyLens>(ctx, Body(), Picture->Initial, Picture->Freeze);
    TitleArea = std::make_unique<EasyTitle>(ctx, Body(), Picture->BLCPanel);
    Picture->Lens_enable_update = [this] { Lens->Lens_enable_update(); };
    Picture->BLC_area_enable = [this](bool on) { TitleArea->BLC_area_enable(on); };
    TabPanel()->setEnabled(false);
}

EasyTab::~EasyTab() = default;

void EasyTab::OnPageStart() {
    Picture->EnableWhiteBalanceControls();
}

void EasyTab::Trans_end_easy() {
    const AnswerView a = ctx_.Answer();
    if (!a.Good()) {
        ctx_.ShowMessage(" Error ", "ERR", 2);
        return;
    }
    if (a.Group() == 0x21) {
        ctx_.ReLoadClick();
        return;
    }
    Picture->Trans_end_easy(a);
    Lens->Trans_end_easy(a);
    TitleArea->Trans_end_easy(a);
}

} // namespace r8::ui
