#include "Timer.h"

#include <QPointer>

namespace zr::ui {

Timer::Timer(QObject* parent) : QObject(parent) {
    // The player's clock counts ticks as seconds; a coarse timer may drift by 5 %.
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &Timer::OnTimeout);
}

void Timer::SetInterval(int milliseconds) {
    interval_ = milliseconds < 0 ? 0 : milliseconds;
    Restart();
}

void Timer::SetEnabled(bool enabled) {
    if (enabled == enabled_)
        return;
    enabled_ = enabled;
    Restart();
}

void Timer::Restart() {
    timer_.stop();
    if (enabled_ && interval_ > 0)
        timer_.start(interval_);
}

void Timer::OnTimeout() {
    if (inTick_)
        return;
    inTick_ = true;
    QPointer<Timer> self(this);
    emit Tick();
    if (!self.isNull()) // a handler may have destroyed the timer's owner
        inTick_ = false;
}

} // namespace zr::ui
