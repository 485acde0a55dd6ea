#include "Timer.h"

#include <QPointer>

namespace zr::ui {

Timer::Timer(QObject* parent) : QObject(parent) {
    // The player's clock counts ticks as seconds; a coarse timer may drift by 5 %.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &Timer::OnTimeout);
}

void Timer::SetInterval(int milliseconds) {
    m_interval = milliseconds < 0 ? 0 : milliseconds;
    Restart();
}

void Timer::SetEnabled(bool enabled) {
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    Restart();
}

void Timer::Restart() {
    m_timer.stop();
    if (m_enabled && m_interval > 0)
        m_timer.start(m_interval);
}

void Timer::OnTimeout() {
    if (m_inTick)
        return;
    m_inTick = true;
    QPointer<Timer> self(this);
    emit Tick();
    if (!self.isNull()) // a handler may have destroyed the timer's owner
        m_inTick = false;
}

} // namespace zr::ui
