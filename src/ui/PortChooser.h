// SPDX-License-Identifier: MIT
#pragma once
// Camera > Port...: the serial ports of this machine where a camera may be, as the search tries
// them, kept up to date while adapters are plugged in and out; and a field for a network port.
// Accepting it hands the chosen port to OnChosen.
#include "PortCandidates.h"
#include "ui_PortChooser.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <string>

class QPushButton;
class QSocketNotifier;

namespace r8::ui {

class PortChooser : public QDialog, public Ui::PortChooserForm {
    Q_OBJECT
public:
    // remembered: the port the camera last answered on; current: the port in use or being tried.
    PortChooser(std::string remembered, std::string current, QWidget* parent = nullptr);
    ~PortChooser() override;

    // Lists the ports again (hot-plug calls it).
    void Refresh();
    // The device picked in the list, or the network port typed; "" when neither is usable.
    std::string Chosen() const;
    // Connect: the chosen port goes to OnChosen and the dialog closes.
    void ConnectClick();
    std::function<void(const std::string&)> OnChosen;

    // The form gives PortList, NetEdit, Hint and the button box Buttons.
    QPushButton* ConnectButton;
    QPushButton* CancelButton;

private:
    void updateButton();
    std::string remembered_, current_;
    std::unique_ptr<CandidateWatch> watch_;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace r8::ui
