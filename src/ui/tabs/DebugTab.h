// SPDX-License-Identifier: MIT
#pragma once
#include "TabRoom.h"
#include "patterns/ChainStep.h"
#include "patterns/HexSpin.h"
#include "patterns/ReadLoop.h"
#include "ui_DebugTab.h"

#include <functional>
#include <memory>
#include <string>

namespace r8::ui {

// Direct register, EEPROM and RAM access, raw command frames, the OSD word and area samples.
class DebugTab : public TabRoom, public Ui::DebugTabForm {
public:
    explicit DebugTab(RoomContext& ctx);
    ~DebugTab() override;

    static constexpr PageRequest kPage[] = {
        {0x0A, 0x01, 0, 3},
        {0x0A, 0x40, 0, 3},
    };
    PageTable Page() const override { return kPage; }
    void OnAnswer() override { Debug_tend(); }
    // Answers while the tab is on show: the error report, then the reads of this tab.
    void Debug_tend();
    void Trans_rd_dbg(const AnswerView& a);
    // Redraws the row addresses of the RAM dump from ramAdr and RamCount.
    void disp_ramadr();

    // Set by the window: one line in the status bar (what is wrong with the raw command).
    std::function<void(const std::string&)> ShowStatus;

    // One-shot echo flags: set while a value read from the camera is put into DspData or
    // Eepdata, so that its change handler writes nothing.
    bool DspDataEcho = false;
    bool EepDataEcho = false;
    // RamDumpBuffer / RamDumpCount and AreaSampleTable / AreaSampleIndex.
    ReadLoop RamDump{2, 16, 2};
    ReadLoop AreaSamples{1, 8, 4};

    // DspDatSpin (masked step), CSpinButton6 (EEPROM address), CSpinButton7 (EEPROM data).
    std::unique_ptr<HexSpin> dspStep, eepAddressStep, eepDataStep;

private:
    void bindHandlers();
    // The address of the selected register, -1 when none is selected.
    int selectedAddress() const;
    // eepadr as hexadecimal, -1 when it is not.
    int eepAddress() const;
    // The RAM dump and the area samples, one chain step per answer.
    void startRamRead(int address);
    void readRam(int pass, int address);
    void ramAnswered(int pass, const AnswerView& a);
    void startSampling();
    void readSample(int pass, int index);
    void sampleAnswered(int pass, const AnswerView& a);
    void ramAdrChange();
    void RamCountChange();
    void showRows(const ReadLoop& loop);

    ChainSteps dumpSteps_{ctx_}, sampleSteps_{ctx_};
};

} // namespace r8::ui
