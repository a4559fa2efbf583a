// SPDX-License-Identifier: MIT
// The Easy page: ten read-only blocks (31 60 k) that together carry every user function.
#include "CameraModel.h"

namespace r8::sim {

namespace {
constexpr int kEasyBlocks = 10;
} // namespace

CameraModel::Reply CameraModel::EasyPage(const Payload& p) {
    if (p[0] != 0x31) return Answer(p, kUnknownCommand);
    const int k = p[2];
    if (k >= kEasyBlocks) return Answer(p, kBadParameter);
    Answer a(p);
    if (k <= 3) { // title block k in A4..A13, then two more values
        for (int i = 0; i < 5; ++i)
            a.Word(4 + 2 * i, title_[5 * k + i]);
        switch (k) {
        case 0:
            a.Word(14, registers_[eep::kResolutionWord]);
            break;
        case 1:
            a.Word(14, registers_[eep::kTvWord]);
            break;
        case 2:
            a.A(14, Get(Setting::VRev)).A(15, Get(Setting::HRev));
            break;
        default:
            a.A(14, Get(Setting::TitlePos)).A(15, Get(Setting::Blc));
            break;
        }
        return a;
    }
    switch (k) {
    case 4: {
        auto rows = BlcRows();
        for (int r = 0; r < 6; ++r)
            a.A(4 + r, rows[r]);
        return a.A(10, Get(Setting::WbMode))
            .A(11, Get(Setting::AtwLevel))
            .A(12, Get(Setting::AwbLevel))
            .A(13, Get(Setting::RGain))
            .A(14, Get(Setting::BGain))
            .A(15, awbSteps_ > 0 ? 1 : 0);
    }
    case 5:
        return a.A(4, Get(Setting::Sync))
            .Word(5, kPhaseMax)
            .Word(7, kPhaseMin)
            .Word(9, Get(Setting::Phase))
            .A(11, Get(Setting::BlcSens))
            .A(12, Get(Setting::Agc))
            .A(13, Get(Setting::Sens))
            .A(14, Get(Setting::Freeze))
            .A(15, Get(Setting::Initial));
    case 6:
        return a.A(4, Get(Setting::Peak))
            .A(5, Get(Setting::PeakLevel))
            .A(6, Get(Setting::Alc))
            .A(7, Get(Setting::AlcAuto))
            .A(8, Get(Setting::AlcFix))
            .A(9, Get(Setting::Aes))
            .A(10, Get(Setting::AesAuto))
            .A(11, Get(Setting::AesFix))
            .A(12, Get(Setting::HGain))
            .A(13, Get(Setting::VGain))
            .A(14, Get(Setting::AlarmNo))
            .A(15, Get(Setting::DigitalZoom));
    case 7:
        return a.Word(4, lens_.zoomTarget)
            .Word(6, lens_.zoomCurrent)
            .Word(8, FocusMax())
            .Word(10, FocusMin())
            .Word(12, lens_.focusTarget)
            .Word(14, lens_.focusCurrent);
    case 8:
        return a.A(4, Get(Setting::AutoFocus))
            .A(5, Get(Setting::ZoomSpeed))
            .A(6, Get(Setting::FocusSpeed))
            .A(7, Get(Setting::PositionNo))
            .A(8, Get(Setting::Preset))
            .A(9, Get(Setting::PushSw))
            .A(10, Get(Setting::FieldFrame))
            .A(11, Get(Setting::PosiNega))
            .A(12, Get(Setting::Priority));
    default: {
        a.A(4, Get(Setting::Mark));
        auto limits = MarkLimits();
        for (int i = 0; i < 6; ++i)
            a.A(5 + i, limits[i]);
        return a.A(11, Get(Setting::Gamma));
    }
    }
}

} // namespace r8::sim
