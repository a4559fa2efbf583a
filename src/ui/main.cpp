// r8v5mc: adjustment and service tool for the R8V5MC camera.
#include "Comm.h"
#include "MainWindow.h"
#include "SideWindows.h"
#include "SimPeer.h"
#include "widgets/Controls.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QSocketNotifier>

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
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

// --help and --version answer without a display: they need no window system.
bool AsksForTextOnly(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i)
        for (const char* option : {"--help", "-h", "-?", "--help-all", "--version", "-v"})
            if (std::strcmp(argv[i], option) == 0) return true;
    return false;
}

struct Options {
    QCommandLineOption com1{"com1",
                            "Device of serial port 1 (default /dev/ttyS0), or socket://HOST:PORT "
                            "or rfc2217://HOST:PORT for a serial device server.",
                            "PATH"};
    QCommandLineOption com2{
        "com2", "Device of serial port 2 (default /dev/ttyS1), or a network port.", "PATH"};
    QCommandLineOption simulate{
        "simulate", "Start a simulated camera on a pseudo-terminal and put it on port 1."};
    QCommandLineOption trace{"trace", "Write the traffic on the camera line to stderr: every byte "
                                      "both ways, one line per control byte or frame, with the "
                                      "time to the millisecond (also in Option > Traffic)."};
    QCommandLineOption traceFile{"trace-file", "Write the same traffic trace into FILE.", "FILE"};
};

void Describe(QCommandLineParser& parser, const Options& o) {
    parser.setApplicationDescription(
        "Adjusts and services the R8V5MC CCD colour camera over a serial line.\n"
        "Press Ctrl+Shift+P in the main window to enter the service access code.");
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({o.com1, o.com2, o.simulate, o.trace, o.traceFile});
}

// Only the tool's own messages belong on stderr. Qt's debug and info output goes, and so do
// its notices about the environment that change nothing for the operator (no runtime
// directory, a window system that cannot take a size hint); its other warnings and errors stay.
QtMessageHandler qtDefaultHandler = nullptr;

void QuietQtMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtDebugMsg || type == QtInfoMsg) return;
    if (type == QtWarningMsg && (text.startsWith("QStandardPaths: ") ||
                                 text.contains("does not support propagateSizeHints")))
        return;
    qtDefaultHandler(type, context, text);
}

struct CloseFile {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// SIGINT, SIGTERM and SIGHUP close the main window the normal way (the port is released) and
// the program ends with status 0. The signals are blocked before any thread starts, so every
// thread inherits the mask and only the descriptor sees them.
int BlockTerminationSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    if (pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) return -1;
    return signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
}

} // namespace

int main(int argc, char* argv[]) {
    qtDefaultHandler = qInstallMessageHandler(QuietQtMessages);
    if (AsksForTextOnly(argc, argv)) {
        QCoreApplication text(argc, argv);
        QCoreApplication::setApplicationName("r8v5mc");
        QCoreApplication::setApplicationVersion(R8_VERSION);
        QCommandLineParser parser;
        Describe(parser, Options{});
        parser.process(text); // prints and exits
        return 0;
    }
    const int signalFd = BlockTerminationSignals();

    Application app(argc, argv);
    QApplication::setApplicationName("R8V5MC");
    QApplication::setApplicationVersion(R8_VERSION);

    QCommandLineParser parser;
    const Options o;
    Describe(parser, o);
    parser.process(app);

    if (parser.isSet(o.com1)) r8::SetPortPath(1, parser.value(o.com1).toStdString());
    if (parser.isSet(o.com2)) r8::SetPortPath(2, parser.value(o.com2).toStdString());

    // Declared before the window, so that the trace file outlives the session tracing into it.
    std::unique_ptr<std::FILE, CloseFile> traceFile;
    if (parser.isSet(o.traceFile)) {
        const std::string path = parser.value(o.traceFile).toStdString();
        traceFile.reset(std::fopen(path.c_str(), "w"));
        if (!traceFile) {
            std::fprintf(stderr, "r8v5mc: %s: cannot write the trace: %s\n", path.c_str(),
                         std::strerror(errno));
            return 2;
        }
    }

    std::unique_ptr<r8::sim::CameraSim> camera;
    if (parser.isSet(o.simulate)) {
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
    FR8V2.SetAdjustInfoWindow(&KizuInfo);
    FR8V2.SetMaskPreview(&FMR8V2);
    if (parser.isSet(o.trace)) FR8V2.Traffic().AddSink(r8::Trace::ToStream(stderr));
    if (traceFile) FR8V2.Traffic().AddSink(r8::Trace::ToStream(traceFile.get()));
    // A signal may come while the start-up still runs in a message box's loop (an open error):
    // exit() ends only the loops that run, so the main loop is not entered afterwards.
    bool stopped = false;
    if (signalFd >= 0) {
        auto* notifier = new QSocketNotifier(signalFd, QSocketNotifier::Read, &FR8V2);
        QObject::connect(notifier, &QSocketNotifier::activated, &FR8V2,
                         [&FR8V2, &stopped, signalFd] {
                             signalfd_siginfo info;
                             while (read(signalFd, &info, sizeof info) == sizeof info) {
                             }
                             stopped = true;
                             FR8V2.Quit();
                             QCoreApplication::exit(0);
                         });
    }
    FR8V2.show();
    r8::ui::RunGuarded([&] { FR8V2.FormCreate(); });
    // A signal ends the program with status 0 in every state, also when it came while the
    // search's give-up box was open (the give-up then asks for status 1 on its way out).
    if (stopped) return 0;
    if (FR8V2.Terminated()) return 1;
    const int status = app.exec();
    return stopped ? 0 : status;
}
