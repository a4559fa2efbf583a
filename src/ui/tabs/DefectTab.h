// SPDX-License-Identifier: MIT
#pragma once
// The "CCD Defect" tab: correction of up to three defective CCD pixels ("Kizu" A, B, C). The
// operator places each correction by typing, stepping or clicking the map, lets the camera search
// for defect A (and, with "3 Point", B and C), turns the camera's even/odd measurement into a
// correction, and stores or discards the result. The form is built in defect/DefectForm.cpp,
// the handlers are in defect/DefectHandlers.cpp, the read decoder rows and the answer chains
// (Trans_end_kizu) in defect/DefectAnswers.cpp.
#include "TabRoom.h"
#include "patterns/AnswerChain.h"
#include "patterns/ChainStep.h"

#include <functional>
#include <memory>

namespace r8::ui {

class DebouncedBar;
class Shape;
class SpinEdit;

class DefectTab : public TabRoom {
public:
    // showAdjustInfo shows the adjust-parameter window (the main window owns it).
    explicit DefectTab(RoomContext& ctx, std::function<void()> showAdjustInfo = {});
    ~DefectTab() override;

    static constexpr PageRequest kPage[] = {
        {0x0A, 0x01, 0, 3}, {0x0A, 0x40, 0, 3}, {0x36, 0x09, 0, 3}, // defect selection
        {0x36, 0x00, 0, 3},                                         // defect A position
        {0x36, 0x01, 0, 3},                                         // defect B and C positions
        {0x36, 0x10, 0, 3}, {0x36, 0x11, 0, 3}, {0x36, 0x05, 0, 3},
        {0x36, 0x04, 0, 3}, {0x36, 0x0B, 0, 3}, {0x36, 0x06, 0, 3},
    };
    PageTable Page() const override { return kPage; }
    void OnAnswer() override { Trans_end_kizu(); }
    void OnPageStart() override;
    void Trans_end_kizu();

    // Handlers that others run too (the answer handling, the timer); the other controls are
    // bound to their patterns in defect/DefectHandlers.cpp.
    void kizu_selClick();
    void kizu_axChange();
    void Shape1MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void TimerkizuTimer();
    void Kizu_AdjustClick();
    void AdjustInfoClick();

    // "Adjust Set": the camera's defect adjust mode; disabled from its send until the answer.
    RadioGroup* AdjustSet;
    // "Auto"
    GroupBox* Auto;
    Button* kizu_auto;
    CheckBox* Auto3Point;
    Button* Kizu_Save;
    Button* Kizu_Cancel;
    // Selection and stored positions.
    RadioGroup* Kizu;
    Panel* Panel8;
    Edit *KizuAX, *KizuAY, *KizuBX, *KizuBY, *KizuCX, *KizuCY;
    // "Manual"
    GroupBox* fine_adj;
    RadioGroup* Defect;
    RadioGroup* kizu_sel;
    CheckBox* KFFX;
    CheckBox* KFRV;
    Edit* kizu_ax;
    Edit* kizu_ay;
    Button *kizu_up, *kizu_down, *kizu_left, *kizu_right;
    SpinEdit* SpinEdit1;
    Panel* Panel9;
    Shape* Shape1; // the map: ImageWidth x ImageHeight drawn on 200 x 150 pixels
    Shape* Shape2; // the cursor on the map
    // KF options.
    Panel* Panel11;
    CheckBox* VRevKF;
    RadioGroup* VRevKFChange;
    Panel* Panel12;
    TrackBar* SensKFBar;
    RadioGroup* SensUpKFOFF;
    // Measurement.
    Panel* Panel10;
    Button* KizuRead;
    Edit *kin_x1, *kin_y1, *kin_p1, *kin_x2, *kin_y2, *kin_p2;
    Button* Kizu_Adjust;
    Button* AdjustInfo;

    Timer* Timerkizu;
    Timer* SensKFTimer;

private:
    void buildForm();
    void bindHandlers();
    void registerDecoders();

    int selected() const; // 0 A, 1 B, 2 C, -1 none

    // Answer helpers (defect/DefectAnswers.cpp).
    void placeCursor();
    void showPosition(uint16_t x, uint16_t y);
    void chainRead(uint8_t item);
    void sendStep(const Prefix& payload);
    void showPage(const AnswerView& a, bool bc);
    void showPageA(const AnswerView& a) { showPage(a, false); }
    void showPageBc(const AnswerView& a) { showPage(a, true); }
    void showMeasurement(const AnswerView& a);
    void showKfChange(const AnswerView& a);
    void showAdjustSet(const AnswerView& a);
    void showAdjustParameters(const AnswerView& a);
    void showSelection(const AnswerView& a);
    void showKfOff(const AnswerView& a);
    void showKfFix(const AnswerView& a);
    void showKfRev(const AnswerView& a);
    void positionAnswered(const AnswerView& a);
    void adjustSetAnswered(const AnswerView& a);
    void searchAnswered(const AnswerView& a);
    void threePointAnswered(const AnswerView& a);
    void cursorAnswered(const AnswerView&) { placeCursor(); }

    struct ReadRow;
    static const ReadRow kReadRows[];
    AnswerChain writeChain();

    std::function<void()> showAdjustInfo_;
    std::unique_ptr<DebouncedBar> sensKf_;
    AnswerChain writeChain_;
    ChainSteps steps_{ctx_};
};

} // namespace r8::ui
