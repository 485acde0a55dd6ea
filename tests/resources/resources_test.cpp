#include "ResourcePaths.h"
#include "resource_probe.h"

#include <QBitmap>
#include <QColor>
#include <QDirIterator>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QSet>
#include <QString>

#include <gtest/gtest.h>

#include <memory>

namespace {

using zr::resources::kButtonFaces;
using zr::resources::kTreeIcons;

// QPixmap needs a GUI application; one for the whole test program.
class GuiEnvironment : public ::testing::Environment {
public:
    void SetUp() override { app_ = std::make_unique<QGuiApplication>(argc_, argv_); }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[16] = "resources_test";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QGuiApplication> app_;
};

const auto* const kGui = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

QImage load(const char* path) {
    return QPixmap(QString::fromUtf8(path)).toImage().convertToFormat(QImage::Format_ARGB32);
}

bool isWhite(QRgb p) {
    return qAlpha(p) == 255 && (p & 0xFFFFFF) == 0xFFFFFF;
}

// Element sizes of imgControl(0..15) on the player window, in twips.
struct ElementSize {
    int index;
    int widthTwips;
    int heightTwips;
};
constexpr ElementSize kElementSizes[] = {
    {0, 510, 180},  {1, 510, 180},  {2, 510, 180},  {3, 510, 180},  {4, 510, 180},  {5, 510, 180},
    {6, 255, 180},  {7, 255, 180},  {8, 510, 180},  {9, 510, 180},  {10, 180, 375}, {11, 180, 375},
    {12, 180, 150}, {13, 180, 150}, {14, 510, 180}, {15, 255, 180},
};

TEST(ButtonFaces, EachFillsItsElementExactly) {
    for (const auto& e : kElementSizes) {
        SCOPED_TRACE(kButtonFaces[e.index]);
        const QPixmap face(QString::fromUtf8(kButtonFaces[e.index]));
        ASSERT_FALSE(face.isNull());
        EXPECT_EQ(face.width() * 15, e.widthTwips);
        EXPECT_EQ(face.height() * 15, e.heightTwips);
    }
}

TEST(ButtonFaces, RoundedCornersLetTheWindowShowThrough) {
    for (const char* path : kButtonFaces) {
        SCOPED_TRACE(path);
        const QImage img = load(path);
        const int r = img.width() - 1;
        const int b = img.height() - 1;
        for (QPoint corner : {QPoint(0, 0), QPoint(r, 0), QPoint(0, b), QPoint(r, b)})
            EXPECT_EQ(qAlpha(img.pixel(corner)), 0);
        EXPECT_EQ(qAlpha(img.pixel(img.width() / 2, img.height() / 2)), 255);
    }
}

TEST(ButtonFaces, CommandsAreLetteredAndEndCapsArePlain) {
    for (int i = 0; i < 16; ++i) {
        SCOPED_TRACE(kButtonFaces[i]);
        const QImage img = load(kButtonFaces[i]);
        int ink = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                ink += isWhite(img.pixel(x, y)) ? 1 : 0;
        if (i == 12 || i == 13)
            EXPECT_EQ(ink, 0);
        else
            EXPECT_GE(ink, 8);
    }
}

// Width of the white mark in its first and last row that has any.
std::pair<int, int> markEndWidths(const QImage& img) {
    std::pair<int, int> ends{-1, -1};
    for (int y = 0; y < img.height(); ++y) {
        int w = 0;
        for (int x = 0; x < img.width(); ++x)
            w += isWhite(img.pixel(x, y)) ? 1 : 0;
        if (w == 0)
            continue;
        if (ends.first < 0)
            ends.first = w;
        ends.second = w;
    }
    return ends;
}

TEST(ButtonFaces, VolumeMarksPointUpForIncreaseAndDownForDecrease) {
    const auto up = markEndWidths(load(kButtonFaces[10]));
    const auto down = markEndWidths(load(kButtonFaces[11]));
    ASSERT_GT(up.first, 0);
    ASSERT_GT(down.first, 0);
    EXPECT_LT(up.first, up.second) << "apex of the increase mark must be at the top";
    EXPECT_GT(down.first, down.second) << "apex of the decrease mark must be at the bottom";
}

TEST(WindowIcon, IsSixteenSquareWithTransparentCorners) {
    const QImage img = load(zr::test::probeWindowIconPath());
    ASSERT_EQ(img.size(), QSize(16, 16));
    EXPECT_EQ(qAlpha(img.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(img.pixel(15, 15)), 0);
    EXPECT_EQ(qAlpha(img.pixel(8, 8)), 255);
}

TEST(TreeIcons, SixteenColourPicturesOnTheMaskColour) {
    const QRgb mask = QColor::fromRgb(zr::resources::kTreeMaskRgb).rgb();
    for (const auto& icon : kTreeIcons) {
        SCOPED_TRACE(icon.key);
        const QImage img = load(icon.path);
        ASSERT_EQ(img.size(), QSize(16, 16));
        QSet<QRgb> colours;
        int drawn = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                colours.insert(img.pixel(x, y));
                drawn += img.pixel(x, y) == mask ? 0 : 1;
            }
        EXPECT_LE(colours.size(), 16);
        EXPECT_TRUE(colours.contains(mask));
        EXPECT_GE(drawn, 40);

        // Shown through the mask, the background disappears and the drawing stays.
        QPixmap shown = QPixmap::fromImage(img);
        shown.setMask(shown.createMaskFromColor(QColor::fromRgb(mask), Qt::MaskInColor));
        const QImage masked = shown.toImage().convertToFormat(QImage::Format_ARGB32);
        int opaque = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                opaque += qAlpha(masked.pixel(x, y)) == 255 ? 1 : 0;
        EXPECT_EQ(opaque, drawn);
    }
}

TEST(ResourceTree, HoldsExactlyThePicturesThatArePublished) {
    QSet<QString> published;
    for (const char* path : kButtonFaces)
        published.insert(QString::fromUtf8(path));
    published.insert(QString::fromUtf8(zr::resources::kWindowIcon));
    for (const char* path : zr::resources::kWindowIconSizes)
        published.insert(QString::fromUtf8(path));
    for (const auto& icon : kTreeIcons)
        published.insert(QString::fromUtf8(icon.path));

    QSet<QString> embedded;
    for (const char* dir : {":/buttons", ":/icons", ":/tree"}) {
        QDirIterator it(QString::fromUtf8(dir), QDir::Files);
        while (it.hasNext())
            embedded.insert(it.next());
    }
    EXPECT_EQ(embedded, published);
}

} // namespace
