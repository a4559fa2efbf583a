// SPDX-License-Identifier: MIT
#include "QtEventLoop.h"

#include "widgets/Controls.h"

#include <QPointer>
#include <QSocketNotifier>

namespace r8::ui {

namespace {

class QtLoopTimer : public LoopTimer {
public:
    QtLoopTimer(QObject* owner, int intervalMs, std::function<void()> onTick)
        : timer_(new Timer(owner, intervalMs, false)) {
        timer_->OnTimer = std::move(onTick);
    }
    ~QtLoopTimer() override { delete timer_.data(); }
    void SetEnabled(bool on) override {
        if (timer_) timer_->SetEnabled(on);
    }
    bool Enabled() const override { return timer_ && timer_->Enabled(); }
    int Interval() const override { return timer_ ? timer_->Interval() : 0; }

private:
    QPointer<Timer> timer_;
};

} // namespace

std::unique_ptr<LoopTimer> QtEventLoop::MakeTimer(int intervalMs, std::function<void()> onTick) {
    return std::make_unique<QtLoopTimer>(owner_, intervalMs, std::move(onTick));
}

void QtEventLoop::Post(std::function<void()> fn) {
    QMetaObject::invokeMethod(
        owner_, [fn = std::move(fn)] { RunGuarded(fn); }, Qt::QueuedConnection);
}

void QtEventLoop::Watch(int fd, std::function<void()> onReadable) {
    auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, owner_);
    QObject::connect(notifier, &QSocketNotifier::activated, owner_,
                     [fn = std::move(onReadable)] { RunGuarded(fn); });
}

} // namespace r8::ui
