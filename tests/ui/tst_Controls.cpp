#include "support/Shots.h"
#include "ui/controls/Disclosure.h"
#include "ui/controls/FWButton.h"
#include "ui/controls/FWCheck.h"
#include "ui/controls/FWLabel.h"
#include "ui/controls/FWTextField.h"
#include "ui/controls/Field.h"
#include "ui/controls/GroupCaption.h"
#include "ui/controls/GroupCard.h"
#include "ui/controls/Icon.h"
#include "ui/controls/OptRow.h"
#include "ui/controls/PrefRow.h"
#include "ui/controls/Segmented.h"
#include "ui/controls/StatusDot.h"
#include "ui/controls/SubHead.h"
#include "ui/controls/TypeChip.h"
#include "ui/controls/WarpToggle.h"
#include "ui/theme/FWRoot.h"

#include <QApplication>
#include <QBoxLayout>
#include <QEnterEvent>
#include <QFormLayout>
#include <QPainter>
#include <QTest>

namespace {

using S = TunnelStatus;
const QStringList iconNames = {"gear",   "plus",   "minus",   "pencil", "duplicate",  "trash",  "ellipsis",
                               "search", "x",      "check",   "chevR",  "chevD",      "list",   "sliders",
                               "shield", "import", "info",    "key",    "bolt",       "power",  "copy",
                               "bell",   "moon",   "network", "globe",  "arrowRight", "folder", "refresh"};

// The window background of the theme in force, so pictures show controls on what they sit on.
class Backdrop : public QWidget {
protected:
    void paintEvent(QPaintEvent *) override { QPainter(this).fillRect(rect(), FWTheme::of(this).winBg()); }
};

// One picture per control, written when the sheet goes: every state on its own captioned line, in one theme.
class Sheet {
public:
    Sheet(bool dark, const QString &name)
        : m_name(name + "-" + Shots::theme(dark)), m_root(new Backdrop, dark ? Appearance::Dark : Appearance::Light)
    {
        m_rows = new QFormLayout(m_root.content());
        m_rows->setContentsMargins(14, 12, 14, 12);
        m_rows->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    }
    ~Sheet()
    {
        show();
        Shots::save(&m_root, m_name);
    }
    template <typename W> W *add(const QString &caption, W *widget)
    {
        m_rows->addRow(new FWLabel(caption, FWTheme::font(10.5), FWTheme::Role::Text3), widget);
        return widget;
    }
    void show()
    {
        m_root.resize(m_root.sizeHint().expandedTo(QSize(420, 10)));
        m_root.show();
        QCoreApplication::processEvents();
    }

private:
    QString m_name;
    FWRoot m_root;
    QFormLayout *m_rows = nullptr;
};

void hover(QWidget *widget)
{
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QCoreApplication::sendEvent(widget, &enter);
}

QImage render(QWidget *widget)
{
    QImage image(widget->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    widget->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

template <typename W, typename F> W *with(W *widget, F change)
{
    change(widget);
    return widget;
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
        QVERIFY(!toggle.isOn()); // the owner decides
        QVERIFY(toggle.warp());
        QCOMPARE(toggle.squashAnimator()->target(), 1.0);
        toggle.squashAnimator()->finish();
        const auto squashed = toggle.geometry(0, toggle.squashAnimator()->value()).knob;
        QVERIFY(squashed.width() > squashed.height());
        // The squash is released when the hold ends.
        toggle.warpHold()->setCurrentTime(toggle.warpHold()->duration() - 1);
        QVERIFY(toggle.warp());
        toggle.warpHold()->finish();
        QVERIFY(!toggle.warp());
        QCOMPARE(toggle.squashAnimator()->target(), 0.0);

        // Turning off reports false and does not squash.
        toggle.setOn(true);
        toggle.knobAnimator()->finish();
        QTest::mouseClick(&toggle, Qt::LeftButton, {}, QPoint(20, 12));
        QCOMPARE(reported, (QList<bool>{true, false}));
        QVERIFY(toggle.isOn());
        QVERIFY(!toggle.warp());
        QCOMPARE(toggle.squashAnimator()->target(), 0.0);
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
        QVERIFY(enabled.showsHover());
        QVERIFY(!disabled.showsHover());
        QVERIFY(render(&enabled) != enabledResting);
        QCOMPARE(render(&disabled), disabledResting);
        // Resting disabled is the enabled picture at 0.4 opacity.
        const QPoint middle(enabled.width() / 2, 3);
        QVERIFY(qAbs(qAlpha(disabledResting.pixel(middle)) - 0.4 * qAlpha(enabledResting.pixel(middle))) < 4);
        // Hit area is the rounded shape: the very corner is outside.
        QVERIFY(!enabled.buttonStyle().shape(QRectF(0, 0, 80, 28)).contains(QPointF(0.5, 0.5)));
    }

    void statusDotRingFollowsStatus()
    {
        StatusDot dot(S::Connecting, 8);
        dot.show();
        QVERIFY(dot.showsPulseRing());
        QVERIFY(!dot.showsHalo());
        QCOMPARE(dot.pulseAnimator()->state(), QAbstractAnimation::Running);
        for (auto [status, halo] : {std::pair{S::Connected, true}, {S::Idle, false}, {S::Failed, true}}) {
            dot.setStatus(status);
            QVERIFY(!dot.showsPulseRing());
            QCOMPARE(dot.showsHalo(), halo);
            QCOMPARE(dot.pulseAnimator()->state(), QAbstractAnimation::Stopped);
        }

        // One ripple per rise of warp, removed at once when its fade-in ends.
        QVERIFY(!dot.showsRipple());
        dot.setWarp(true);
        QVERIFY(dot.showsRipple());
        dot.rippleAnimator()->finish();
        QVERIFY(!dot.showsRipple());
        dot.setWarp(true);
        QVERIFY(!dot.showsRipple());
        dot.setWarp(false);
        dot.setWarp(true);
        QVERIFY(dot.showsRipple());
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
        QVERIFY(QFile::exists(":/icons/LICENSE.lucide"));
        // Names match exactly; anything else is the question mark.
        QCOMPARE(Icon::symbolFor("Gear"), QStringLiteral("questionmark"));
        Icon unknown("nope", 20), other("also-unknown", 20), gear("gear", 20);
        const QImage unknownImage = render(&unknown);
        QCOMPARE(unknownImage, render(&other));
        QVERIFY(unknownImage != render(&gear));
        int inked = 0;
        for (int y = 0; y < unknownImage.height(); ++y)
            for (int x = 0; x < unknownImage.width(); ++x)
                inked += qAlpha(unknownImage.pixel(x, y)) > 0;
        QVERIFY(inked > 10);
    }

    void checkDisclosureAndSegmented()
    {
        FWCheck check(false);
        int actions = 0;
        connect(&check, &QAbstractButton::clicked, this, [&] { ++actions; });
        check.show();
        QTest::mouseClick(&check, Qt::LeftButton, {}, QPoint(9, 9));
        QCOMPARE(actions, 1);
        QVERIFY(!check.on());

        auto content = new QWidget;
        Disclosure disclosure("Advanced", content);
        disclosure.resize(300, 100);
        disclosure.show();
        QVERIFY(!content->isVisible());
        QTest::mouseClick(disclosure.header(), Qt::LeftButton, {}, QPoint(250, 5));
        QVERIFY(disclosure.isOpen());
        QVERIFY(content->isVisible());

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
        Segmented wide({{"a", "A"}, {"b", "Bee"}}, "a", true);
        wide.resize(200, 30);
        QCOMPARE(wide.optionRects()[0].width(), wide.optionRects()[1].width());
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

    void picturesOfEveryControl()
    {
        using Kind = FWButtonStyle::Kind;
        const QList<S> statuses{S::Connected, S::Connecting, S::Failed, S::Idle};
        for (bool dark : {false, true}) {
            {
                Sheet sheet(dark, "button");
                QList<FWButton *> hovered;
                for (auto [kind, name] :
                     {std::pair{Kind::Normal, "normal"}, {Kind::Primary, "primary"}, {Kind::Ghost, "ghost"}}) {
                    for (bool compact : {false, true}) {
                        const QString base = QStringLiteral("%1%2 ").arg(name, compact ? " compact" : "");
                        auto button = [&](const QString &state) {
                            return sheet.add(base + state, new FWButton("Save Tunnel", kind, compact));
                        };
                        button("rest");
                        hovered << button("hover");
                        button("pressed")->setDown(true);
                        hovered << with(button("disabled+hover"), [](FWButton *b) { b->setEnabled(false); });
                        button("icon")->setIconName("plus");
                    }
                }
                sheet.show();
                for (FWButton *button : hovered)
                    hover(button);
            }
            {
                Sheet sheet(dark, "textfield");
                sheet.add("placeholder", new FWTextField("host.example.com"));
                auto field = [&](const QString &caption, const QString &text, bool mono = false, bool secure = false,
                                 bool centered = false) {
                    return with(sheet.add(caption, new FWTextField("placeholder", mono, secure, centered)),
                                [&](FWTextField *f) { f->setText(text); });
                };
                field("text", "bastion.internal");
                field("focused", "focused")->focusAnimator()->jumpTo(1);
                field("mono", "127.0.0.1:8080", true);
                field("secure", "secret", false, true);
                field("centered", "22", true, false, true);
            }
            {
                Sheet sheet(dark, "icon");
                const QStringList names = iconNames + QStringList{"unknown-name"};
                for (int start = 0; start < names.size(); start += 10) {
                    auto line = sheet.add(names.mid(start, 10).join(' ').left(24), new QWidget);
                    auto layout = new QHBoxLayout(line);
                    for (const QString &name : names.mid(start, 10))
                        layout->addWidget(new Icon(name, 16, QFont::Medium));
                }
                auto layout = new QHBoxLayout(sheet.add("weights, accent", new QWidget));
                for (auto weight : {QFont::Light, QFont::Normal, QFont::Medium, QFont::DemiBold, QFont::Bold})
                    layout->addWidget(new Icon("gear", 22, weight, FWTheme::Role::Accent));
            }
            {
                Sheet sheet(dark, "statusdot");
                for (S status : statuses)
                    sheet.add(textOf(status), new StatusDot(status, 8));
                auto early = sheet.add("connecting, pulse 0.25", new StatusDot(S::Connecting, 8));
                auto late = sheet.add("connecting, pulse 0.6", new StatusDot(S::Connecting, 8));
                auto big = sheet.add("connected 12, ripple", new StatusDot(S::Connected, 12));
                sheet.show();
                early->pulseAnimator()->setCurrentTime(1300 / 4);
                late->pulseAnimator()->setCurrentTime(1300 * 6 / 10);
                big->setWarp(true);
                big->rippleAnimator()->setCurrentTime(400);
            }
            {
                Sheet sheet(dark, "switch");
                QList<WarpToggle *> squash;
                for (bool small : {false, true}) {
                    const QString size = small ? "small " : "";
                    sheet.add(size + "off", new WarpToggle(false, S::Connected, small));
                    for (S status : statuses)
                        sheet.add(size + "on " + textOf(status), new WarpToggle(true, status, small));
                    squash << sheet.add(size + "turning on, squashed", new WarpToggle(false, S::Connected, small));
                }
                sheet.show();
                for (WarpToggle *toggle : squash) {
                    connect(toggle, &WarpToggle::changed, toggle, &WarpToggle::setOn);
                    toggle->click();
                    toggle->knobAnimator()->setCurrentTime(120);
                    toggle->squashAnimator()->finish();
                }
            }
            {
                Sheet sheet(dark, "form-parts");
                for (auto type : {TunnelType::Local, TunnelType::Remote, TunnelType::Socks})
                    sheet.add("chip " + textOf(type), new TypeChip(type));
                sheet.add("check off", new FWCheck(false));
                sheet.add("check on", new FWCheck(true));
                sheet.add("optrow on, hint, badge",
                          new OptRow("Compression", "Sends -C. Helps on slow links, costs a little CPU on fast ones.",
                                     true, new TypeChip(TunnelType::Socks)));
                sheet.add("optrow off, no hint", new OptRow("Keep alive", std::nullopt, false));
                sheet.add("disclosure closed",
                          new Disclosure("Advanced options", new FWLabel("hidden", FWTheme::font(12))));
                sheet.add("disclosure open",
                          new Disclosure("Advanced options", new FWLabel("Content below", FWTheme::font(12)), true));
                sheet.add("subhead", new SubHead("Connection"));
                sheet.add("caption", new GroupCaption("work", "a-b"));
                sheet.add("group card", new GroupCard(new FWLabel("Card content", FWTheme::font(12.5))))
                    ->setMinimumWidth(220);
                sheet.add("field", new Field("SSH host", new FWTextField("host"), "user@host or an alias"));
                sheet.add("field, top", new Field("Extra options", new FWTextField("extra"), std::nullopt, true));
                sheet.add("prefrow",
                          new PrefRow("Launch at login", new WarpToggle(true), "Starts Flumewire when you log in."));
            }
            {
                Sheet sheet(dark, "segmented");
                const QList<Segmented::Option> options = {{"auto", "Auto"}, {"light", "Light"}, {"dark", "Dark"}};
                sheet.add("selected", new Segmented(options, "light"));
                auto hovered = sheet.add("hover on Dark", new Segmented(options, "auto"));
                auto sliding = sheet.add("sliding to Dark", new Segmented(options, "auto"));
                sheet.add("full width", new Segmented(options, "dark", true))->setMinimumWidth(260);
                sheet.show();
                const QPointF over = hovered->optionRects()[2].center();
                QMouseEvent move(QEvent::MouseMove, over, hovered->mapToGlobal(over), Qt::NoButton, Qt::NoButton, {});
                QCoreApplication::sendEvent(hovered, &move);
                QCOMPARE(hovered->hovered(), std::optional<QString>("dark"));
                hovered->hoverAnimator()->finish();
                sliding->setSelection("dark");
                sliding->thumbAnimator()->setCurrentTime(80);
            }
        }
    }
};

QTEST_MAIN(TestControls)
#include "tst_Controls.moc"
