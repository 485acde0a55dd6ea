// Label, list box, timer, random draws, image list and menus.

#include "ImageList.h"
#include "Label.h"
#include "ListBox.h"
#include "QtPrinters.h"
#include "Random.h"
#include "Runtime.h"
#include "Timer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <set>

using namespace zr::ui;

TEST(LabelTest, CaptionGivesBackExactlyWhatWasStored) {
    QWidget parent;
    Label label(&parent);
    const QString reply = QString("245000") + QChar(0) + "junk";
    label.SetCaption(reply);
    EXPECT_EQ(label.Caption(), reply);
    label.SetCaption("  007 ");
    EXPECT_EQ(label.Caption(), "  007 ");
}

TEST(LabelTest, AutoSizeKeepsTheCornerAndFollowsTheCaption) {
    QWidget parent;
    Label label(&parent);
    label.Move(1800, 840, 90, 195);
    label.SetAutoSize(true);
    label.SetCaption("0");
    const int narrow = label.Width();
    label.SetCaption("245000");
    EXPECT_GT(label.Width(), narrow);
    EXPECT_EQ(label.Left(), 1800);
    EXPECT_EQ(label.Top(), 840);
    EXPECT_EQ(label.width(), label.CaptionSizePx().width());
    EXPECT_EQ(label.Width(), label.width() * 15);
    label.Move(1800, 600, 90, 195); // the corner moves, the size stays the caption's
    EXPECT_EQ(label.Top(), 600);
    EXPECT_EQ(label.width(), label.CaptionSizePx().width());

    Label fixed(&parent);
    fixed.Move(1800, 360, 3360, 195);
    fixed.SetCaption("A very long title that does not fit into the label at all");
    EXPECT_EQ(fixed.Width(), 3360);
}

TEST(LabelTest, TransparentLabelShowsWhatLiesBehind) {
    QWidget parent;
    parent.resize(50, 30);
    parent.setAutoFillBackground(true);
    QPalette palette = parent.palette();
    palette.setColor(QPalette::Window, Qt::black);
    parent.setPalette(palette);
    Label label(&parent);
    label.Move(0, 0, 600, 300);
    label.SetCaption("");
    label.SetBackColor(Rgb(0, 0, 64));
    label.SetBackStyle(Label::vbOpaque);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    EXPECT_EQ(FromQColor(parent.grab().toImage().pixelColor(5, 5)), Rgb(0, 0, 64));
    label.SetBackStyle(Label::vbTransparent);
    EXPECT_EQ(FromQColor(parent.grab().toImage().pixelColor(5, 5)), Rgb(0, 0, 0));
}

TEST(ListBoxTest, KeepsCaseInsensitiveOrder) {
    QWidget parent;
    ListBox list(&parent);
    list.setVisible(false);
    for (const char* name : {"music~~~", "Zeta~A~", "alpha~~~", "Music~A~", "beta~~~", "MUSIC~~~"})
        list.AddItem(name);
    ASSERT_EQ(list.ListCount(), 6);
    EXPECT_EQ(list.List(0), "alpha~~~");
    EXPECT_EQ(list.List(1), "beta~~~");
    // "~A~" folds to "~a~", which sorts before "~~~".
    EXPECT_EQ(list.List(2), "Music~A~");
    // Equal ignoring case: upper case first, so the order does not depend on arrival.
    EXPECT_EQ(list.List(3), "MUSIC~~~");
    EXPECT_EQ(list.List(4), "music~~~");
    EXPECT_EQ(list.List(5), "Zeta~A~");
    EXPECT_EQ(list.List(6), "");
    EXPECT_EQ(list.List(-1), "");
    list.Clear();
    EXPECT_EQ(list.ListCount(), 0);
}

TEST(TimerTest, FirstTickComesAfterOneIntervalAndDisablingStopsTicks) {
    Timer timer;
    timer.SetInterval(50);
    QSignalSpy ticks(&timer, &Timer::Tick);
    QTest::qWait(120);
    EXPECT_EQ(ticks.count(), 0) << "starts disabled";

    QElapsedTimer clock;
    clock.start();
    qint64 firstTickAt = -1;
    QObject::connect(&timer, &Timer::Tick, [&] {
        if (firstTickAt < 0)
            firstTickAt = clock.elapsed();
    });
    timer.SetEnabled(true);
    ASSERT_TRUE(ticks.wait(5000));
    EXPECT_GE(firstTickAt, 45) << "not before one interval";

    timer.SetEnabled(false);
    const int seen = ticks.count();
    QTest::qWait(150);
    EXPECT_EQ(ticks.count(), seen);
}

