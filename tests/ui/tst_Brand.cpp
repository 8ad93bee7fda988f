#include "ui/brand/AppIcon.h"
#include "ui/brand/DrawnAppIcon.h"
#include "ui/brand/FlumeMark.h"
#include "ui/brand/Sparkline.h"

#include <QPainter>
#include <QTest>

namespace {
bool near(const QPointF &a, const QPointF &b)
{
    return qAbs(a.x() - b.x()) < 1e-9 && qAbs(a.y() - b.y()) < 1e-9;
}

QImage blank(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}
} // namespace

class TestBrand : public QObject {
    Q_OBJECT
private slots:
    void sparklinePointsFollowTheRule()
    {
        QVERIFY(sparklinePoints({}, 56, 18).isEmpty());
        QVERIFY(sparklinePoints({42}, 56, 18).isEmpty());
        const QList<QPointF> two = sparklinePoints({5, 15}, 56, 18);
        QCOMPARE(two.size(), 2);
        QVERIFY(near(two[0], QPointF(0, 15.84)));
        QVERIFY(near(two[1], QPointF(56, 2.16)));
        // A flat series sits in the bottom band, spread evenly.
        const QList<QPointF> flat = sparklinePoints({10, 10, 10}, 60, 20);
        QCOMPARE(flat.size(), 3);
        for (int i = 0; i < 3; ++i)
            QVERIFY(near(flat[i], QPointF(30.0 * i, 20 * 0.88)));
        // Tiny spans do not divide by zero.
        const QList<QPointF> tiny = sparklinePoints({1.00001, 1.0}, 10, 10);
        QVERIFY(std::isfinite(tiny[0].y()) && std::isfinite(tiny[1].y()));
    }

    void markFillsAndMissingIconPicture()
    {
        auto inkAt = [](FlumeMark::Fill fill, QPoint point) {
            QImage image = blank(20);
            QPainter painter(&image);
            FlumeMark::paint(painter, {0, 0}, fill, 20, Qt::black);
            return qAlpha(image.pixel(point));
        };
        const QPoint bodyMiddle(10, 13), collarMiddle(10, 5);
        QCOMPARE(inkAt(FlumeMark::Fill::Outline, bodyMiddle), 0);
        QCOMPARE(inkAt(FlumeMark::Fill::Body, bodyMiddle), 255);
        QCOMPARE(inkAt(FlumeMark::Fill::Body, collarMiddle), 0);
        QCOMPARE(inkAt(FlumeMark::Fill::Full, collarMiddle), 255);

        // No icon resource here: the lookup says so and the drawn icon stands in.
        QImage viaLookup = blank(64), drawn = blank(64);
        {
            QPainter a(&viaLookup), b(&drawn);
            QVERIFY(!AppIcon::paint(a, QRectF(0, 0, 64, 64), true, false));
            DrawnAppIcon::paint(b, QRectF(0, 0, 64, 64), true);
        }
        QCOMPARE(viaLookup, drawn);
    }
};

QTEST_MAIN(TestBrand)
#include "tst_Brand.moc"
