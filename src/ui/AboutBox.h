// SPDX-License-Identifier: MIT
#pragma once
// Help > About: the program's version and licence, the port in use and what the camera has
// reported of itself.
#include "CameraState.h"

#include <string>

class QWidget;

namespace r8::ui {

struct AboutFacts {
    std::string version;
    std::string port; // the device or network port in use
    bool connected = false;
    CameraState camera; // its picture geometry says what the camera reported
};

// The box's text as lines, without markup.
std::string AboutText(const AboutFacts& facts);
// Opens the box over parent, window-modal, without waiting for it to close.
void ShowAbout(QWidget* parent, const AboutFacts& facts);

} // namespace r8::ui
