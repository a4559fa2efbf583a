// SPDX-License-Identifier: MIT
// r8v5mc: adjustment and service tool for the R8V5MC camera.
#include "Comm.h"
#include "MainWindow.h"
#include "SideWindows.h"
#include "SimPeer.h"
#include "WindowArgs.h"
#include "widgets/Controls.h"

#include <QApplication>
#include <QIcon>
#include <QSocketNotifier>

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <vector>

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

// Only the tool's own messages belong on stderr. Qt's debug and info output goes, and so do
// its notices about the environment that change nothing for the operator (no runtime
// directory, a window system that cannot take a size hint); its other warnings and errors stay.
QtMessageHandler qtDefaultHandler = nullptr;

// While the window system is being reached, its failure would be Qt's fatal message and an
// abort with a core dump; instead the program says what is missing and ends with status 2.
// Qt's notices on the way there are kept back for that message.
bool startingWindowSystem = false;
QString windowSystemNotice;

void NoWindow(const char* cause) {
    std::fprintf(stderr,
                 "r8v5mc: cannot open the window: %s\n"
                 "r8v5mc: the window needs a graphical session (or -platform offscreen)\n",
                 cause);
}

void QuietQtMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtDebugMsg || type == QtInfoMsg) return;
    if (startingWindowSystem) {
        if (type != QtFatalMsg) {
            if (windowSystemNotice.isEmpty()) windowSystemNotice = text.trimmed();
            return;
        }
        const QString cause =
            windowSystemNotice.isEmpty() ? text.section('\n', 0, 0).trimmed() : windowSystemNotice;
        NoWindow(cause.toLocal8Bit().constData());
        _exit(2);
    }
    if (type == QtWarningMsg && (text.startsWith("QStandardPaths: ") ||
                                 text.contains("does not support propagateSizeHints")))
        return;
    qtDefaultHandler(type, context, text);
}

// Why the default window system cannot be reached, before Qt tries it (empty when nothing is
// known to be missing): no display named for X11 or Wayland and no other platform asked for.
std::string MissingDisplay(const r8::ui::WindowArgs& args) {
    auto set = [](const char* name) {
        const char* v = std::getenv(name);
        return v && *v;
    };
    if (!args.platform.empty() || set("QT_QPA_PLATFORM")) return {};
    if (set("DISPLAY") || set("WAYLAND_DISPLAY")) return {};
    return "no display (neither DISPLAY nor WAYLAND_DISPLAY is set)";
}

QIcon WindowIcon() {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QString(":/icons/%1x%1/r8v5mc.png").arg(size), QSize(size, size));
    return icon;
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
    const r8::ui::WindowArgs args =
        r8::ui::ParseWindowArgs(std::vector<std::string>(argv + 1, argv + argc));
    if (args.help) {
        std::fputs(r8::ui::WindowUsage("r8v5mc", args.helpAll).c_str(), stdout);
        return 0;
    }
    if (args.version) {
        std::printf("r8v5mc %s\n", R8_VERSION);
        return 0;
    }
    if (!args.error.empty()) {
        std::fprintf(stderr, "r8v5mc: %s\nTry 'r8v5mc --help'.\n", args.error.c_str());
        return 2;
    }
    if (const std::string missing = MissingDisplay(args); !missing.empty()) {
        NoWindow(missing.c_str());
        return 2;
    }
    const int signalFd = BlockTerminationSignals();

    startingWindowSystem = true;
    Application app(argc, argv);
    startingWindowSystem = false;
    QApplication::setApplicationName("R8V5MC");
    QApplication::setApplicationVersion(R8_VERSION);
    QGuiApplication::setDesktopFileName("r8v5mc");
    QApplication::setWindowIcon(WindowIcon());

    if (args.com1) r8::SetPortPath(1, *args.com1);
    if (args.com2) r8::SetPortPath(2, *args.com2);

    // Declared before the window, so that the trace file outlives the session tracing into it.
    std::unique_ptr<std::FILE, CloseFile> traceFile;
    if (args.traceFile) {
        const std::string& path = *args.traceFile;
        traceFile.reset(std::fopen(path.c_str(), "w"));
        if (!traceFile) {
            std::fprintf(stderr, "r8v5mc: %s: cannot write the trace: %s\n", path.c_str(),
                         std::strerror(errno));
            return 2;
        }
    }

    std::unique_ptr<r8::sim::CameraSim> camera;
    if (args.simulate) {
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
    // Without a port named, every serial port is searched; the port the camera answers on is
    // tried first next time.
    if (!args.simulate) {
        FR8V2.RememberPort(true);
        if (!args.com1 && !args.com2) FR8V2.SearchAllPorts();
    }
    if (args.trace) FR8V2.Traffic().AddSink(r8::Trace::ToStream(stderr));
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
