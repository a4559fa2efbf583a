// SPDX-License-Identifier: MIT
#include "AdjustTab.h"

#include "AdjustSettings.h"
#include "Catalogue.h"
#include "EasySettings.h"
#include "HexText.h"

namespace r8::ui {

namespace {

constexpr uint8_t kSet = 0x21;
constexpr uint8_t kRegisterKept = 0x0A; // register write the camera also keeps in EEPROM
constexpr uint8_t kRegisterLive = 0x0B; // register write not kept
constexpr uint8_t kChroma = 0x2B;       // CromaBY in bits 15-8, CromaRY in bits 7-0
constexpr uint8_t kHueRyPlus = 0x2C, kHueByPlus = 0x2D, kHueRyMinus = 0x2E, kHueByMinus = 0x2F;

// The bar values show in disabled edits in the menu colour, their text as legible as enabled.
void ShowInMenuColour(Edit* e) {
    QPalette p = e->palette();
    p.setColor(QPalette::Disabled, QPalette::Base, p.color(QPalette::Window));
    p.setColor(QPalette::Disabled, QPalette::Text, p.color(QPalette::Active, QPalette::Text));
    e->setPalette(p);
}

} // namespace

int HueValue(int oldValue, int position) {
    const int kept = oldValue & 0xFE00;
    if (position < 0) return kept | (-position & 0xFF) | 0x100;
    return kept | (position & 0xFF);
}

AdjustTab::AdjustTab(RoomContext& ctx)
    : TabRoom(ctx, "TabSheet1", "Panel3"),
      // The "Save" write-back: after the camera keeps the adjustments, the chroma and hue
      // registers are written back in their stored form, one per answer; then "Copy".
      saveChain_({
          {0x41, 0x00, [this](const AnswerView&) { writeBack(0x2B); }},
          {0x0A, 0x2B, [this](const AnswerView&) { writeBack(0x2C); }},
          {0x0A, 0x2C, [this](const AnswerView&) { writeBack(0x2D); }},
          {0x0A, 0x2D, [this](const AnswerView&) { writeBack(0x2E); }},
          {0x0A, 0x2E, [this](const AnswerView&) { writeBack(0x2F); }},
          {0x0A, 0x2F,
           [this](const AnswerView&) {
               if (ShowCopyTab) ShowCopyTab();
           }},
          {0x41, 0x01, [this](const AnswerView&) { ctx_.ReLoadClick(); }},
      }) {
    setupUi(Body());
    QFont font = Body()->font();
    font.setPixelSize(11);
    Body()->setFont(font);
    for (Edit* e : {RY_Gain, BY_Gain, RYP_DATA, BYP_DATA, RYN_DATA, BYN_DATA})
        ShowInMenuColour(e);
    // Delay: the four edits make one command and show one read (bindHandlers).
    bound_ = BoundForm(ctx_, Body(), settings::kAdjustSettings, {.own = {&settings::kCcdTiming}});
    bindHandlers();
    registerDecoders();
}

AdjustTab::~AdjustTab() = default;

void AdjustTab::bindHandlers() {
    const auto quiet = [this] { return !showing_; };

    // rg_delayChange, bound to all four: one command once each holds its digit.
    SendOnCompleteHexGroup(
        ctx_, {rg_width, shd_delay, shp_delay, rg_delay},
        [](const std::vector<int>& v) {
            return WritePayload(settings::kCcdTiming, v[0] << 12 | v[1] << 8 | v[2] << 4 | v[3]);
        },
        quiet);
    OnSettingRead(ctx_, settings::kCcdTiming, [this](int v) {
        const QString t = QString::fromStdString(HexWord(v));
        showing([&] {
            rg_width->SetText(t.mid(0, 1));
            shd_delay->SetText(t.mid(1, 1));
            shp_delay->SetText(t.mid(2, 1));
            rg_delay->SetText(t.mid(3, 1));
        });
    });
    const SpinRule nibble{.min = 0, .max = 0xF, .edge = Edge::Hold};
    spinRgDelay = std::make_unique<HexSpin>(rg_delay, CSpinButton1, nibble);
    spinRgWidth = std::make_unique<HexSpin>(rg_width, CSpinButton2, nibble);
    spinShpDelay = std::make_unique<HexSpin>(shp_delay, CSpinButton3, nibble);
    spinShdDelay = std::make_unique<HexSpin>(shd_delay, CSpinButton4, nibble);

    // pwm_refChange (bound): a typed value goes out as typed; only the spin button keeps 50-B0.
    spinPwm = std::make_unique<HexSpin>(
        pwm_ref, CSpinButton5,
        SpinRule{
            .min = 0x50, .max = 0xB0, .edge = Edge::Clamp, .step = [this] { return PwmStep; }});

    // wb_selClick: ticked is ATW (0), the white balance mode of the Easy tab's "WB".
    SendBuilt(ctx_, wb_sel->OnClick, [this]() -> std::optional<Prefix> {
        if (showing_) return std::nullopt;
        return WritePayload(settings::kWhiteBalance, wb_sel->Checked() ? 0 : 1);
    });
    OnSettingRead(ctx_, settings::kWhiteBalance,
                  [this](int v) { showing([&] { wb_sel->SetChecked(v == 0); }); });

    // SaveAdjustClick, CanAdjustClick: the first steps of the save write-back and of the reload.
    SaveAdjust->OnClick = [this] { saveSteps_.Start({kSet, 0x41, 0x00, 0xFF}, advance()); };
    CanAdjust->OnClick = [this] { saveSteps_.Start({kSet, 0x41, 0x01, 0xFF}, advance()); };
    SendOnClick(ctx_, pre_32, {kSet, 0x30, 0x00, 0x01}); // pre_32Click
    SendOnClick(ctx_, pre_56, {kSet, 0x30, 0x01, 0x01}); // pre_56Click

    // CromaRYChange (both bars) and TimercrmTimer.
    crm = std::make_unique<DebouncedBar>(
        ctx_, CromaRY,
        [this](int) {
            writeRegister(kChroma, CromaBY->Position() * 256 + CromaRY->Position(), kRegisterLive);
        },
        "Timercrm", 100);
    crm->ArmWhen = quiet;
    const auto chromaChange = [this] {
        RY_Gain->SetText(QString::number(CromaRY->Position()));
        BY_Gain->SetText(QString::number(CromaBY->Position()));
        crm->Change();
    };
    CromaRY->OnChange = chromaChange;
    CromaBY->OnChange = chromaChange;
    Timercrm = crm->DebounceTimer;

    ryp = hueBar(RYP, RYP_DATA, kHueRyPlus, "TimerRYP");
    byp = hueBar(BYP, BYP_DATA, kHueByPlus, "TimerBYP");
    ryn = hueBar(RYN, RYN_DATA, kHueRyMinus, "TimerRYN");
    byn = hueBar(BYN, BYN_DATA, kHueByMinus, "TimerBYN");
    TimerRYP = ryp->DebounceTimer;
    TimerBYP = byp->DebounceTimer;
    TimerRYN = ryn->DebounceTimer;
    TimerBYN = byn->DebounceTimer;
}

// RYPChange / TimerRYPTimer and the other three: the tick writes the hue format.
std::unique_ptr<DebouncedBar> AdjustTab::hueBar(TrackBar* bar, Edit* display, uint8_t reg,
                                                const char* timerName) {
    auto hue = std::make_unique<DebouncedBar>(
        ctx_, bar,
        [this, reg](int p) {
            writeRegister(reg, HueValue(ctx_.State().SettingTable[reg], p), kRegisterLive);
        },
        timerName, 500);
    hue->ArmWhen = [this] { return !showing_; };
    DebouncedBar* h = hue.get();
    bar->OnChange = [h, bar, display] {
        display->SetText(QString::number(bar->Position()));
        h->Change();
    };
    return hue;
}

// Writes register reg without keeping it in EEPROM (function 0x0B) and keeps `value` in
// SettingTable.
void AdjustTab::writeRegister(uint8_t reg, int value, uint8_t function) {
    ctx_.State().SettingTable[reg] = value;
    ctx_.Send({kSet, function, reg, HiByte(value), LoByte(value)});
}

// A step of the save write-back: register reg kept (function 0x0A), the SettingTable entry as
// it is.
void AdjustTab::writeBack(uint8_t reg) {
    const int value = ctx_.State().SettingTable[reg];
    saveSteps_.Send({kSet, kRegisterKept, reg, HiByte(value), LoByte(value)}, advance());
}

ChainSteps::Next AdjustTab::advance() {
    return [this](const AnswerView& a) { saveChain_.Advance(a); };
}

void AdjustTab::showing(const std::function<void()>& fill) {
    const bool was = showing_;
    showing_ = true;
    fill();
    showing_ = was;
}

void AdjustTab::registerDecoders() {
    RoomContext& c = ctx_;
    for (uint8_t group : {kRegisterKept, kRegisterLive})
        c.OnGroup(group, kChroma, [this](const AnswerView& a) {
            showing([&] {
                CromaBY->SetPosition(a.U16(4) >> 8);
                CromaRY->SetPosition(a.U16(4) & 0xFF);
            });
        });
}

void AdjustTab::Trans_end_cstm() {
    const AnswerView a = ctx_.Answer();
    if (!a.Good()) {
        ctx_.ShowMessage(" Error ", "ERR", 2);
        return;
    }
    if (a.AfterWrite()) saveChain_.Advance(a);
}

void AdjustTab::Trans_cstm_hidden() {
    pre_32->setEnabled(wb_sel->Checked());
    pre_56->setEnabled(wb_sel->Checked());
}

} // namespace r8::ui
