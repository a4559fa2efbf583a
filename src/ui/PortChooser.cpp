// SPDX-License-Identifier: MIT
#include "PortChooser.h"

#include "widgets/Controls.h"

#include "NetAddress.h"

#include <QPushButton>
#include <QSocketNotifier>

namespace r8::ui {

namespace {

constexpr int kPathRole = Qt::UserRole;

} // namespace

PortChooser::PortChooser(std::string remembered, std::string current, QWidget* parent)
    : QDialog(parent), remembered_(std::move(remembered)), current_(std::move(current)) {
    setObjectName("PortChooser");
    setupUi(this);
    ConnectButton = Buttons->addButton("Connect", QDialogButtonBox::AcceptRole);
    ConnectButton->setObjectName("ConnectButton");
    CancelButton = Buttons->addButton("Cancel", QDialogButtonBox::RejectRole);
    CancelButton->setObjectName("CancelButton");
    connect(ConnectButton, &QPushButton::clicked, this, [this] { ConnectClick(); });
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(PortList, &QListWidget::currentRowChanged, this, [this] { updateButton(); });
    connect(PortList, &QListWidget::itemDoubleClicked, this, [this] { ConnectClick(); });
    connect(NetEdit, &QLineEdit::textChanged, this, [this] {
        if (!NetEdit->text().isEmpty()) PortList->setCurrentRow(-1);
        updateButton();
    });

    watch_ = std::make_unique<CandidateWatch>();
    if (watch_->Fd() >= 0) {
        notifier_ = new QSocketNotifier(watch_->Fd(), QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, [this] {
            if (watch_->Changed()) Refresh();
        });
    }
    Refresh();
}

PortChooser::~PortChooser() = default;

void PortChooser::Refresh() {
    const QString was =
        PortList->currentItem() ? PortList->currentItem()->data(kPathRole).toString() : Q(current_);
    PortList->clear();
    for (const PortCandidate& c : ListPortCandidates(remembered_)) {
        // The name to open on the first line; the device it stands for and its adapter below.
        std::string text = c.path;
        if (c.remembered) text += "  [last used]";
        if (c.path == current_ || c.device == current_) text += "  [in use]";
        std::string more = c.device != c.path ? c.device : "";
        if (c.usb.Known()) more += (more.empty() ? "" : "  ") + c.usb.Text();
        if (!more.empty()) text += "\n      " + more;
        auto* item = new QListWidgetItem(Q(text), PortList);
        item->setData(kPathRole, Q(c.path));
        if (NetEdit->text().isEmpty() && (Q(c.path) == was || Q(c.device) == was))
            PortList->setCurrentItem(item);
    }
    if (PortList->count() == 0)
        Hint->setText("No serial port found: no /dev/ttyUSB*, /dev/ttyACM* or /dev/serial/by-id "
                      "device, no /dev/ttyS0 or /dev/ttyS1. Plug the adapter in; the list "
                      "follows.");
    updateButton();
}

std::string PortChooser::Chosen() const {
    const std::string typed = NetEdit->text().trimmed().toStdString();
    if (!typed.empty()) return ParseNetAddress(typed) ? typed : std::string();
    const QListWidgetItem* item = PortList->currentItem();
    return item ? item->data(kPathRole).toString().toStdString() : std::string();
}

void PortChooser::updateButton() {
    const std::string typed = NetEdit->text().trimmed().toStdString();
    ConnectButton->setEnabled(!Chosen().empty());
    if (!typed.empty() && Chosen().empty())
        Hint->setText("Not a network port: write socket://HOST:PORT or rfc2217://HOST:PORT.");
    else if (PortList->count() > 0)
        Hint->setText("The camera is searched on these ports in this order when the program "
                      "starts without --com1.");
}

void PortChooser::ConnectClick() {
    const std::string chosen = Chosen();
    if (chosen.empty()) return;
    accept();
    if (OnChosen) OnChosen(chosen);
}

} // namespace r8::ui
