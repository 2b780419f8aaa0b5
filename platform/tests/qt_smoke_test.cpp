// Proves the GUI stack works headless: a frameless, shaped widget paints Chinese
// text and its pixels can be read back.
#include <QBitmap>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRegion>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

class TextPanel : public QWidget {
public:
    explicit TextPanel(QString text)
        : m_text(std::move(text)) {
        setWindowFlags(Qt::FramelessWindowHint);
        setFixedSize(160, 60);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        QFont font("WenQuanYi Micro Hei");
        font.setPixelSize(32);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(rect(), Qt::AlignCenter, m_text);
    }

private:
    QString m_text;
};

int countDarkPixels(const QImage& image) {
    int dark = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            dark += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
        }
    }
    return dark;
}

TEST(QtSmoke, ChineseGlyphsAreDrawnNotReplacementBoxes) {
    // Missing CJK fonts draw every character as the same box, so two different
    // characters rendering identically means the font stack is broken.
    TextPanel first(QString::fromUtf8("错"));
    TextPanel second(QString::fromUtf8("误"));
    first.show();
    second.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&first));
    const QImage a = first.grab().toImage();
    const QImage b = second.grab().toImage();
    EXPECT_GT(countDarkPixels(a), 30);
    EXPECT_GT(countDarkPixels(b), 30);
    EXPECT_NE(a, b);
}

TEST(QtSmoke, WindowMaskCutsThePaintedPixels) {
    TextPanel panel(QString::fromUtf8("提示"));
    // Keep only the left half of the window.
    panel.setMask(QRegion(0, 0, 80, 60));
    panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    EXPECT_EQ(panel.mask(), QRegion(0, 0, 80, 60));

    // grab() ignores the mask; rendering through it shows what the shaped window shows.
    QImage shaped(panel.size(), QImage::Format_ARGB32);
    shaped.fill(Qt::transparent);
    panel.render(&shaped, QPoint(), panel.mask());
    EXPECT_EQ(qAlpha(shaped.pixel(2, 2)), 255);
    EXPECT_EQ(QColor(shaped.pixel(2, 2)), QColor(Qt::white));
    EXPECT_EQ(qAlpha(shaped.pixel(150, 2)), 0);
    EXPECT_EQ(qAlpha(shaped.pixel(80, 30)), 0);

    const QImage full = panel.grab().toImage();
    EXPECT_EQ(QColor(full.pixel(150, 2)), QColor(Qt::white));
    EXPECT_GT(countDarkPixels(full.copy(0, 0, 80, 60)), 30);
}

} // namespace
