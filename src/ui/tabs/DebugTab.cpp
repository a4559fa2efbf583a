// SPDX-License-Identifier: MIT
#include "DebugTab.h"

#include "HexText.h"
#include "debug/DspRegisterNames.h"
#include "patterns/CommandText.h"
#include "patterns/Senders.h"

#include <QFontDatabase>

#include <initializer_list>
#include <optional>

namespace r8::ui {

namespace {

constexpr uint8_t kRead = 0x31, kSet = 0x21;
constexpr int kRamFirst = 0xEE00, kRamLast = 0xFFFF;

int Hex(const Edit* e) {
    return ParseHex(e->Text().toStdString());
}

// Puts a value read from the camera into an edit with its echo flag up, so that the edit's
// change handler sends nothing; the flag never outlives the change.
void Echo(Edit* edit, bool& flag, const QString& text) {
    if (edit->Text() == text) return;
    flag = true;
    edit->SetText(text);
    flag = false;
}

} // namespace

DebugTab::DebugTab(RoomContext& ctx) : TabRoom(ctx, "TabSheet2", "Panel2") {
    setupUi(Body());
    // The form's fonts, in pixels: the panel's, and the fixed one of the raw command and the
    // RAM dump, whose columns line up under their rulers.
    QFont font = Body()->font();
    font.setPixelSize(11);
    Body()->setFont(font);
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPixelSize(11);
    for (QWidget* w :
         std::initializer_list<QWidget*>{SendRuler, SendBuffer, DumpHeader, RdAdr, Memo1})
        w->setFont(fixed);
    // The register list: item i is register i.
    for (const char* n : kDspRegisterNames)
        DspAdr->addItem(QString::fromUtf8(n));
    DspAdr->SetItemIndex(-1);
    bindHandlers();
}

DebugTab::~DebugTab() = default;

void DebugTab::bindHandlers() {
    using Built = std::optional<Prefix>;

    // DspAdrChange: read the selected register.
    SendBuilt(ctx_, DspAdr->OnChange, [this]() -> Built {
        const int address = selectedAddress();
        if (address < 0) return std::nullopt;
        return Prefix{kRead, 0x0A, LoByte(address)};
    });
    // DspDataChange: write it, kept in EEPROM unless "NoWrite(EEP)" is ticked.
    SendBuilt(ctx_, DspData->OnChange, [this]() -> Built {
        if (DspDataEcho) {
            DspDataEcho = false;
            return std::nullopt;
        }
        const int address = selectedAddress();
        const int data = CompleteHexValue(DspData);
        if (address < 0 || data < 0) return std::nullopt;
        DspData->setFocus();
        return Prefix{kSet, static_cast<uint8_t>(NoWrite->Checked() ? 0x0B : 0x0A), LoByte(address),
                      HiByte(data), LoByte(data)};
    });
    // DspRadixChange: a complete mask is shown as four upper-case digits ("FFFF" if not hex).
    DspRadix->OnChange = [this] {
        if (DspRadix->Text().size() == 4) DspRadix->SetText(Q(HexWord(Hex(DspRadix))));
    };
    dspStep = std::make_unique<HexSpin>(DspData, DspDatSpin,
                                        SpinRule{.mask = [this] { return Hex(DspRadix); }});
    dspStep->When = [this] { return selectedAddress() >= 0; };

    // eepadrChange: read the word.
    SendBuilt(ctx_, eepadr->OnChange, [this]() -> Built {
        const int address = CompleteHexValue(eepadr);
        if (address < 0) return std::nullopt;
        return Prefix{kRead, 0x0C, HiByte(address), LoByte(address)};
    });
    // EepdataChange: write it, and its working copy in RAM with "& RAM".
    SendBuilt(ctx_, Eepdata->OnChange, [this]() -> Built {
        if (EepDataEcho) {
            EepDataEcho = false;
            return std::nullopt;
        }
        const int data = CompleteHexValue(Eepdata);
        const int address = eepAddress();
        if (data < 0 || address < 0 || address > 0x03FF) return std::nullopt;
        return Prefix{kSet,
                      static_cast<uint8_t>(EEP_RAM->Checked() ? 0x0F : 0x0C),
                      HiByte(address),
                      LoByte(address),
                      HiByte(data),
                      LoByte(data)};
    });
    eepAddressStep = std::make_unique<HexSpin>(
        eepadr, CSpinButton6, SpinRule{.min = 0, .max = 0x03FF, .edge = Edge::Wrap});
    eepDataStep = std::make_unique<HexSpin>(Eepdata, CSpinButton7,
                                            SpinRule{.min = 0, .max = 0xFFFF, .edge = Edge::Wrap});
    eepDataStep->When = [this] { return eepAddress() >= 0 && eepAddress() <= 0x03FF; };

    // RamSendClick: the raw command, or a line in the status bar naming what is wrong.
    SendBuilt(ctx_, RamSend->OnClick, [this]() -> Built {
        const CommandText t = ParseCommandText(SendBuffer->Text().toStdString());
        if (!t.Ok()) {
            if (ShowStatus) ShowStatus(t.Problem());
            return std::nullopt;
        }
        return Prefix(t.payload.begin(), t.payload.end());
    });
    SendOnClick(ctx_, sw_save, {kSet, 0x1E});          // sw_saveClick
    SendOnClick(ctx_, PresetSave, {kSet, 0x20, 0x01}); // PresetSaveClick
    SendOnCompleteHex(ctx_, osdt, {kSet, 0x0E, 0x01}); // osdtChange

    ramAdr->OnChange = [this] { ramAdrChange(); };
    RamCount->OnChange = [this] { RamCountChange(); };
    // btn_ram_wClick: one byte to a RAM address, sent as typed.
    SendBuilt(ctx_, btn_ram_w->OnClick, [this]() -> Built {
        const int address = CompleteHexValue(ramAdrwr);
        const int data = CompleteHexValue(ram_send_buff);
        if (address < kRamFirst || address > kRamLast || data < 0) return std::nullopt;
        return Prefix{kSet, 0x0D, HiByte(address), LoByte(address), LoByte(data)};
    });
    // sampClick: the 48 area samples, one request per answer.
    samp->OnClick = [this] {
        if (!ReadBack::Showing() && ctx_.Trans_chk()) startSampling();
    };
    // A step that ends without a good answer ends its pass: a later answer is not the pass's.
    dumpSteps_.OnEnded = [this](ExchangeError) { RamDump.Stop(); };
    sampleSteps_.OnEnded = [this](ExchangeError) { AreaSamples.Stop(); };
}

int DebugTab::selectedAddress() const {
    if (DspAdr->ItemIndex() < 0) return -1;
    const std::string text = DspAdr->currentText().toStdString();
    return text.size() < 2 ? -1 : ParsePairAt(text.data());
}

int DebugTab::eepAddress() const {
    return Hex(eepadr);
}

void DebugTab::disp_ramadr() {
    RdAdr->Clear();
    const int base = Hex(ramAdr);
    const int size = Hex(RamCount);
    if (base < 0 || size < 0) return;
    QStringList rows;
    for (int i = 0; i < size / 16; ++i)
        rows << Q(HexWord((base & 0xFFF0) + 16 * i));
    RdAdr->SetLines(rows);
}

void DebugTab::ramAdrChange() {
    if (!ctx_.Trans_chk()) return;
    const int typed = CompleteHexValue(ramAdr);
    if (typed < 0) return;
    const int address = typed & 0xFFF0;
    disp_ramadr();
    if (address < kRamFirst || address > kRamLast) return;
    const QString shown = Q(HexWord(address));
    if (ramAdr->Text() != shown) {
        ramAdr->SetText(shown); // the new text runs this handler again, which reads
        return;
    }
    startRamRead(address);
}

void DebugTab::RamCountChange() {
    if (!ctx_.Trans_chk()) return;
    const int typed = CompleteHexValue(ramAdr);
    if (typed < 0) return;
    disp_ramadr();
    startRamRead(typed & 0xFFF0);
}

void DebugTab::startRamRead(int address) {
    RamDump.Start(Hex(RamCount));
    readRam(RamDump.Pass(), address);
}

void DebugTab::readRam(int pass, int address) {
    dumpSteps_.Send({kRead, 0x0D, HiByte(address), LoByte(address), 0x01},
                    [this, pass](const AnswerView& a) { ramAnswered(pass, a); });
}

// Two bytes per answer; the next read is two bytes on from the address this answer was read
// from, never past the end of RAM.
void DebugTab::ramAnswered(int pass, const AnswerView& a) {
    if (!RamDump.Runs(pass)) return; // the operator started another pass meanwhile
    const int next = (a.P(3) << 8 | a.P(4)) + 2;
    if (!RamDump.Add({a.A(5), a.A(6)}) && next <= kRamLast) {
        readRam(pass, next);
        return;
    }
    RamDump.Stop(); // complete, or at the end of RAM
    showRows(RamDump);
    const int start = Hex(ramAdr);
    if (RamRepeat->Checked() && start >= 0) startRamRead(start & 0xFFF0);
}

void DebugTab::startSampling() {
    AreaSamples.Start(48);
    readSample(AreaSamples.Pass(), 0);
}

void DebugTab::readSample(int pass, int index) {
    sampleSteps_.Send({kRead, 0x35, static_cast<uint8_t>(index)},
                      [this, pass](const AnswerView& a) { sampleAnswered(pass, a); });
}

void DebugTab::sampleAnswered(int pass, const AnswerView& a) {
    if (!AreaSamples.Runs(pass)) return;
    if (!AreaSamples.Add({a.U16(4)})) {
        readSample(pass, a.P(3) + 1);
        return;
    }
    showRows(AreaSamples);
    if (RamRepeat->Checked()) startSampling();
}

void DebugTab::showRows(const ReadLoop& loop) {
    QStringList rows;
    for (const auto& r : loop.Rows())
        rows << Q(r);
    Memo1->SetLines(rows);
}

void DebugTab::Debug_tend() {
    const AnswerView a = ctx_.Answer();
    if (!a.Good()) {
        ctx_.ShowMessage(" Error ", "ERR", 2);
        return;
    }
    if (a.AfterRead()) Trans_rd_dbg(a);
}

void DebugTab::Trans_rd_dbg(const AnswerView& a) {
    switch (a.Group()) {
    case 0x0A:
        if (DspAdr->ItemIndex() == a.A(3)) Echo(DspData, DspDataEcho, Q(HexWord(a.U16(4))));
        break;
    case 0x0C:
        if (eepAddress() == a.U16(3)) Echo(Eepdata, EepDataEcho, Q(HexWord(a.U16(5))));
        break;
    default:
        // RAM and area-sample answers are the dump's and the sampling's replies; one that
        // comes here was asked for by nobody (a read typed as a raw command): Memo1 stays.
        break;
    }
}

} // namespace r8::ui
