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

QImage draw(int width, int height, const std::function<void(QPainter &)> &paint, const QColor &background)
{
    QImage image(width * 2, height * 2, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2);
    image.fill(background);
    QPainter painter(&image);
    paint(painter);
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
        // Negative and tiny spans do not divide by zero.
        const QList<QPointF> tiny = sparklinePoints({1.00001, 1.0}, 10, 10);
        QVERIFY(std::isfinite(tiny[0].y()) && std::isfinite(tiny[1].y()));
    }

    void glyphGeometryOnTheGrid()
    {
        // u = 1 on a 20-unit square.
        QCOMPARE(FlumeShapes::collar(QRectF(0, 0, 20, 20)).boundingRect(), QRectF(4.2, 3.6, 11.6, 3.2));
        QCOMPARE(FlumeShapes::body(QRectF(0, 0, 20, 20)).boundingRect(), QRectF(6.4, 8.2, 7.2, 9.4));
        // A wide rectangle uses its shorter side and draws from the top-left corner.
        const QRectF wide(10, 5, 80, 40);
        QCOMPARE(FlumeShapes::body(wide).boundingRect(), QRectF(10 + 6.4 * 2, 5 + 8.2 * 2, 7.2 * 2, 9.4 * 2));
        const QPainterPath glyph = FlumeShapes::glyph(wide);
        QCOMPARE(glyph.boundingRect(), QRectF(10 + 4.2 * 2, 5 + 3.6 * 2, 11.6 * 2, (8.2 + 9.4 - 3.6) * 2));
        // Gap of 1.4u between collar and body.
        QVERIFY(!glyph.contains(QPointF(30, 5 + 7.5 * 2)));
    }

    void markFillsAndMissingIconPicture()
    {
        auto inkAt = [](FlumeMark::Fill fill, QPointF point) {
            const QImage image = draw(
                20, 20,
                [&](QPainter &p) {
                    FlumeMark::paint(p, {0, 0}, fill, 20, Qt::black);
                },
                Qt::transparent);
            return qAlpha(image.pixel((point * 2).toPoint()));
        };
        const QPointF bodyMiddle(10, 13), collarMiddle(10, 5.2);
        QCOMPARE(inkAt(FlumeMark::Fill::Outline, bodyMiddle), 0);
        QCOMPARE(inkAt(FlumeMark::Fill::Body, bodyMiddle), 255);
        QCOMPARE(inkAt(FlumeMark::Fill::Body, collarMiddle), 0);
        QCOMPARE(inkAt(FlumeMark::Fill::Full, collarMiddle), 255);

        QCOMPARE(AppIcon::resourceName(true, true), QStringLiteral("AppIcon-dev-dark"));
        QCOMPARE(AppIcon::resourceName(false, false), QStringLiteral("AppIcon-light"));
        QImage viaLookup(64, 64, QImage::Format_ARGB32_Premultiplied),
            drawn(64, 64, QImage::Format_ARGB32_Premultiplied);
        viaLookup.fill(Qt::transparent);
        drawn.fill(Qt::transparent);
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
        QCOMPARE(scene.glowOpacity(), 0.55);
        scene.glowAnimator()->setCurrentTime(2600);
        QCOMPARE(scene.glowOpacity(), 1.0);
        scene.glowAnimator()->setCurrentTime(5200 + 1300);
        QVERIFY(scene.glowOpacity() > 0.55 && scene.glowOpacity() < 1.0);
    }

    void pictures()
    {
        for (bool dark : {false, true}) {
            const QString v = dark ? QStringLiteral("dark") : QStringLiteral("light");
            const QColor bg = dark ? QColor(28, 29, 31) : QColor(243, 239, 231);
            const QColor ink = dark ? QColor(244, 241, 234) : QColor(33, 31, 26);
            Shots::saveImage(draw(
                                 150, 44,
                                 [&](QPainter &p) {
                                     FlumeMark::paint(p, {8, 8}, FlumeMark::Fill::Outline, 28, ink);
                                     FlumeMark::paint(p, {56, 8}, FlumeMark::Fill::Body, 28, ink);
                                     FlumeMark::paint(p, {104, 8}, FlumeMark::Fill::Full, 28, ink);
                                 },
                                 bg),
                             "brand-mark-" + v);
            Shots::saveImage(draw(
                                 220, 140,
                                 [&](QPainter &p) {
                                     DrawnAppIcon::paint(p, QRectF(8, 8, 128, 128), dark);
                                     DrawnAppIcon::paint(p, QRectF(150, 8, 32, 32), dark);
                                     DrawnAppIcon::paint(p, QRectF(190, 8, 16, 16), dark);
                                 },
                                 bg),
                             "brand-appicon-" + v);
            Shots::saveImage(draw(
                                 290, 140,
                                 [&](QPainter &p) {
                                     FlumeScene::paint(p, 132, 0.55, dark);
                                     p.translate(150, 0);
                                     FlumeScene::paint(p, 132, 1.0, dark);
                                 },
                                 bg),
                             "brand-scene-" + v);
            Shots::saveImage(draw(
                                 72, 26,
                                 [&](QPainter &p) {
                                     p.translate(8, 4);
                                     Sparkline::paint(p, 56, 18, QColor(48, 209, 88), {42, 38, 45, 60, 41, 39, 52, 47});
                                 },
                                 bg),
                             "brand-sparkline-" + v);
        }
    }
};

QTEST_MAIN(TestBrand)
#include "tst_Brand.moc"