TEST(TimerTest, TicksNeverNest) {
    Timer timer;
    timer.SetInterval(10);
    int depth = 0;
    int deepest = 0;
    int ticks = 0;
    QObject::connect(&timer, &Timer::Tick, [&] {
        ++ticks;
        deepest = std::max(deepest, ++depth);
        // A handler that lets events run, long enough for further ticks to fall due.
        QElapsedTimer busy;
        busy.start();
        while (busy.elapsed() < 40)
            DoEvents();
        --depth;
    });
    timer.SetEnabled(true);
    QElapsedTimer wait;
    wait.start();
    while (ticks < 3 && wait.elapsed() < 5000)
        QTest::qWait(5);
    timer.SetEnabled(false);
    EXPECT_GE(ticks, 3);
    EXPECT_EQ(deepest, 1);
}

TEST(TimerTest, ATickMayDestroyItsOwnTimer) {
    auto timer = std::make_unique<Timer>();
    bool ticked = false;
    QObject::connect(timer.get(), &Timer::Tick, [&] {
        ticked = true;
        timer.reset(); // a window closing from inside its own tick
    });
    timer->SetInterval(10);
    timer->SetEnabled(true);
    QElapsedTimer wait;
    wait.start();
    while (!ticked && wait.elapsed() < 5000)
        QTest::qWait(5);
    EXPECT_TRUE(ticked);
    EXPECT_EQ(timer, nullptr);
}

TEST(RandomTest, DrawsLieInHalfOpenUnitRangeAndSeedsRepeat) {
    RandomizeWithSeed(42);
    std::vector<float> first;
    for (int i = 0; i < 100000; ++i) {
        const float r = Rnd();
        ASSERT_GE(r, 0.0f);
        ASSERT_LT(r, 1.0f);
        if (i < 10)
            first.push_back(r);
    }
    RandomizeWithSeed(42);
    for (float expected : first)
        EXPECT_EQ(Rnd(), expected);

    // Ten buckets of 10,000 draws each are all used.
    std::set<int> buckets;
    Randomize();
    for (int i = 0; i < 10000; ++i)
        buckets.insert(static_cast<int>(Rnd() * 10));
    EXPECT_EQ(buckets.size(), 10u);
}

TEST(ImageListTest, KeysAreUniqueAndImagesAreSixteenSquare) {
    ImageList images;
    QImage big(32, 32, QImage::Format_RGB32);
    big.fill(Qt::red);
    EXPECT_TRUE(images.Add("drvfixed", big));
    EXPECT_FALSE(images.Add("drvfixed", big));
    EXPECT_FALSE(images.Add("", big));
    EXPECT_FALSE(images.Add("missing", QString(":/no/such/file.png")));
    EXPECT_EQ(images.Count(), 1);
    EXPECT_EQ(images.Image("drvfixed").size(), QSize(16, 16));
    EXPECT_TRUE(images.Image("drvcd").isNull());
}

// Pictures are read in the format their names say: asking Qt to guess loads every image format
// plugin installed into the process (start-up time, memory) for files that are all PNG.
TEST(ImageListTest, PictureFilesAreReadWithoutLoadingEveryImagePlugin) {
    // One green pixel each, written by hand: Qt's own writers load the plugins too.
    static const char kPng[] = "\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\0\x01\0\0\0\x01\x08\x02\0\0\0"
                               "\x90\x77\x53\xde\0\0\0\x0cIDAT\x78\x9c\x63\x60\xf8\xcf\0\0\x02\x02"
                               "\x01\0\x7b\x09\x81\x78\0\0\0\0IEND\xae\x42\x60\x82";
    static const char kBmp[] = "BM\x3a\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\x01\0\0\0\x01\0\0\0\x01\0"
                               "\x18\0\0\0\0\0\x04\0\0\0\x13\x0b\0\0\x13\x0b\0\0\0\0\0\0\0\0\0\0"
                               "\0\xff\0\0";
    QTemporaryDir dir;
    const auto write = [&](const char* name, const char* bytes, qint64 size) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        return file.open(QIODevice::WriteOnly) && file.write(bytes, size) == size;
    };
    ASSERT_TRUE(write("green.png", kPng, sizeof kPng - 1));
    ASSERT_TRUE(write("green.bmp", kBmp, sizeof kBmp - 1));
    ImageList images;
    EXPECT_TRUE(images.Add("png", dir.filePath("green.png")));
    EXPECT_TRUE(images.Add("bmp", dir.filePath("green.bmp")));
    EXPECT_EQ(images.Image("png").toImage().pixel(8, 8), QColor(Qt::green).rgb());
    EXPECT_EQ(images.Image("bmp").toImage().pixel(8, 8), QColor(Qt::green).rgb());
    QFile maps("/proc/self/maps");
    ASSERT_TRUE(maps.open(QIODevice::ReadOnly));
    EXPECT_FALSE(maps.readAll().contains("/imageformats/")) << "an image format plugin was loaded";
}
