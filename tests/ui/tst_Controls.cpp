#include "ui/UiDriver.h"
#include "ui/brand/AppIcon.h"
#include "ui/brand/DrawnAppIcon.h"
#include "ui/brand/FlumeMark.h"
#include "ui/brand/Sparkline.h"
#include "ui/controls/FWCheck.h"
#include "ui/controls/Field.h"
#include "ui/controls/GroupCaption.h"
#include "ui/controls/Icon.h"
#include "ui/controls/Segmented.h"
#include "ui/controls/SubHead.h"
#include <QBoxLayout>
#include <QPainter>

using UiDriver::hover;

namespace {

using S = TunnelStatus;

QImage blank(QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QImage render(QWidget *widget)
{
    QImage image = blank(widget->size());
    widget->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

} // namespace

class TestControls : public QObject {
    Q_OBJECT
private slots:
    // A switch or a check reports the tap and leaves the change to its owner.
    void switchAndCheckReportTapsAndTheSwitchSquashesOnlyTurningOn()
    {
        WarpToggle toggle(false);
        QList<bool> reported;
        connect(&toggle, &WarpToggle::changed, this, [&](bool value) { reported.append(value); });
        toggle.show();

        QTest::mouseClick(&toggle, Qt::LeftButton, {}, QPoint(20, 12));
        QVERIFY(!toggle.isOn() && toggle.warp());
        toggle.squashAnimator()->finish();
        const auto squashed = toggle.geometry(0, toggle.squashAnimator()->value()).knob;
        QVERIFY(squashed.width() > squashed.height());
        // The squash is released when the hold ends.
        toggle.warpHold()->finish();
        QVERIFY(!toggle.warp() && toggle.squashAnimator()->target() == 0.0);

        // Turning off reports false and does not squash.
        toggle.setOn(true);
        toggle.knobAnimator()->finish();
        QTest::mouseClick(&toggle, Qt::LeftButton, {}, QPoint(20, 12));
        QCOMPARE(reported, (QList<bool>{true, false}));
        QVERIFY(toggle.isOn() && !toggle.warp() && toggle.squashAnimator()->target() == 0.0);

        FWCheck check(false);
        int actions = 0;
        connect(&check, &QAbstractButton::clicked, this, [&] { ++actions; });
        check.show();
        QTest::mouseClick(&check, Qt::LeftButton, {}, QPoint(9, 9));
        QVERIFY(actions == 1 && !check.on());
    }

    void disabledPrimaryShowsNoHover()
    {
        FWButton enabled("Save", FWButtonStyle::Kind::Primary), disabled("Save", FWButtonStyle::Kind::Primary);
        disabled.setEnabled(false);
        enabled.show();
        disabled.show();
        const QImage enabledResting = render(&enabled), disabledResting = render(&disabled);
        hover(&enabled);
        hover(&disabled);
        QVERIFY(render(&enabled) != enabledResting);
        QCOMPARE(render(&disabled), disabledResting);
        // Hit area is the rounded shape: the very corner is outside.
        QVERIFY(!enabled.buttonStyle().shape(QRectF(0, 0, 80, 28)).contains(QPointF(0.5, 0.5)));
    }

    void statusDotRingFollowsStatus()
    {
        StatusDot dot(S::Connecting, 8);
        dot.show();
        QVERIFY(dot.showsPulseRing() && !dot.showsHalo() &&
                dot.pulseAnimator()->state() == QAbstractAnimation::Running);
        for (auto [status, halo] : {std::pair{S::Connected, true}, {S::Idle, false}, {S::Failed, true}}) {
            dot.setStatus(status);
            QVERIFY(!dot.showsPulseRing() && dot.showsHalo() == halo);
            QCOMPARE(dot.pulseAnimator()->state(), QAbstractAnimation::Stopped);
        }

        // One ripple per rise of warp, removed at once when its fade-in ends.
        dot.setWarp(true);
        QVERIFY(dot.showsRipple());
        dot.rippleAnimator()->finish();
        dot.setWarp(true); // no rise: no new ripple
        QVERIFY(!dot.showsRipple());
        dot.setWarp(false);
        dot.setWarp(true);
        QVERIFY(dot.showsRipple());
    }

    void captionsIconsAndLookupsOutsideTheTable()
    {
        // Captions upper-case their text only.
        QCOMPARE(GroupCaption("work", "a-b").displayedText(), QStringLiteral("WORK · a-b"));
        QCOMPARE(GroupCaption::captionText("Home", std::nullopt), QStringLiteral("HOME"));
        QCOMPARE(SubHead("Advanced").displayedText(), QStringLiteral("ADVANCED"));
        // The segmented control maps no option outside it.
        QCOMPARE(Segmented({{"auto", "Auto"}, {"dark", "Dark"}}, "auto").optionAt(QPointF(-5, -5)), -1);

        // Every short name and every symbol the menus use directly has a drawing.
        for (const char *name :
             {"gear",  "plus",  "minus", "pencil",  "duplicate", "trash",      "ellipsis", "search", "x",    "check",
              "chevR", "chevD", "list",  "sliders", "shield",    "import",     "info",     "key",    "bolt", "power",
              "copy",  "bell",  "moon",  "network", "globe",     "arrowRight", "folder",   "refresh"})
            QVERIFY2(Icon::hasSymbol(Icon::symbolFor(name)), name);
        for (const char *symbol : {"globe", "pencil", "square.on.square", "list.bullet", "trash", "chevron.right",
                                   "chevron.down", "questionmark"})
            QVERIFY2(Icon::hasSymbol(QLatin1String(symbol)), symbol);
        // Names match exactly; anything else is the question mark.
        QCOMPARE(Icon::symbolFor("Gear"), QStringLiteral("questionmark"));
        Icon unknown("nope", 20), gear("gear", 20);
        QVERIFY(render(&unknown) != render(&gear));
    }

    void nestedFieldJoiningADarkWindowTakesItsColours()
    {
        // A text field inside a widget that is added to an already themed window gets no theme notice of its own.
        FWRoot root(new QWidget, Appearance::Dark);
        auto field = new FWTextField(QStringLiteral("host"));
        auto layout = new QVBoxLayout(root.content());
        root.show();
        auto holder = new Field(QStringLiteral("SSH host"), field);
        layout->addWidget(holder);
        holder->show();
        QCoreApplication::processEvents();
        QCOMPARE(field->palette().color(QPalette::PlaceholderText), FWTheme(true).text3());
        QCOMPARE(field->palette().color(QPalette::Text), FWTheme(true).text());
    }

    void sparklinePointsFollowTheRule()
    {
        // Fewer than two samples draw nothing; a flat series sits in the bottom band, spread evenly; a span too
        // small to divide by is widened.
        const QList<std::pair<QList<double>, QList<QPointF>>> cases{
            {{}, {}},
            {{42}, {}},
            {{5, 15}, {{0, 15.84}, {56, 2.16}}},
            {{10, 10, 10}, {{0, 15.84}, {28, 15.84}, {56, 15.84}}},
            {{1.00001, 1.0}, {{0, 14.472}, {56, 15.84}}},
        };
        for (const auto &[samples, points] : cases)
            QCOMPARE(sparklinePoints(samples, 56, 18), points);
    }

    void markFillsAndMissingIconPicture()
    {
        const QPoint body(10, 13), collar(10, 5);
        const QList<std::tuple<FlumeMark::Fill, QPoint, int>> inks{{FlumeMark::Fill::Outline, body, 0},
                                                                   {FlumeMark::Fill::Body, body, 255},
                                                                   {FlumeMark::Fill::Body, collar, 0},
                                                                   {FlumeMark::Fill::Full, collar, 255}};
        for (const auto &[fill, point, alpha] : inks) {
            QImage image = blank({20, 20});
            QPainter painter(&image);
            FlumeMark::paint(painter, {0, 0}, fill, 20, Qt::black);
            QCOMPARE(qAlpha(image.pixel(point)), alpha);
        }

        // No icon resource here: the lookup says so and the drawn icon stands in.
        QImage viaLookup = blank({64, 64}), drawn = blank({64, 64});
        {
            QPainter a(&viaLookup), b(&drawn);
            QVERIFY(!AppIcon::paint(a, QRectF(0, 0, 64, 64), true, false));
            DrawnAppIcon::paint(b, QRectF(0, 0, 64, 64), true);
        }
        QCOMPARE(viaLookup, drawn);
    }
};

QTEST_MAIN(TestControls)
#include "tst_Controls.moc"
