// SPDX-License-Identifier: MIT
// Correction of up to three defective CCD pixels (A, B, C): positions, switches, the camera's
// own measurement, the automatic and three-point searches, and save / cancel.
#include "CameraModel.h"

#include <algorithm>

namespace r8::sim {

namespace {
constexpr uint8_t kWrite = 0x21;
constexpr uint16_t kEvenPeak = 0x0090, kOddPeak = 0x008C;

struct Spot {
    int x, y;
};

// Where the sensor's three defects appear in the camera's measurement, for a frame of w x h.
Spot SpotA(int w, int h) {
    return {w * 42 / 100 + 22, h * 31 / 100};
}
Spot SpotB(int w, int h) {
    return {w * 3 / 4, h * 2 / 3};
}
Spot SpotC(int w, int h) {
    return {w / 5, h / 4};
}

// The correction position for a measured spot, with the search offsets of the command.
Spot Corrected(Spot measured, uint8_t dx, uint8_t dy) {
    return {std::clamp(measured.x + static_cast<int8_t>(dx), 0, 0x3FF),
            std::clamp(measured.y + 1 + static_cast<int8_t>(dy), 0, 0x1FF)};
}
} // namespace

std::array<uint16_t, 6> CameraModel::DefectMeasurement() const {
    Spot a = SpotA(ImageWidth(), ImageHeight());
    return {static_cast<uint16_t>(a.x), static_cast<uint16_t>(a.y),     kEvenPeak,
            static_cast<uint16_t>(a.x), static_cast<uint16_t>(a.y + 1), kOddPeak};
}

Payload CameraModel::DefectPageA(const Payload& p) const {
    return Answer(p)
        .A(4, Get(Setting::KizuAOn))
        .Word(5, Get(Setting::KizuAX))
        .Word(7, Get(Setting::KizuAY));
}

Payload CameraModel::DefectPageBc(const Payload& p) const {
    return Answer(p)
        .A(4, Get(Setting::KizuBcOn))
        .Word(5, Get(Setting::KizuBX))
        .Word(7, Get(Setting::KizuBY))
        .Word(9, Get(Setting::KizuCX))
        .Word(11, Get(Setting::KizuCY));
}

Payload CameraModel::DefectParameters(const Payload& p) const {
    return Answer(p)
        .A(4, Get(Setting::AdjustSet))
        .A(5, Get(Setting::KfChange))
        .A(6, Get(Setting::VRev))
        .A(7, Get(Setting::KfFix))
        .A(8, Get(Setting::KfRev))
        .A(9, Get(Setting::SensKf));
}

CameraModel::Reply CameraModel::Defect(const Payload& p) {
    const bool write = p[0] == kWrite;
    const int w = ImageWidth(), h = ImageHeight();
    switch (p[2]) {
    case 0x00:
        return DefectPageA(p);
    case 0x01:
        if (!write) return DefectPageBc(p);
        if (p[3] == 0x02) { // position of defect A
            if (WordAt(p, 5) > 0x3FF || WordAt(p, 7) > 0x1FF) return Answer(p, kBadParameter);
            Set(Setting::KizuAX, WordAt(p, 5));
            Set(Setting::KizuAY, WordAt(p, 7));
            return Answer(p).A(4, 2).Word(5, Get(Setting::KizuAX)).Word(7, Get(Setting::KizuAY));
        }
        if (p[3] > 1) return Answer(p, kBadParameter);
        if (p[3] == 1)
            Set(Setting::KizuCursor, 1);
        else if (Get(Setting::KizuCursor) == 1)
            Set(Setting::KizuCursor, 0);
        return Answer(p).A(4, p[3]);
    case 0x02:
        if (write) return Answer(p); // save, first step
        {
            Answer a(p);
            auto m = DefectMeasurement();
            for (int i = 0; i < 6; ++i)
                a.Word(4 + 2 * i, m[i]);
            return a;
        }
    case 0x03:
    case 0x15:
        if (!write) return Answer(p, kBadParameter);
        if (p[2] == 0x15) StoreSettings(SettingGroup::Defect);
        return Answer(p);
    case 0x16:
        if (!write) return Answer(p, kBadParameter);
        RestoreSettings(SettingGroup::Defect);
        return Answer(p);
    case 0x06:
        if (write && !SetChecked(Setting::SensKf, p[3])) return Answer(p, kBadParameter);
        return DefectParameters(p);
    case 0x09: {
        if (!write) return Answer(p).A(4, Get(Setting::KizuCursor));
        Spot a = Corrected(SpotA(w, h), p[3], p[4]);
        Set(Setting::KizuAX, a.x);
        Set(Setting::KizuAY, a.y);
        Set(Setting::KizuAOn, std::min(kEvenPeak, kOddPeak) >= p[5] ? 1 : 0);
        return Answer(p)
            .A(4, p[3])
            .A(5, p[4])
            .A(6, p[5])
            .Word(7, a.x)
            .Word(9, a.y)
            .A(11, Get(Setting::KizuAOn))
            .A(12, Get(Setting::KfFix))
            .A(13, Get(Setting::KfRev));
    }
    case 0x0A: {
        if (!write) return Answer(p, kBadParameter);
        Spot b = Corrected(SpotB(w, h), p[3], p[4]);
        Spot c = Corrected(SpotC(w, h), p[3], p[4]);
        Set(Setting::KizuBX, b.x);
        Set(Setting::KizuBY, b.y);
        Set(Setting::KizuCX, c.x);
        Set(Setting::KizuCY, c.y);
        Set(Setting::KizuBcOn, 1);
        return Answer(p)
            .A(4, p[3])
            .A(5, p[4])
            .A(6, p[5])
            .Word(7, b.x)
            .Word(9, b.y)
            .Word(11, c.x)
            .Word(13, c.y)
            .A(15, 1);
    }
    case 0x12: { // position of defect B (P4 = 0) or C (P4 = 1)
        if (!write || p[3] > 1) return Answer(p, kBadParameter);
        if (WordAt(p, 5) > 0x3FF || WordAt(p, 7) > 0x1FF) return Answer(p, kBadParameter);
        const bool c = p[3] == 1;
        Set(c ? Setting::KizuCX : Setting::KizuBX, WordAt(p, 5));
        Set(c ? Setting::KizuCY : Setting::KizuBY, WordAt(p, 7));
        return Answer(p)
            .A(4, p[3])
            .Word(5, Get(c ? Setting::KizuCX : Setting::KizuBX))
            .Word(7, Get(c ? Setting::KizuCY : Setting::KizuBY));
    }
    case 0x13: { // cursor display of B or C: P4 on, P5 = 0 B, 1 C
        if (!write || p[3] > 1 || p[4] > 1) return Answer(p, kBadParameter);
        const int which = 2 + p[4];
        if (p[3] == 1)
            Set(Setting::KizuCursor, which);
        else if (Get(Setting::KizuCursor) == which)
            Set(Setting::KizuCursor, 0);
        return Answer(p).A(4, p[3]).A(5, p[4]);
    }
    default:
        return Answer(p, kBadParameter);
    }
}

} // namespace r8::sim
