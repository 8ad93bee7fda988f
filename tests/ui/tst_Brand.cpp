#include "support/Shots.h"
#include "ui/brand/AppIcon.h"
#include "ui/brand/DrawnAppIcon.h"
#include "ui/brand/FlumeMark.h"
#include "ui/brand/FlumeScene.h"
#include "ui/brand/FlumeShapes.h"
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

    void glyphGeometryOnTheGrid()
    {
        // A wide rectangle uses its shorter side (u = 2) and draws from the top-left corner.
        const QRectF wide(10, 5, 80, 40);
        QCOMPARE(FlumeShapes::body(wide).boundingRect(), QRectF(10 + 6.4 * 2, 5 + 8.2 * 2, 7.2 * 2, 9.4 * 2));
        const QPainterPath glyph = FlumeShapes::glyph(wide);
        QCOMPARE(glyph.boundingRect(), QRectF(10 + 4.2 * 2, 5 + 3.6 * 2, 11.6 * 2, (8.2 + 9.4 - 3.6) * 2));
        // Gap of 1.4u between collar and body.
        QVERIFY(!glyph.contains(QPointF(30, 5 + 7.5 * 2)));
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

    void sceneGlowBreathes()
    {
        FlumeScene scene(132);
        scene.show();
        QCOMPARE(scene.glowAnimator()->state(), QAbstractAnimation::Running);
        scene.glowAnimator()->setCurrentTime(0);
        const qreal start = scene.glowOpacity();
        scene.glowAnimator()->setCurrentTime(2600);
        QVERIFY(scene.glowOpacity() > start);
    }

    void pictures()
    {
        for (bool dark : {false, true}) {
            const QString v = Shots::theme(dark);
            const QColor bg = dark ? QColor(28, 29, 31) : QColor(243, 239, 231);
            const QColor ink = dark ? QColor(244, 241, 234) : QColor(33, 31, 26);
            Shots::paint("brand-mark-" + v, 150, 44, bg, [&](QPainter &p) {
                for (auto fill : {FlumeMark::Fill::Outline, FlumeMark::Fill::Body, FlumeMark::Fill::Full})
                    FlumeMark::paint(p, {8.0 + 48 * int(fill), 8}, fill, 28, ink);
            });
            Shots::paint("brand-appicon-" + v, 220, 140, bg, [&](QPainter &p) {
                for (QRectF r : {QRectF(8, 8, 128, 128), QRectF(150, 8, 32, 32), QRectF(190, 8, 16, 16)})
                    DrawnAppIcon::paint(p, r, dark);
            });
            Shots::paint("brand-scene-" + v, 290, 140, bg, [&](QPainter &p) {
                FlumeScene::paint(p, 132, 0.55, dark);
                p.translate(150, 0);
                FlumeScene::paint(p, 132, 1.0, dark);
            });
            Shots::paint("brand-sparkline-" + v, 72, 26, bg, [&](QPainter &p) {
                p.translate(8, 4);
                Sparkline::paint(p, 56, 18, QColor(48, 209, 88), {42, 38, 45, 60, 41, 39, 52, 47});
            });
        }
    }
};

QTEST_MAIN(TestBrand)
#include "tst_Brand.moc"
