// SPDX-License-Identifier: MIT
#include "EasyTitle.h"

#include "EasyPage.h"
#include "EasySettings.h"
#include "patterns/Bind.h"

#include <QGridLayout>

#include <string>

namespace r8::ui {

namespace {

constexpr uint8_t kTitle = 0x10;
constexpr uint8_t kAreas = 0x19;
constexpr uint8_t kMarkGroup = 0x56; // the mark on/off and its moves
constexpr uint8_t kLastTitleBlock = kTitleBlocks - 1;

// Five codes, high byte first, from answer byte `first` on.
TitleCodes CodesAt(const AnswerView& a, int first) {
    TitleCodes codes{};
    for (size_t i = 0; i < codes.size(); ++i)
        codes[i] = a.U16(first + 2 * static_cast<int>(i));
    return codes;
}

EasyTitle::AreaMask MaskAt(const AnswerView& a, int first) {
    EasyTitle::AreaMask mask{};
    for (size_t r = 0; r < mask.size(); ++r)
        mask[r] = a.A(first + static_cast<int>(r));
    return mask;
}

} // namespace

EasyTitle::EasyTitle(RoomContext& ctx, QWidget* panel, Panel* blcPanel) : ctx_(ctx) {
    setupUi(panel);
    bound_ = BoundForm(ctx, panel, settings::kEasyTitleSettings, {.own = {&settings::kMark}});
    SetTitle->OnClick = [this] { SetTitleClick(); };
    buildAreas(panel, blcPanel);
    bindMark();
    registerDecoders();
}

void EasyTitle::buildAreas(QWidget* panel, Panel* blcPanel) {
    if (!blcPanel) { // the picture part lends its panel; without it the boxes stay hidden
        blcPanel = new Panel(panel);
        blcPanel->hide();
    }
    auto* grid = new QGridLayout(blcPanel);
    grid->setSizeConstraint(QLayout::SetNoConstraint); // the panel keeps the size it was given
    grid->setContentsMargins(2, 2, 2, 2);
    grid->setSpacing(0);
    for (int n = 0; n < kAreaCount; ++n) {
        // The caption is the box's name; the grid shows the boxes without text.
        const QString name = QString("BLCCheck%1").arg(n + 1, 2, 10, QChar('0'));
        auto* box = new CheckBox(QString(), blcPanel);
        box->setObjectName(name);
        box->setAccessibleName(name);
        box->OnClick = [this] { // BLCCheck01Click .. BLCCheck48Click
            if (ctx_.TransStep() == 0) BLCAreaTimer->SetEnabled(true);
        };
        grid->addWidget(box, n / 8, n % 8, Qt::AlignCenter);
        BLCCheck[static_cast<size_t>(n)] = box;
    }
    BLCAreaTimer = new Timer(blcPanel, 300, false);
    BLCAreaTimer->setObjectName("BLCAreaTimer");
    BLCAreaTimer->OnTimer = [this] { BLCAreaTimerTimer(); };
}

void EasyTitle::bindMark() {
    SendOnClick(ctx_, Mark, WritePrefix(settings::kMark)); // MarkClick
    const struct {
        Button* button;
        int dx, dy;
    } moves[] = {
        {Mark_up, 0, -1},   // Mark_upClick
        {Mark_down, 0, 1},  // Mark_downClick
        {Mark_left, -1, 0}, // Mark_leftClick
        {Mark_right, 1, 0}, // Mark_rightClick
    };
    for (const auto& m : moves) {
        // The camera answers with the new position; MarkLimits change only through answers.
        m.button->OnClick = [this, dx = m.dx, dy = m.dy] {
            if (!ctx_.Trans_chk()) return;
            const auto& lim = ctx_.State().MarkLimits;
            ctx_.Send({0x21, kMarkGroup, 0x01, static_cast<uint8_t>(lim[0] + dx),
                       static_cast<uint8_t>(lim[1] + dy)});
        };
    }
}

void EasyTitle::registerDecoders() {
    ctx_.OnGroup(kTitle, 1, [this](const AnswerView& a) { Title_show(a.A(4), CodesAt(a, 5)); });
    ctx_.OnGroup(kAreas, [this](const AnswerView& a) {
        AreaMask mask = MaskAt(a, 3);
        BLC_area_bits(mask, 1);
    });
    // The core has stored the six limits.
    ctx_.OnGroup(kMarkGroup, 1, [this](const AnswerView&) { Mark_enable_update(); });

    for (uint8_t k = 0; k < kTitleBlocks; ++k)
        ctx_.OnGroup(kEasyBlock, k,
                     [this, k](const AnswerView& a) { Title_show(k, CodesAt(a, 4)); });
    ctx_.OnGroup(kEasyBlock, 4, [this](const AnswerView& a) {
        AreaMask mask = MaskAt(a, 4);
        BLC_area_bits(mask, 1);
    });
    // The core has stored the limits (A5..A10 of the Easy block).
    OnSettingAnswer(ctx_, settings::kMark, [this](int v) { showMark(v); });
    OnSettingPage(ctx_, settings::kMark, [this](int v) {
        showMark(v);
        Mark_enable_update();
    });
}

void EasyTitle::Trans_end_easy(const AnswerView& a) {
    if (a.Group() == kTitle && a.Item() == 1 && a.AfterWrite()) {
        // Each stored block is shown and the next one goes out; the answer to block 3 ends the
        // upload. A title read is shown by the decoder and starts no upload.
        const uint8_t block = a.A(4);
        Title_show(block, CodesAt(a, 5));
        if (a.P(4) == kLastTitleBlock || block >= kLastTitleBlock) return;
        if (!ctx_.Trans_chk()) return;
        sendTitleBlock(block + 1);
    } else if (a.Group() == kMarkGroup && a.Item() == settings::kMark.key.bytes[1]) {
        if (a.A(4) == 0) SetEnabled({Mark_up, Mark_down, Mark_left, Mark_right}, false);
        if (a.A(4) == 1) {
            SetEnabled({Mark_up, Mark_down, Mark_left, Mark_right}, true);
            Mark_enable_update();
        }
    } else if (a.Group() == kMarkGroup && a.Item() == 1 && a.AfterWrite()) {
        auto& lim = ctx_.State().MarkLimits;
        lim[0] = a.A(4);
        lim[1] = a.A(5);
        Mark_enable_update();
    }
}

void EasyTitle::SetTitleClick() {
    if (!ctx_.Trans_chk()) return;
    SetTitle->setEnabled(false);
    sendTitleBlock(0);
}

void EasyTitle::sendTitleBlock(int block) {
    const std::u16string text = CName->Text().toStdU16String();
    const TitleCodes codes = TitleBlockCodes(text, block);
    auto& f = ctx_.SendFrame();
    f[1] = 0x21;
    f[2] = kTitle;
    f[3] = 0x01;
    f[4] = static_cast<uint8_t>(block);
    for (size_t i = 0; i < codes.size(); ++i) {
        f[5 + 2 * i] = static_cast<uint8_t>(codes[i] >> 8);
        f[6 + 2 * i] = static_cast<uint8_t>(codes[i] & 0xFF);
    }
    ctx_.StxCommand(14);
}

void EasyTitle::Title_show(uint8_t block, const TitleCodes& codes) {
    // A block beyond the title would push text past its 20 characters.
    if (block > kLastTitleBlock) return;
    QString text = CName->Text();
    while (text.size() < kTitleLength)
        text += QChar(' ');
    const int at = block * kTitleBlockChars;
    for (size_t i = 0; i < codes.size(); ++i)
        text[at + static_cast<int>(i)] = QChar(DecodeTitleCode(codes[i]));
    CName->SetText(text);
    if (block == kLastTitleBlock) SetTitle->setEnabled(true);
}

void EasyTitle::BLC_area_enable(bool on) {
    for (CheckBox* box : BLCCheck)
        box->setEnabled(on);
}

void EasyTitle::BLC_area_bits(AreaMask& mask, int direction) {
    if (direction != 0 && direction != 1) return;
    if (direction == 0) mask.fill(0);
    for (int n = 0; n < kAreaCount; ++n) {
        uint8_t& byte = mask[static_cast<size_t>(n / 8)];
        const uint8_t bit = static_cast<uint8_t>(1u << (n % 8));
        CheckBox* box = BLCCheck[static_cast<size_t>(n)];
        if (direction == 1)
            box->SetChecked((byte & bit) != 0);
        else if (box->Checked())
            byte |= bit;
    }
}

void EasyTitle::BLCAreaTimerTimer() {
    if (!ctx_.Trans_chk()) return; // stays armed and tries again at the next tick
    BLCAreaTimer->SetEnabled(false);
    AreaMask m{};
    BLC_area_bits(m, 0);
    ctx_.Send({0x21, kAreas, m[0], m[1], m[2], m[3], m[4], m[5]});
}

void EasyTitle::showMark(uint8_t index) {
    Mark->SetItemIndex(index);
    if (index == 0) SetEnabled({Mark_up, Mark_down, Mark_left, Mark_right}, false);
    if (index == 1) SetEnabled({Mark_up, Mark_down, Mark_left, Mark_right}, true);
}

void EasyTitle::Mark_enable_update() {
    const auto& lim = ctx_.State().MarkLimits;
    const uint8_t x = lim[0], y = lim[1], xMin = lim[2], xMax = lim[3], yMin = lim[4],
                  yMax = lim[5];
    const bool on = Mark->ItemIndex() == 1;
    // Each button: disabled where its step would leave the limits, enabled while the mark is on,
    // otherwise left as it is.
    const std::pair<Button*, bool> steps[] = {
        {Mark_left, xMin < x},
        {Mark_right, x < xMax},
        {Mark_up, yMin < y},
        {Mark_down, y < yMax},
    };
    for (const auto& [button, inside] : steps) {
        if (!inside)
            button->setEnabled(false);
        else if (on)
            button->setEnabled(true);
    }
}

} // namespace r8::ui
