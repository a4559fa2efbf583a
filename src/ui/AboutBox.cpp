// SPDX-License-Identifier: MIT
#include "AboutBox.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>

namespace r8::ui {

std::string AboutText(const AboutFacts& f) {
    std::string text = "R8V5MC Camera Adjust Tool " + f.version + "\n";
    text += "Adjustment and service tool for the R8V5MC CCD colour camera.\n\n";
    text += "Port: " + (f.port.empty() ? std::string("none") : f.port) + "\n";
    text += std::string("Camera: ") + (f.connected ? "connected" : "not connected") + "\n";
    // The geometry stays at 1 until the camera has reported it.
    const CameraState& c = f.camera;
    if (c.ImageHeight != 1)
        text += std::string("TV system: ") + (c.TvIsNtsc ? "NTSC" : "PAL") + "\n";
    if (c.ImageWidth != 1)
        text += std::string("Resolution: ") +
                (c.ImageWidth == 800 ? "Hi-Resolution" : "Lo-Resolution") + "\n";
    text += "\nCopyright (c) 2026 The r8v5mc developers.\n"
            "Free software under the MIT licence: you may use, copy, modify and "
            "distribute it; it comes without any warranty.\n";
    return text;
}

void ShowAbout(QWidget* parent, const AboutFacts& facts) {
    auto* box = new QMessageBox(parent);
    box->setObjectName("AboutBox");
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowTitle("About R8V5MC");
    box->setText(QString::fromStdString(AboutText(facts)));
    box->setIconPixmap(QApplication::windowIcon().pixmap(64, 64));
    // The licence's whole text, which the program carries as a resource.
    QFile licence(":/LICENSE");
    if (licence.open(QIODevice::ReadOnly))
        box->setDetailedText(QString::fromUtf8(licence.readAll()));
    box->setStandardButtons(QMessageBox::Ok);
    box->setWindowModality(Qt::WindowModal);
    box->open();
}

} // namespace r8::ui
