#include <gtest/gtest.h>

#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <climits>
#include <cstdlib>

#include "polling/scarico_s.h"
#include "uikit/twips.h"

namespace tallivo {
namespace {

// Share of the pixels of `area` (window coordinates) that have `colour`, each channel within
// `tolerance`. Text needs some: with some fonts no antialiased glyph pixel is the pure colour.
double Share(const QImage& image, const QRect& area, const QColor& colour, int tolerance = 0) {
    int hits = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (std::abs(pixel.red() - colour.red()) <= tolerance &&
                std::abs(pixel.green() - colour.green()) <= tolerance &&
                std::abs(pixel.blue() - colour.blue()) <= tolerance)
                ++hits;
        }
    return static_cast<double>(hits) / (area.width() * area.height());
}

constexpr int kTextTolerance = 48;

QRect InWindow(const QWidget& window, const char* name) {
    const auto* widget = window.findChild<QWidget*>(name);
    return QRect(widget->mapTo(&window, QPoint(0, 0)), widget->size());
}

QImage Grab(ScaricoS& window) {
    QImage image = window.grab().toImage().scaled(window.size()).convertToFormat(QImage::Format_RGB32);
    if (const QByteArray folder = qgetenv("TALLIVO_GRAB_FOLDER"); !folder.isEmpty()) {
        static int count = 0;
        image.save(QString::fromLocal8Bit(folder) + QString("/grab%1.png").arg(++count));
    }
    return image;
}

TEST(StatusWindow, LayoutInTwips) {
    ScaricoS window;
    EXPECT_EQ(window.windowTitle(), "TALLIVO 5.0");
    EXPECT_EQ(window.size(), QSize(TwipsToPixels(5505, &window), TwipsToPixels(3525, &window)));
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    struct Row {
        const char* name;
        int left, top, width, height;
    };
    for (const Row& row : {Row{"Picture1", 60, 60, 2415, 885}, Row{"Frame1", 2580, 60, 1395, 855},
                           Row{"Frame3", 4080, 60, 1335, 855}, Row{"PB1", 60, 1080, 5355, 435},
                           Row{"Frame2", 5220, 1140, 5355, 855}, Row{"Frame4", 60, 1680, 5355, 855},
                           Row{"Frame5", 60, 2580, 5355, 855}, Row{"Label1", 120, 360, 1005, 375},
                           Row{"Label2", 120, 360, 1005, 375}, Row{"Label4", 120, 360, 1095, 375},
                           Row{"Label5", 120, 240, 5115, 375}, Row{"Label6", 120, 360, 5115, 375}}) {
        const auto* widget = window.findChild<QWidget*>(row.name);
        ASSERT_NE(widget, nullptr) << row.name;
        EXPECT_EQ(widget->geometry(), TwipsRect(row.left, row.top, row.width, row.height, &window))
            << row.name;
        EXPECT_EQ(widget->focusPolicy(), Qt::NoFocus) << row.name;
    }
    EXPECT_EQ(window.findChild<QGroupBox*>("Frame1")->title(), "Status");
    EXPECT_EQ(window.findChild<QGroupBox*>("Frame3")->title(), "Bytes");
    EXPECT_EQ(window.findChild<QGroupBox*>("Frame4")->title(), "Record");
    EXPECT_EQ(window.findChild<QGroupBox*>("Frame5")->title(), "Function");
    EXPECT_TRUE(window.findChild<QGroupBox*>("Frame2")->isHidden());
    EXPECT_EQ(window.findChild<QLabel*>("Picture1")->pixmap().size(), QSize(157, 55));
    EXPECT_FALSE(window.windowIcon().isNull());
}

TEST(StatusWindow, ColoursOfTheIndicatorAndThePhase) {
    ScaricoS window;
    window.show();
    const QRect indicator = InWindow(window, "Label1");
    const QRect phase = InWindow(window, "Label6");

    window.showWaiting();
    QImage image = Grab(window);
    EXPECT_GT(Share(image, indicator, QColor(224, 224, 224)), 0.95) << "no indicator while waiting";
    EXPECT_GT(Share(image, phase, QColor(0, 0, 128)), 0.6);
    EXPECT_GT(Share(image, phase, QColor(255, 255, 0), kTextTolerance), 0.0) << "yellow phase text";

    window.showOffLine();
    image = Grab(window);
    EXPECT_GT(Share(image, indicator, QColor(192, 0, 0)), 0.6);
    EXPECT_GT(Share(image, indicator, QColor(255, 255, 0), kTextTolerance), 0.0) << "yellow \"Off Line\"";
    EXPECT_EQ(Share(image, indicator, QColor(0, 0, 128)), 0.0);

    window.showOnLine();
    image = Grab(window);
    EXPECT_GT(Share(image, indicator, QColor(0, 0, 128)), 0.6);
    EXPECT_GT(Share(image, indicator, QColor(0, 255, 0), kTextTolerance), 0.0) << "green \"On Line\"";
    EXPECT_EQ(Share(image, indicator, QColor(192, 0, 0)), 0.0);

    window.showByteCount(12345);
    window.showRecord("4006381333931|5|01/02/2003|10:20|");
    image = Grab(window);
    EXPECT_GT(Share(image, InWindow(window, "Label4"), QColor(255, 255, 192)), 0.6);
    EXPECT_GT(Share(image, InWindow(window, "Label4"), QColor(255, 0, 0), kTextTolerance), 0.0)
        << "red byte count";
    EXPECT_GT(Share(image, InWindow(window, "Label5"), QColor(255, 0, 0), kTextTolerance), 0.0)
        << "red record";
}

TEST(StatusWindow, ProgressBarCopesWithSizesAboveIntRange) {
    ScaricoS window;
    auto* bar = window.findChild<QProgressBar*>("PB1");
    const std::uint64_t size = 5'000'000'000ULL;
    window.showByteCount(size);
    window.showProgress(size / 2, size);
    EXPECT_EQ(window.findChild<QLabel*>("Label4")->text(), "5000000000");
    EXPECT_GT(bar->maximum(), 0);
    EXPECT_NEAR(static_cast<double>(bar->value()) / bar->maximum(), 0.5, 1e-6);
    window.showProgress(size, size);
    EXPECT_EQ(bar->value(), bar->maximum());
}

TEST(StatusWindow, RecordBytesShowAsLatin1) {
    ScaricoS window;
    window.showRecord(std::string("a\xE9|\x7C", 4));
    EXPECT_EQ(window.findChild<QLabel*>("Label5")->text(), QString::fromLatin1("a\xE9||"));
}

}  // namespace
}  // namespace tallivo
