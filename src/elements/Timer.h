#pragma once
// A timer on the user-interface thread. Ticks run between other events, never nested in a
// running tick (a tick that falls due while a handler of this timer still runs, e.g. inside
// DoEvents, is dropped). The first tick comes one interval after enabling.

#include <QObject>
#include <QTimer>

namespace zr::ui {

class Timer : public QObject {
    Q_OBJECT
public:
    // Starts disabled with interval 0 (which never ticks).
    explicit Timer(QObject* parent = nullptr);

    // Milliseconds. Changing it while enabled restarts the wait; 0 stops ticking.
    void SetInterval(int milliseconds);
    [[nodiscard]] int Interval() const { return interval_; }

    // Enabling a disabled timer starts a full interval; enabling an enabled one changes nothing.
    void SetEnabled(bool enabled);
    [[nodiscard]] bool Enabled() const { return enabled_; }

signals:
    void Tick();

private:
    void Restart();
    void OnTimeout();

    QTimer timer_;
    int interval_ = 0;
    bool enabled_ = false;
    bool inTick_ = false;
};

} // namespace zr::ui
