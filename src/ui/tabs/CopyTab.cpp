#include "CopyTab.h"

namespace r8::ui {

CopyTab::CopyTab(RoomContext& ctx) : TabRoom(ctx, "CopySheet", "Panel7") {
    CtopOK2 = new Button("Camera->PC", Body());
    CtopOK2->setObjectName("CtopOK2");
    CtopOK2->setGeometry(24, 24, 140, 28);
    ptocOk2 = new Button("PC->Camera(Batch)", Body());
    ptocOk2->setObjectName("ptocOk2");
    ptocOk2->setGeometry(24, 64, 140, 28);
    ptocOk = new Button("PC->Camera(Single)", Body());
    ptocOk->setObjectName("ptocOk");
    ptocOk->setGeometry(24, 104, 140, 28);
    complete2 = new Label("Complete", Body());
    complete2->setObjectName("complete2");
    complete2->setGeometry(24, 150, 140, 20);
}

void CopyTab::Trans_end_copy() {}

} // namespace r8::ui
