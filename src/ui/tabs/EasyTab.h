// SPDX-License-Identifier: MIT
#pragma once
// The "Easy" tab: the camera's user menu functions. Its three parts (picture functions, lens
// control, title with BLC areas and mark) each set up their form on Panel4, in this order (the
// stacking order), bind their plain settings, send their other commands and register their read
// decoders; the room wires them together and runs the tab's answer handler.
#include "EasyPage.h"
#include "TabRoom.h"

#include <memory>

namespace r8::ui {

class EasyPicture;
class EasyLens;
class EasyTitle;

class EasyTab : public TabRoom {
public:
    explicit EasyTab(RoomContext& ctx);
    ~EasyTab() override;

    PageTable Page() const override { return kEasyPage; }
    void OnAnswer() override { Trans_end_easy(); }
    // The Easy page load starts with the white balance controls enabled.
    void OnPageStart() override;
    void Trans_end_easy();

    std::unique_ptr<EasyPicture> Picture;
    std::unique_ptr<EasyLens> Lens;
    std::unique_ptr<EasyTitle> TitleArea;
};

} // namespace r8::ui
