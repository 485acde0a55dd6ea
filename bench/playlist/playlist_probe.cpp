// Measurements of the player window for run-playlist-bench.sh. One mode per run, so each peak
// memory figure belongs to one measurement:
//   append N              appends N rows to the player's playlist with AppendEntry
//   append-reference N    the same texts as N rows of a stock QTreeWidget (the reference)
//   idle SECONDS          the player window open and stopped: CPU and timer events
//   idle-reference SECONDS  a bare shown QWidget for the same time
//   play FILE SECONDS     the player window playing FILE (a drive-letter path is made from it),
//                         then its position and length captions
// Prints "name value" lines.

#include "Playlist.h"
#include "frmMain.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTimer>
#include <QTreeWidget>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

struct Usage {
    double cpuSeconds;
    long peakKb;
};

Usage Now() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    const double cpu = static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
                       static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    return {cpu, u.ru_maxrss};
}

// Counts the timer events the application delivers.
class TimerCounter : public QObject {
public:
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Timer) {
            ++count;
        }
        return false;
    }
};

void RunFor(double seconds) {
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

QString DriveFolder(const QString& absoluteFolder) {
    QString path = QDir::cleanPath(absoluteFolder);
    path.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return QStringLiteral("C:") + path + QLatin1Char('\\');
}

int Append(int rows, bool reference) {
    const Usage before = Now();
    QElapsedTimer clock;
    std::unique_ptr<zr::ui::frmMain> window;
    std::unique_ptr<QTreeWidget> tree;
    if (reference) {
        tree = std::make_unique<QTreeWidget>();
        tree->setColumnCount(5);
        tree->show();
        clock.start();
        for (int i = 1; i <= rows; ++i) {
            tree->addTopLevelItem(new QTreeWidgetItem( // owned by the tree
                QStringList{QStringLiteral("D:\\Music\\Some Folder\\"), QString::number(i) + ".",
                            QStringLiteral("Some Artist - Some Title.mp3"), QStringLiteral("U")}));
        }
    } else {
        window = std::make_unique<zr::ui::frmMain>();
        window->show();
        clock.start();
        for (int i = 1; i <= rows; ++i) {
            zr::AppendEntry(window->lstFiles, QStringLiteral("D:\\Music\\Some Folder\\"),
                            QStringLiteral("Some Artist - Some Title.mp3"));
        }
    }
    QApplication::processEvents(); // the list lays out and paints what is visible
    const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    const Usage after = Now();
    std::printf("append_ms %.1f\npeak_rss_kb %ld\nrss_growth_kb %ld\n", ms, after.peakKb,
                after.peakKb - before.peakKb);
    return 0;
}

int Idle(double seconds, bool reference) {
    TimerCounter timers;
    std::unique_ptr<zr::ui::frmMain> window;
    std::unique_ptr<QWidget> bare;
    if (reference) {
        bare = std::make_unique<QWidget>();
        bare->resize(378, 460);
        bare->show();
    } else {
        window = std::make_unique<zr::ui::frmMain>();
        window->show();
    }
    RunFor(0.5); // let start-up settle
    qApp->installEventFilter(&timers);
    const Usage before = Now();
    RunFor(seconds);
    const Usage after = Now();
    qApp->removeEventFilter(&timers);
    std::printf("idle_cpu_s %.4f\ntimer_events %d\n", after.cpuSeconds - before.cpuSeconds,
                timers.count - 1); // the one that ends the wait
    if (window) {
        std::printf("timer1_enabled %d\n", window->Timer1.Enabled() ? 1 : 0);
    }
    return 0;
}

// Its CPU is measured from outside (bench/cpuwindow.py), after start-up has settled.
int Play(const QString& file, double seconds) {
    const QFileInfo info(file);
    zr::ui::frmMain window;
    window.show();
    zr::AppendEntry(window.lstFiles, DriveFolder(info.absolutePath()), info.fileName());
    window.lstFiles.ListItems().Item(1).SetSelected(true);
    window.imgControl_Click(1);
    RunFor(seconds);
    std::printf("position %s\nlength %s\n", qPrintable(window.lblPositionA.Caption()),
                qPrintable(window.lblLengthA.Caption()));
    window.imgControl_Click(3);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && (args[1] == "append" || args[1] == "append-reference")) {
        return Append(args[2].toInt(), args[1] == "append-reference");
    }
    if (args.size() == 3 && (args[1] == "idle" || args[1] == "idle-reference")) {
        return Idle(args[2].toDouble(), args[1] == "idle-reference");
    }
    if (args.size() == 4 && args[1] == "play") {
        return Play(args[2], args[3].toDouble());
    }
    std::fprintf(stderr, "usage: playlist_probe append|append-reference N | idle|idle-reference "
                         "SECONDS | play FILE SECONDS\n");
    return 2;
}
