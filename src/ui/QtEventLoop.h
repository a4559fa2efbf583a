// SPDX-License-Identifier: MIT
#pragma once
// The session core's event loop on Qt's: our Timer (the toolkit's timer rules), deferred calls
// and socket notifiers. Every callback runs guarded on the window thread.
#include "EventLoop.h"

#include <QObject>

namespace r8::ui {

class QtEventLoop : public EventLoop {
public:
    // Timers and notifiers are children of owner and die with it.
    explicit QtEventLoop(QObject* owner) : owner_(owner) {}

    std::unique_ptr<LoopTimer> MakeTimer(int intervalMs, std::function<void()> onTick) override;
    void Post(std::function<void()> fn) override;
    void Watch(int fd, std::function<void()> onReadable) override;

private:
    QObject* owner_;
};

} // namespace r8::ui
