#include "ui/UiDriver.h"
#include "ui/controls/Disclosure.h"
#include "ui/controls/FWButton.h"
#include "ui/controls/FWCheck.h"
#include "ui/controls/FWTextField.h"
#include "ui/controls/Field.h"
#include "ui/controls/GroupCaption.h"
#include "ui/controls/Icon.h"
#include "ui/controls/Segmented.h"
#include "ui/controls/StatusDot.h"
#include "ui/controls/SubHead.h"
#include "ui/controls/WarpToggle.h"
#include "ui/theme/FWRoot.h"
#include <QBoxLayout>

#include <QApplication>
#include <QTest>

using UiDriver::hover;

namespace {

using S = TunnelStatus;
const QStringList iconNames = {"gear",   "plus",   "minus",   "pencil", "duplicate",  "trash",  "ellipsis",
                               "search", "x",      "check",   "chevR",  "chevD",      "list",   "sliders",
                               "shield", "import", "info",    "key",    "bolt",       "power",  "copy",
                               "bell",   "moon",   "network", "globe",  "arrowRight", "folder", "refresh"};

QImage render(QWidget *widget)
{
    QImage image(widget->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    widget->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

} // namespace

class TestControls : public QObject {
    Q_OBJECT
private slots:
    void switchTapReportsNegationAndSquashesOnlyTurningOn()
    {
        WarpToggle toggle(false);
        QList<bool> reported;
        connect(&toggle, &WarpToggle::changed, this, [&](bool value) { reported.append(value); });
        toggle.show();

        QTest::mouseClick(&toggle, Qt::LeftButton, {}, QPoint(20, 12));
        QCOMPARE(reported, QList<bool>{true});
        QVERIFY(!toggle.isOn() && toggle.warp()); // the owner decides
        QCOMPARE(toggle.squashAnimator()->target(), 1.0);
        toggle.squashAnimator()->finish();
        const auto squashed = toggle.geometry(0, toggle.squashAnimator()->value()).knob;
        QVERIFY(squashed.width() > squashed.height());
        // The squash is released when the hold ends.
        toggle.warpHold()->setCurrentTime(toggle.warpHold()->duration() - 1);
        QVERIFY(toggle.warp());
        toggle.warpHold()->finish();
        QVERIFY(!toggle.warp() && toggle.squashAnimator()->target() == 0.0);

        // Turning off reports false and does not squash.
        toggle.setOn(true);
        toggle.knobAnimator()->finish();
        QTest::mouseClick(&toggle, Qt::LeftButton, {}, QPoint(20, 12));
        QCOMPARE(reported, (QList<bool>{true, false}));
        QVERIFY(toggle.isOn() && !toggle.warp() && toggle.squashAnimator()->target() == 0.0);
    }

    void disabledPrimaryShowsNoHover()
    {
        FWButton enabled("Save", FWButtonStyle::Kind::Primary);
        FWButton disabled("Save", FWButtonStyle::Kind::Primary);
        disabled.setEnabled(false);
        enabled.show();
        disabled.show();
        const QImage disabledResting = render(&disabled);
        const QImage enabledResting = render(&enabled);
        hover(&enabled);
        hover(&disabled);
        QVERIFY(enabled.showsHover() && !disabled.showsHover());
        QVERIFY(render(&enabled) != enabledResting);
        QCOMPARE(render(&disabled), disabledResting);
        // Hit area is the rounded shape: the very corner is outside.
        QVERIFY(!enabled.buttonStyle().shape(QRectF(0, 0, 80, 28)).contains(QPointF(0.5, 0.5)));
    }

    void statusDotRingFollowsStatus()
    {
        StatusDot dot(S::Connecting, 8);
        dot.show();
        QVERIFY(dot.showsPulseRing() && !dot.showsHalo());
        QCOMPARE(dot.pulseAnimator()->state(), QAbstractAnimation::Running);
        for (auto [status, halo] : {std::pair{S::Connected, true}, {S::Idle, false}, {S::Failed, true}}) {
            dot.setStatus(status);
            QVERIFY(!dot.showsPulseRing() && dot.showsHalo() == halo);
            QCOMPARE(dot.pulseAnimator()->state(), QAbstractAnimation::Stopped);
        }

        // One ripple per rise of warp, removed at once when its fade-in ends.
        QList<bool> ripple{dot.showsRipple()};
        dot.setWarp(true);
        ripple << dot.showsRipple();
        dot.rippleAnimator()->finish();
        ripple << dot.showsRipple();
        dot.setWarp(true);
        ripple << dot.showsRipple();
        dot.setWarp(false);
        dot.setWarp(true);
        ripple << dot.showsRipple();
        QCOMPARE(ripple, (QList<bool>{false, true, false, false, true}));
    }

    void captionsUpperCaseOnlyTheirText()
    {
        QCOMPARE(GroupCaption("work", "a-b").displayedText(), QStringLiteral("WORK · a-b"));
        QCOMPARE(GroupCaption::captionText("Home", std::nullopt), QStringLiteral("HOME"));
        QCOMPARE(SubHead("Advanced").displayedText(), QStringLiteral("ADVANCED"));
    }

    void iconsAndUnknownNames()
    {
        // Every short name and every symbol the menus use directly has a drawing.
        for (const QString &name : iconNames)
            QVERIFY2(Icon::hasSymbol(Icon::symbolFor(name)), qPrintable(name));
        for (const char *symbol : {"globe", "pencil", "square.on.square", "list.bullet", "trash", "chevron.right",
                                   "chevron.down", "questionmark"})
            QVERIFY2(Icon::hasSymbol(QLatin1String(symbol)), symbol);
        // Names match exactly; anything else is the question mark.
        QCOMPARE(Icon::symbolFor("Gear"), QStringLiteral("questionmark"));
        Icon unknown("nope", 20), other("also-unknown", 20), gear("gear", 20);
        QCOMPARE(render(&unknown), render(&other));
        QVERIFY(render(&unknown) != render(&gear));
    }

    void checkDisclosureAndSegmented()
    {
        FWCheck check(false);
        int actions = 0;
        connect(&check, &QAbstractButton::clicked, this, [&] { ++actions; });
        check.show();
        QTest::mouseClick(&check, Qt::LeftButton, {}, QPoint(9, 9));
        QVERIFY(actions == 1 && !check.on());

        auto content = new QWidget;
        Disclosure disclosure("Advanced", content);
        disclosure.resize(300, 100);
        disclosure.show();
        QVERIFY(!content->isVisible());
        QTest::mouseClick(disclosure.header(), Qt::LeftButton, {}, QPoint(250, 5));
        QVERIFY(disclosure.isOpen() && content->isVisible());

        Segmented picker({{"auto", "Auto"}, {"light", "Light"}, {"dark", "Dark"}}, "auto");
        picker.resize(picker.sizeHint());
        picker.show();
        QString chosen;
        connect(&picker, &Segmented::selectionChanged, this, [&](const QString &value) { chosen = value; });
        const QList<QRectF> rects = picker.optionRects();
        QCOMPARE(rects.size(), 3);
        QTest::mouseClick(&picker, Qt::LeftButton, {}, rects[2].center().toPoint());
        QCOMPARE(chosen, QStringLiteral("dark"));
        QCOMPARE(picker.optionAt(rects[1].center()), 1);
        QCOMPARE(picker.optionAt(QPointF(-5, -5)), -1);
    }

    void nestedFieldJoiningADarkWindowTakesItsColours()
    {
        // A text field inside a widget that is added to an already themed window gets no theme notice of its own.
        FWRoot root(new QWidget, Appearance::Dark);
        auto field = new FWTextField(QStringLiteral("host"));
        auto holder = new Field(QStringLiteral("SSH host"), field);
        auto layout = new QVBoxLayout(root.content());
        root.show();
        layout->addWidget(holder);
        holder->show();
        QCoreApplication::processEvents();
        QCOMPARE(field->palette().color(QPalette::PlaceholderText), FWTheme(true).text3());
        QCOMPARE(field->palette().color(QPalette::Text), FWTheme(true).text());
    }
};

QTEST_MAIN(TestControls)
#include "tst_Controls.moc"
