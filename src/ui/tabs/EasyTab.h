#pragma once
// The "Easy" tab: the camera's user menu functions. Its three parts (picture functions, lens
// control, title with BLC areas and mark) each build their group boxes on Panel4, send their
// commands and register their read decoders; the room wires them together and runs the tab's
// answer handler.
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

    static constexpr PageRequest kPage[] = {
        {0x60, 0, 0, 3}, {0x60, 1, 0, 3}, {0x60, 2, 0, 3},       {0x60, 3, 0, 3}, // Easy blocks 0-9
        {0x60, 4, 0, 3}, {0x60, 5, 0, 3}, {0x60, 6, 0, 3},       {0x60, 7, 0, 3},
        {0x60, 8, 0, 3}, {0x60, 9, 0, 3}, {0x0C, 0x01, 0x51, 4}, // camera register 0x0151
    };
    PageTable Page() const override { return kPage; }
    void OnAnswer() override { Trans_end_easy(); }
    // The Easy page load starts with the white balance controls enabled.
    void OnPageStart() override;
    void Trans_end_easy();

    std::unique_ptr<EasyPicture> Picture;
    std::unique_ptr<EasyLens> Lens;
    std::unique_ptr<EasyTitle> TitleArea;
};

} // namespace r8::ui
