// r8v5mc: adjustment and service tool for the R8V5MC camera.
#include "Comm.h"
#include "MainWindow.h"
#include "SideWindows.h"
#include "SimPeer.h"
#include "widgets/Controls.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <exception>
#include <memory>

namespace {

// Backstop: an exception that escapes a handler anywhere is reported and the loop goes on.
class Application : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            r8::ui::ReportException(e);
        }
        return false;
    }
};

} // namespace

int main(int argc, char* argv[]) {
    Application app(argc, argv);
    QApplication::setApplicationName("R8V5MC");
    QApplication::setApplicationVersion(R8_VERSION);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Adjusts and services the R8V5MC CCD colour camera over a serial line.\n"
        "Press Ctrl+Shift+P in the main window to enter the service access code.");
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption com1("com1", "Device of serial port 1 (default /dev/ttyS0).", "PATH");
    const QCommandLineOption com2("com2", "Device of serial port 2 (default /dev/ttyS1).", "PATH");
    const QCommandLineOption simulate(
        "simulate", "Start a simulated camera on a pseudo-terminal and put it on port 1.");
    parser.addOptions({com1, com2, simulate});
    parser.process(app);

    if (parser.isSet(com1)) r8::SetPortPath(1, parser.value(com1).toStdString());
    if (parser.isSet(com2)) r8::SetPortPath(2, parser.value(com2).toStdString());

    std::unique_ptr<r8::sim::CameraSim> camera;
    if (parser.isSet(simulate)) {
        try {
            camera = std::make_unique<r8::sim::CameraSim>();
            camera->Start();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "r8v5mc: cannot start the simulated camera: %s\n", e.what());
            return 2;
        }
        r8::SetPortPath(1, camera->SlavePath());
    }

    r8::ui::TFMR8V2 FMR8V2;
    r8::ui::TFR8V2 FR8V2;
    r8::ui::TFSR8V2 FSR8V2(FR8V2);
    r8::ui::TKizuInfo KizuInfo;
    FR8V2.SetSwitchPanel(&FSR8V2);
    FR8V2.show();
    r8::ui::RunGuarded([&] { FR8V2.FormCreate(); });
    if (FR8V2.Terminated()) return 1;
    return app.exec();
}
