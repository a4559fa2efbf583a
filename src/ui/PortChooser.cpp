// SPDX-License-Identifier: MIT
#include "PortChooser.h"

#include "widgets/Controls.h"

#include "NetAddress.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSocketNotifier>
#include <QVBoxLayout>

namespace r8::ui {

namespace {

constexpr int kPathRole = Qt::UserRole;

} // namespace

PortChooser::PortChooser(std::string remembered, std::string current, QWidget* parent)
    : QDialog(parent), remembered_(std::move(remembered)), current_(std::move(current)) {
    setObjectName("PortChooser");
    setWindowTitle("Port");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Serial ports (the list follows adapters plugged in and out):"));
    List = new QListWidget;
    List->setObjectName("PortList");
    List->setMinimumSize(680, 200);
    layout->addWidget(List);
    layout->addWidget(new QLabel("Or a network port (socket://HOST:PORT, rfc2217://HOST:PORT):"));
    NetEdit = new QLineEdit;
    NetEdit->setObjectName("NetEdit");
    NetEdit->setPlaceholderText("socket://192.168.1.20:4001");
    layout->addWidget(NetEdit);
    Hint = new QLabel;
    Hint->setObjectName("Hint");
    Hint->setWordWrap(true);
    layout->addWidget(Hint);
    auto* buttons = new QDialogButtonBox;
    ConnectButton = buttons->addButton("Connect", QDialogButtonBox::AcceptRole);
    ConnectButton->setObjectName("ConnectButton");
    CancelButton = buttons->addButton("Cancel", QDialogButtonBox::RejectRole);
    CancelButton->setObjectName("CancelButton");
    layout->addWidget(buttons);
    connect(ConnectButton, &QPushButton::clicked, this, [this] { ConnectClick(); });
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(List, &QListWidget::currentRowChanged, this, [this] { updateButton(); });
    connect(List, &QListWidget::itemDoubleClicked, this, [this] { ConnectClick(); });
    connect(NetEdit, &QLineEdit::textChanged, this, [this] {
        if (!NetEdit->text().isEmpty()) List->setCurrentRow(-1);
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
        List->currentItem() ? List->currentItem()->data(kPathRole).toString() : Q(current_);
    List->clear();
    for (const PortCandidate& c : ListPortCandidates(remembered_)) {
        // The name to open on the first line; the device it stands for and its adapter below.
        std::string text = c.path;
        if (c.remembered) text += "  [last used]";
        if (c.path == current_ || c.device == current_) text += "  [in use]";
        std::string more = c.device != c.path ? c.device : "";
        if (c.usb.Known()) more += (more.empty() ? "" : "  ") + c.usb.Text();
        if (!more.empty()) text += "\n      " + more;
        auto* item = new QListWidgetItem(Q(text), List);
        item->setData(kPathRole, Q(c.path));
        if (NetEdit->text().isEmpty() && (Q(c.path) == was || Q(c.device) == was))
            List->setCurrentItem(item);
    }
    if (List->count() == 0)
        Hint->setText("No serial port found: no /dev/ttyUSB*, /dev/ttyACM* or /dev/serial/by-id "
                      "device, no /dev/ttyS0 or /dev/ttyS1. Plug the adapter in; the list "
                      "follows.");
    updateButton();
}

std::string PortChooser::Chosen() const {
    const std::string typed = NetEdit->text().trimmed().toStdString();
    if (!typed.empty()) return ParseNetAddress(typed) ? typed : std::string();
    const QListWidgetItem* item = List->currentItem();
    return item ? item->data(kPathRole).toString().toStdString() : std::string();
}

void PortChooser::updateButton() {
    const std::string typed = NetEdit->text().trimmed().toStdString();
    ConnectButton->setEnabled(!Chosen().empty());
    if (!typed.empty() && Chosen().empty())
        Hint->setText("Not a network port: write socket://HOST:PORT or rfc2217://HOST:PORT.");
    else if (List->count() > 0)
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
