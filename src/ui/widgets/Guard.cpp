// SPDX-License-Identifier: MIT
// Guarded handler calls and the exception report.
#include "Controls.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <QtGlobal>

#include <stdexcept>
#include <string>
#include <utility>

namespace r8::ui {
namespace {

void defaultReport(const std::exception& e) {
    Messages().Show(QString::fromUtf8(e.what()), QCoreApplication::applicationName(), MbOk);
}

std::function<void(const std::exception&)>& reporter() {
    static std::function<void(const std::exception&)> r = defaultReport;
    return r;
}

} // namespace

void SetExceptionReporter(std::function<void(const std::exception&)> r) {
    reporter() = r ? std::move(r) : defaultReport;
}

void ReportException(const std::exception& e) {
    // Reports are shown on the GUI thread; from elsewhere only the text travels there.
    auto* app = QCoreApplication::instance();
    if (app && QThread::currentThread() != app->thread()) {
        QMetaObject::invokeMethod(
            app, [text = std::string(e.what())] { ReportException(std::runtime_error(text)); },
            Qt::QueuedConnection);
        return;
    }
    try {
        reporter()(e);
    } catch (const std::exception& inner) {
        // Nothing is left to show a failing report with; it must not reach the event loop.
        qWarning("exception report failed: %s (reporting: %s)", inner.what(), e.what());
    } catch (...) {
        qWarning("exception report failed (reporting: %s)", e.what());
    }
}

void RunGuarded(const Handler& fn) {
    if (!fn) return;
    // A copy keeps the callable alive when the handler replaces itself.
    const Handler call = fn;
    try {
        call();
    } catch (const std::exception& e) {
        ReportException(e);
    } catch (...) {
        ReportException(std::runtime_error("Unknown exception"));
    }
}

} // namespace r8::ui
