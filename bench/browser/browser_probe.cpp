// Timings of the file browser, each beside a reference run of find(1) over the same folders:
//   browser_probe list DIR     -> listing DIR's .mp3 files into the file list, painted
//                                 vs  find DIR -maxdepth 1 -iname '*.mp3', and vs  ls -l DIR
//   browser_probe expand DIR   -> expanding a node for DIR (its children filled one level ahead;
//                                 DIR itself filled before) vs  find DIR -mindepth 1 -maxdepth 2
//                                 -type d
//   browser_probe open         -> opening the browser on this machine until it is on screen
//                                 vs  find <each ready drive> -mindepth 1 -maxdepth 1 -type d
// Prints one row per measurement for bench/run: name, our median ms, the reference's median ms.
#include "DriveTable.h"
#include "Drives.h"
#include "Form.h"
#include "ListView.h"
#include "TreeView.h"
#include "frmExplore.h"
#include "mFileList.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTreeView>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kRuns = 5;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double TimeMs(const std::function<void()>& work) {
    QElapsedTimer timer;
    timer.start();
    work();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// One run of find with its output read, as a shell would run it.
double FindMs(const QStringList& arguments) {
    return TimeMs([&] {
        QProcess find;
        find.start(QStringLiteral("find"), arguments);
        find.waitForFinished(-1);
        (void)find.readAllStandardOutput();
    });
}

// Until the window is on screen (at most 5 s).
void WaitExposed(QWidget& window) {
    QElapsedTimer waited;
    waited.start();
    while (!(window.windowHandle() && window.windowHandle()->isExposed()) &&
           waited.elapsed() < 5000) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

// One row for bench/run (the format of bench/rows.sh): medians in ms; nothing plays here.
void Report(const char* name, const std::vector<double>& ours, const char* refName,
            const std::vector<double>& ref) {
    std::printf("row\t%s, median of %d (ms)\t-\t%.2f\t%s\t%.2f\n", name, kRuns, Median(ours),
                refName, Median(ref));
}

std::vector<mWinAPI::DriveInfo> DriveD(const QString& folder) {
    mWinAPI::DriveInfo d;
    d.letter = 'D';
    d.rootPath = folder;
    d.volumeName = QStringLiteral("BENCH");
    std::vector<mWinAPI::DriveInfo> drives{d};
    mWinAPI::InstallDriveTable(drives);
    return drives;
}

// One run of `ls -l` with its output read: what a user would run to see the same folder.
double LsMs(const QString& dir) {
    return TimeMs([&] {
        QProcess ls;
        ls.start(QStringLiteral("ls"), {QStringLiteral("-l"), dir});
        ls.waitForFinished(-1);
        (void)ls.readAllStandardOutput();
    });
}

int List(const QString& dir) {
    const mWinAPI::ScopedDriveFolders table({{'D', dir.toStdString()}});
    zr::ui::Form window;
    zr::ui::ListView list(window.ClientArea());
    list.ColumnHeaders().Add(QStringLiteral("FileName."), 3640);
    list.ColumnHeaders().Add(QStringLiteral("FileSize."), 1440);
    list.Move(0, 0, 5175, 6015);
    window.resize(400, 450);
    window.show();
    WaitExposed(window);
    std::vector<double> ours;
    std::vector<double> find;
    std::vector<double> ls;
    int rows = 0;
    for (int run = 0; run < kRuns; ++run) {
        // From the click to the list painted with its first rows.
        ours.push_back(TimeMs([&] {
            zr::ui::mFileList::subFillFileList(list, window, QStringLiteral("D:\\"));
            list.View().viewport()->repaint();
        }));
        rows = list.ListItems().Count();
        find.push_back(FindMs({dir, "-maxdepth", "1", "-iname", "*.mp3"}));
        ls.push_back(LsMs(dir));
    }
    std::printf("# listed %d rows\n", rows);
    Report("list a folder of 10,000 .mp3 files, painted", ours, "find -maxdepth 1 -iname", find);
    Report("list a folder of 10,000 .mp3 files, painted", ours, "ls -l", ls);
    return 0;
}

int Expand(const QString& dir) {
    std::vector<double> ours;
    std::vector<double> ref;
    int added = 0;
    for (int run = 0; run < kRuns; ++run) {
        const mWinAPI::ScopedDriveFolders table({});
        zr::ui::ListView playlist(nullptr);
        zr::ui::frmExplore browser(playlist, nullptr, [&] { return DriveD(dir); });
        browser.EnsureLoaded(); // root expanded: D: holds the one big folder
        zr::ui::Node* drive = browser.Explorer().Nodes().Item(QStringLiteral("Parent1"));
        zr::ui::Node* big = drive ? drive->Child() : nullptr;
        if (big == nullptr) {
            std::fprintf(stderr, "no folder under %s\n", qPrintable(dir));
            return 1;
        }
        browser.Explorer_NodeClick(big); // fills it with its subfolders, as a first click does
        const int before = browser.Explorer().Nodes().Count();
        ours.push_back(TimeMs([&] { big->SetExpanded(true); }));
        added = browser.Explorer().Nodes().Count() - before;
        ref.push_back(FindMs({dir + QStringLiteral("/") + big->Text(), "-mindepth", "1",
                              "-maxdepth", "2", "-type", "d"}));
    }
    std::printf("# expanding added %d nodes\n", added);
    Report("expand a node of 2,000 subfolders", ours, "find -mindepth 1 -maxdepth 2", ref);
    return 0;
}

int Open() {
    std::vector<double> ours;
    std::vector<double> ref;
    QStringList roots;
    for (const mWinAPI::DriveInfo& d : mWinAPI::LetterDrives(mWinAPI::ReadMounts())) {
        if (d.ready) {
            roots << d.rootPath;
        }
    }
    for (int run = 0; run < kRuns; ++run) {
        zr::ui::ListView playlist(nullptr);
        ours.push_back(TimeMs([&] {
            zr::ui::frmExplore browser(playlist);
            browser.show();
            WaitExposed(browser);
        }));
        ref.push_back(
            FindMs(roots + QStringList{"-mindepth", "1", "-maxdepth", "1", "-type", "d"}));
    }
    std::printf("# drives: %s\n", qPrintable(roots.join(QLatin1Char(' '))));
    Report("open the browser on this machine", ours, "find -maxdepth 1 on each drive", ref);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 3 && args[1] == QLatin1String("list")) {
        return List(args[2]);
    }
    if (args.size() >= 3 && args[1] == QLatin1String("expand")) {
        return Expand(args[2]);
    }
    if (args.size() >= 2 && args[1] == QLatin1String("open")) {
        return Open();
    }
    std::fprintf(stderr, "usage: browser_probe list DIR | expand DIR | open\n");
    return 2;
}
