// SPDX-License-Identifier: MIT
// The motorised lens: zoom and focus targets that the lens follows one step per read, the focus
// range that depends on the zoom, auto focus, the stored positions and the lens adjustment.
#include "CameraModel.h"

#include <algorithm>

namespace r8::sim {

namespace {
constexpr uint8_t kWrite = 0x21;
constexpr int kFocusSpan = 0x0600;

uint16_t Toward(uint16_t current, uint16_t target, int step) {
    if (current < target) return static_cast<uint16_t>(std::min<int>(current + step, target));
    return static_cast<uint16_t>(std::max<int>(current - step, target));
}
} // namespace

uint16_t CameraModel::ZoomMax() const {
    return Get(Setting::DigitalZoom) ? kZoomMaxDigital : kZoomMaxOptical;
}

uint16_t CameraModel::FocusMin() const {
    return static_cast<uint16_t>(0x0200 + (lens_.zoomCurrent - kZoomMin) / 8);
}

uint16_t CameraModel::FocusMax() const {
    return static_cast<uint16_t>(FocusMin() + kFocusSpan);
}

// Where the picture is sharp at the present zoom.
uint16_t CameraModel::FocusSharp() const {
    return static_cast<uint16_t>(FocusMin() + kFocusSpan * 5 / 8);
}

void CameraModel::ClampLens() {
    lens_.zoomTarget = std::clamp<uint16_t>(lens_.zoomTarget, kZoomMin, ZoomMax());
    lens_.zoomCurrent = std::clamp<uint16_t>(lens_.zoomCurrent, kZoomMin, kZoomMaxDigital);
    if (Get(Setting::AutoFocus)) lens_.focusTarget = FocusSharp();
    lens_.focusTarget = std::clamp(lens_.focusTarget, FocusMin(), FocusMax());
    lens_.focusCurrent = std::clamp(lens_.focusCurrent, FocusMin(), FocusMax());
}

void CameraModel::StepZoom() {
    lens_.zoomCurrent =
        Toward(lens_.zoomCurrent, lens_.zoomTarget, 0x80 << Get(Setting::ZoomSpeed));
    ClampLens();
}

// A one-push search first runs the focus to the near end, then to the sharp point.
void CameraModel::StepFocus() {
    const int step = 0x20 << Get(Setting::FocusSpeed);
    if (afSearching_) {
        lens_.focusCurrent = Toward(lens_.focusCurrent, FocusMin(), step);
        afSearching_ = lens_.focusCurrent != FocusMin();
        return;
    }
    lens_.focusCurrent = Toward(lens_.focusCurrent, lens_.focusTarget, step);
}

Payload CameraModel::ZoomAnswer(const Payload& p) const {
    return Answer(p)
        .Word(4, lens_.zoomTarget)
        .Word(6, lens_.zoomCurrent)
        .Word(8, FocusMax())
        .Word(10, FocusMin());
}

Payload CameraModel::FocusAnswer(const Payload& p) const {
    return Answer(p).Word(4, lens_.focusTarget).Word(6, lens_.focusCurrent);
}

// Items 0 zoom and 1 focus (target and current), 3 one-push auto focus, 4 lens adjustment;
// items 2, 5, 6, 7 are plain settings.
CameraModel::Reply CameraModel::LensCommand(const Payload& p) {
    const bool write = p[0] == kWrite;
    switch (p[2]) {
    case 0x00:
        if (write) {
            lens_.zoomTarget = static_cast<uint16_t>(WordAt(p, 4));
            ClampLens();
        } else {
            StepZoom();
        }
        return ZoomAnswer(p);
    case 0x01:
        if (write) {
            lens_.focusTarget = static_cast<uint16_t>(WordAt(p, 4));
            afSearching_ = false;
            ClampLens();
        } else {
            StepFocus();
        }
        return FocusAnswer(p);
    case 0x03:
        // The answer comes at once; the focus reads show the search until it ends sharp.
        if (!write) return Answer(p, kBadParameter);
        lens_.focusTarget = FocusSharp();
        afSearching_ = true;
        return Answer(p);
    case 0x04:
        if (!write) return Answer(p).A(4, lensAdjusting_ ? 0 : 1);
        if (p[3] > 1) return Answer(p, kBadParameter);
        if (p[3] == 0) {
            lensAdjusting_ = true;
            lensAdjustSteps_ = lensAdjustZeros_;
        }
        return Answer(p).A(4, LensAdjustAnswer());
    default:
        return Answer(p, kBadParameter);
    }
}

// A start or a continuation of the lens adjustment: 0 while it goes on, 1 once it is done. The
// camera answers 0 lensAdjustZeros_ times in all, then calibrates and answers 1.
uint8_t CameraModel::LensAdjustAnswer() {
    if (lensAdjustSteps_ > 0) {
        --lensAdjustSteps_;
        return 0;
    }
    if (lensAdjusting_) {
        // Calibrated: the lens has run to its wide end.
        lensAdjusting_ = false;
        lens_.zoomTarget = lens_.zoomCurrent = kZoomMin;
        ClampLens();
        lens_.focusTarget = lens_.focusCurrent = FocusSharp();
        afSearching_ = false;
    }
    return 1;
}

void CameraModel::SetLensAdjustZeros(int n) {
    lensAdjustZeros_ = std::max(n, 0);
}

CameraModel::Reply CameraModel::LensAdjustStep(const Payload& p) {
    if (p[0] != kWrite) return Answer(p, kUnknownCommand);
    return Answer(p).A(4, lensAdjusting_ ? 0 : 1);
}

// Item 1: read P4 = position number recalls that position, write stores the present targets.
CameraModel::Reply CameraModel::Position(const Payload& p) {
    if (p[2] != 0x01) return Answer(p, kBadParameter);
    const int n = p[3];
    if (n < 1 || n > eep::kPositionCount) return Answer(p, kBadParameter);
    const size_t at = eep::kPositions + 2 * static_cast<size_t>(n - 1);
    if (p[0] == kWrite) {
        eeprom_[at] = lens_.zoomTarget;
        eeprom_[at + 1] = lens_.focusTarget;
    } else {
        lens_.zoomTarget = eeprom_[at];
        lens_.focusTarget = eeprom_[at + 1];
        afSearching_ = false;
        ClampLens();
    }
    Set(Setting::PositionNo, n);
    return Answer(p).A(4, n);
}

} // namespace r8::sim
