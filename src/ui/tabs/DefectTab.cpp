// SPDX-License-Identifier: MIT
#include "DefectTab.h"

#include "patterns/Senders.h"
#include "widgets/Shape.h"
#include "widgets/SpinEdit.h"

namespace r8::ui {

DefectTab::DefectTab(RoomContext& ctx, std::function<void()> showAdjustInfo)
    : TabRoom(ctx, "TabSheet5", "Panel6"), showAdjustInfo_(std::move(showAdjustInfo)),
      writeChain_({}) {
    buildForm();
    bindHandlers();
    registerDecoders();
    writeChain_ = writeChain();
}

DefectTab::~DefectTab() = default;

// A page load reads the whole defect state afresh: the buttons of an exchange that an error
// answer or a lost link ended are usable again.
void DefectTab::OnPageStart() {
    SetEnabled({Kizu_Save, KizuRead, kizu_auto, Auto3Point}, true);
}

} // namespace r8::ui
