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
#include <QPainter>
#include <QTest>

namespace {

// The window background of the theme in force, so pictures show controls on what they sit on.
class Backdrop : public QWidget {
public:
    Backdrop() { setAttribute(Qt::WA_StyledBackground, false); }

protected:
    void paintEvent(QPaintEvent *) override { QPainter(this).fillRect(rect(), FWTheme::of(this).winBg()); }
};

// One picture per control: every state side by side, each with a caption, in one theme.
class Sheet {
public:
    explicit Sheet(bool dark)
        : m_backdrop(new Backdrop), m_root(m_backdrop, dark ? Appearance::Dark : Appearance::Light)
    {
        m_rows = new QVBoxLayout(m_backdrop);
        m_rows->setContentsMargins(14, 12, 14, 12);
        m_rows->setSpacing(10);
    }

    void add(const QString &caption, QWidget *widget)
    {
        auto line = new QHBoxLayout;
        auto label = new FWLabel(caption, FWTheme::font(10.5), FWTheme::Role::Text3);
        label->setFixedWidth(150);
        line->addWidget(label);
        line->addWidget(widget);
        line->addStretch(1);
        m_rows->addLayout(line);
    }

    FWRoot *root() { return &m_root; }

    void show()
    {
        m_root.resize(m_root.sizeHint().expandedTo(QSize(420, 10)));
        m_root.show();
        QCoreApplication::processEvents();
    }

    void save(const QString &name)
    {
        show();
        QVERIFY2(!Shots::save(&m_root, name).isEmpty() || qEnvironmentVariableIsEmpty("FLUMEWIRE_TEST_OUTPUT"),
                 qPrintable(name));
    }

private:
    Backdrop *m_backdrop;
    FWRoot m_root;
    QVBoxLayout *m_rows = nullptr;
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

QString variant(bool dark)
{
    return dark ? QStringLiteral("dark") : QStringLiteral("light");
}

} // namespace

class TestControls : public QObject {
    Q_OBJECT
private slots:
    void switchTapReportsNegationAndSquashesOnlyTurningOn()
    {
        WarpToggle toggle(false);
        QList<bool> reported;
        toggle.onChange = [&](bool value) { reported.append(value); };
        toggle.show();

        QTest::mouseClick(&toggle, Qt::LeftButton, {}, QPoint(20, 12));
        QCOMPARE(reported, QList<bool>{true});
        QVERIFY(!toggle.isOn()); // the owner decides
        QVERIFY(toggle.warp());
        QCOMPARE(toggle.squashAnimator()->target(), 1.0);
        toggle.squashAnimator()->finish();
        const auto squashed = toggle.geometry(0, toggle.squashAnimator()->value()).knob;
        QCOMPARE(squashed.width(), 20 * 1.18);
        QCOMPARE(squashed.height(), 20 * 0.82);
        // 0.46 s later the squash is released.
        QCOMPARE(toggle.warpHold()->duration(), 460);
        toggle.warpHold()->setCurrentTime(459);
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

        // Sizes and knob travel.
        WarpToggle small(false, TunnelStatus::Connected, true);
        QCOMPARE(small.size(), QSize(34, 21));
        QCOMPARE(small.geometry(0, 0).knob, QRectF(2, 2, 17, 17));
        QCOMPARE(small.geometry(1, 0).knob, QRectF(15, 2, 17, 17));
        QCOMPARE(toggle.geometry(1, 0).knob, QRectF(18, 2, 20, 20));
    }

    void disabledPrimaryShowsNoHover()
    {
        FWButton enabled(QStringLiteral("Save"), FWButtonStyle::Kind::Primary);
        FWButton disabled(QStringLiteral("Save"), FWButtonStyle::Kind::Primary);
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
        QCOMPARE(FWButtonStyle(FWButtonStyle::Kind::Normal, true).padding(), QMarginsF(8, 3, 8, 3));
    }

    void statusDotRingFollowsStatus()
    {
        QWidget window;
        auto dot = new StatusDot(TunnelStatus::Connecting, 8, &window);
        window.resize(60, 60);
        dot->move(20, 20);
        window.show();
        QCOMPARE(dot->size(), QSize(14, 14));
        QVERIFY(dot->showsPulseRing());
        QVERIFY(!dot->showsHalo());
        QCOMPARE(dot->pulseAnimator()->state(), QAbstractAnimation::Running);
        QCOMPARE(dot->pulseAnimator()->duration(), 1300);
        QCOMPARE(dot->pulseAnimator()->loopCount(), -1);

        dot->setStatus(TunnelStatus::Connected);
        QVERIFY(!dot->showsPulseRing());
        QVERIFY(dot->showsHalo());
        QCOMPARE(dot->pulseAnimator()->state(), QAbstractAnimation::Stopped);
        dot->setStatus(TunnelStatus::Idle);
        QVERIFY(!dot->showsHalo());
        dot->setStatus(TunnelStatus::Failed);
        QVERIFY(dot->showsHalo());

        // One ripple per rise of warp, removed at once when its 0.5 s fade-in ends.
        QVERIFY(!dot->showsRipple());
        dot->setWarp(true);
        QVERIFY(dot->showsRipple());
        QCOMPARE(dot->rippleAnimator()->duration(), 500);
        dot->rippleAnimator()->finish();
        QVERIFY(!dot->showsRipple());
        dot->setWarp(true);
        QVERIFY(!dot->showsRipple());
        dot->setWarp(false);
        QVERIFY(!dot->showsRipple());
        dot->setWarp(true);
        QVERIFY(dot->showsRipple());
    }

    void captionsUpperCaseOnlyTheirText()
    {
        GroupCaption caption(QStringLiteral("work"), QStringLiteral("a-b"));
        QCOMPARE(caption.displayedText(), QStringLiteral("WORK · a-b"));
        QCOMPARE(GroupCaption::captionText(QStringLiteral("Home"), std::nullopt), QStringLiteral("HOME"));
        QCOMPARE(SubHead(QStringLiteral("Advanced")).displayedText(), QStringLiteral("ADVANCED"));
    }

    void iconsAndUnknownNames()
    {
        QCOMPARE(Icon::symbolFor(QStringLiteral("gear")), QStringLiteral("gearshape"));
        QCOMPARE(Icon::symbolFor(QStringLiteral("refresh")), QStringLiteral("arrow.clockwise"));
        QCOMPARE(Icon::symbolFor(QStringLiteral("Gear")), QStringLiteral("questionmark"));
        QCOMPARE(Icon::symbolFor(QStringLiteral("nope")), QStringLiteral("questionmark"));
        const QStringList names = {"gear",   "plus",   "minus",   "pencil", "duplicate",  "trash",  "ellipsis",
                                   "search", "x",      "check",   "chevR",  "chevD",      "list",   "sliders",
                                   "shield", "import", "info",    "key",    "bolt",       "power",  "copy",
                                   "bell",   "moon",   "network", "globe",  "arrowRight", "folder", "refresh"};
        for (const QString &name : names)
            QVERIFY2(Icon::hasSymbol(Icon::symbolFor(name)), qPrintable(name));
        // The row menus use symbols directly.
        for (const char *symbol : {"globe", "pencil", "square.on.square", "list.bullet", "trash", "chevron.right",
                                   "chevron.down", "questionmark"})
            QVERIFY2(Icon::hasSymbol(QLatin1String(symbol)), symbol);
        QVERIFY(QFile::exists(QStringLiteral(":/icons/LICENSE.lucide")));

        Icon unknown(QStringLiteral("nope"), 20);
        Icon question(QStringLiteral("also-unknown"), 20);
        Icon gear(QStringLiteral("gear"), 20);
        const QImage unknownImage = render(&unknown);
        QCOMPARE(unknownImage, render(&question));
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
        check.action = [&] { ++actions; };
        check.show();
        QTest::mouseClick(&check, Qt::LeftButton, {}, QPoint(9, 9));
        QCOMPARE(actions, 1);
        QVERIFY(!check.on());

        auto content = new QWidget;
        Disclosure disclosure(QStringLiteral("Advanced"), content);
        disclosure.resize(300, 100);
        disclosure.show();
        QVERIFY(!content->isVisible());
        QTest::mouseClick(disclosure.header(), Qt::LeftButton, {}, QPoint(250, 5));
        QVERIFY(disclosure.isOpen());
        QVERIFY(content->isVisible());
        QCOMPARE(disclosure.turnAnimator()->target(), 1.0);

        Segmented picker({{"auto", "Auto"}, {"light", "Light"}, {"dark", "Dark"}}, QStringLiteral("auto"));
        picker.resize(picker.sizeHint());
        picker.show();
        QString chosen;
        connect(&picker, &Segmented::selectionChanged, this, [&](const QString &value) { chosen = value; });
        const QList<QRectF> rects = picker.optionRects();
        QCOMPARE(rects.size(), 3);
        QCOMPARE(rects[0].left(), 2.0);
        QTest::mouseClick(&picker, Qt::LeftButton, {}, rects[2].center().toPoint());
        QCOMPARE(chosen, QStringLiteral("dark"));
        QCOMPARE(picker.thumbAnimator()->duration(), 260);
        QCOMPARE(picker.optionAt(rects[1].center()), 1);
        QCOMPARE(picker.optionAt(QPointF(-5, -5)), -1);

        Segmented wide({{"a", "A"}, {"b", "Bee"}}, QStringLiteral("a"), true);
        wide.resize(200, 30);
        QCOMPARE(wide.optionRects()[0].width(), wide.optionRects()[1].width());
    }

    void picturesOfEveryControl_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::newRow("light") << false;
        QTest::newRow("dark") << true;
    }

    void picturesOfEveryControl()
    {
        QFETCH(bool, dark);
        const QString v = variant(dark);
        using Kind = FWButtonStyle::Kind;
        {
            Sheet sheet(dark);
            for (auto [kind, name] :
                 {std::pair{Kind::Normal, "normal"}, {Kind::Primary, "primary"}, {Kind::Ghost, "ghost"}}) {
                for (bool compact : {false, true}) {
                    const QString base = QStringLiteral("%1%2 ").arg(QLatin1String(name), compact ? " compact" : "");
                    sheet.add(base + "rest", new FWButton(QStringLiteral("Save Tunnel"), kind, compact));
                    auto hovered = new FWButton(QStringLiteral("Save Tunnel"), kind, compact);
                    sheet.add(base + "hover", hovered);
                    auto pressed = new FWButton(QStringLiteral("Save Tunnel"), kind, compact);
                    pressed->setDown(true);
                    sheet.add(base + "pressed", pressed);
                    auto disabled = new FWButton(QStringLiteral("Save Tunnel"), kind, compact);
                    disabled->setEnabled(false);
                    sheet.add(base + "disabled+hover", disabled);
                    auto withIcon = new FWButton(QStringLiteral("New"), kind, compact);
                    withIcon->setIconName(QStringLiteral("plus"));
                    sheet.add(base + "icon", withIcon);
                    sheet.show();
                    hover(hovered);
                    hover(disabled);
                }
            }
            sheet.save("button-" + v);
        }
        {
            Sheet sheet(dark);
            sheet.add("placeholder", new FWTextField(QStringLiteral("host.example.com")));
            auto filled = new FWTextField(QStringLiteral("placeholder"));
            filled->setText(QStringLiteral("bastion.internal"));
            sheet.add("text", filled);
            auto focused = new FWTextField(QStringLiteral("placeholder"));
            focused->setText(QStringLiteral("focused"));
            sheet.add("focused", focused);
            auto mono = new FWTextField(QStringLiteral("8080"), true);
            mono->setText(QStringLiteral("127.0.0.1:8080"));
            sheet.add("mono", mono);
            auto secure = new FWTextField(QString(), false, true);
            secure->setText(QStringLiteral("secret"));
            sheet.add("secure", secure);
            auto centered = new FWTextField(QString(), true, false, true);
            centered->setText(QStringLiteral("22"));
            sheet.add("centered", centered);
            focused->focusAnimator()->jumpTo(1);
            sheet.save("textfield-" + v);
        }
        {
            Sheet sheet(dark);
            const QStringList names = {"gear",     "plus",       "minus",  "pencil",  "duplicate",   "trash",
                                       "ellipsis", "search",     "x",      "check",   "chevR",       "chevD",
                                       "list",     "sliders",    "shield", "import",  "info",        "key",
                                       "bolt",     "power",      "copy",   "bell",    "moon",        "network",
                                       "globe",    "arrowRight", "folder", "refresh", "unknown-name"};
            for (int start = 0; start < names.size(); start += 10) {
                auto line = new QWidget;
                auto layout = new QHBoxLayout(line);
                layout->setSpacing(10);
                for (const QString &name : names.mid(start, 10))
                    layout->addWidget(new Icon(name, 16, QFont::Medium));
                sheet.add(names.mid(start, 10).join(' ').left(24), line);
            }
            auto weights = new QWidget;
            auto layout = new QHBoxLayout(weights);
            for (auto weight : {QFont::Light, QFont::Normal, QFont::Medium, QFont::DemiBold, QFont::Bold})
                layout->addWidget(new Icon(QStringLiteral("gear"), 22, weight, FWTheme::Role::Accent));
            sheet.add("weights, accent", weights);
            sheet.save("icon-" + v);
        }
        {
            Sheet sheet(dark);
            sheet.add("local", new TypeChip(TunnelType::Local));
            sheet.add("remote", new TypeChip(TunnelType::Remote));
            sheet.add("socks", new TypeChip(TunnelType::Socks));
            sheet.save("typechip-" + v);
        }
        {
            Sheet sheet(dark);
            for (auto status :
                 {TunnelStatus::Connected, TunnelStatus::Connecting, TunnelStatus::Failed, TunnelStatus::Idle})
                sheet.add(rawValue(status), new StatusDot(status, 8));
            auto early = new StatusDot(TunnelStatus::Connecting, 8);
            auto late = new StatusDot(TunnelStatus::Connecting, 8);
            sheet.add("connecting, pulse 0.25", early);
            sheet.add("connecting, pulse 0.6", late);
            auto big = new StatusDot(TunnelStatus::Connected, 12);
            sheet.add("connected 12, ripple", big);
            sheet.show();
            early->pulseAnimator()->setCurrentTime(1300 / 4);
            late->pulseAnimator()->setCurrentTime(1300 * 6 / 10);
            big->setWarp(true);
            big->rippleAnimator()->setCurrentTime(400);
            sheet.save("statusdot-" + v);
        }
        {
            Sheet sheet(dark);
            QList<WarpToggle *> squash;
            for (bool small : {false, true}) {
                const QString size = small ? "small " : "";
                sheet.add(size + "off", new WarpToggle(false, TunnelStatus::Connected, small));
                for (auto status :
                     {TunnelStatus::Connected, TunnelStatus::Connecting, TunnelStatus::Failed, TunnelStatus::Idle})
                    sheet.add(size + "on " + rawValue(status), new WarpToggle(true, status, small));
                auto squashed = new WarpToggle(false, TunnelStatus::Connected, small);
                sheet.add(size + "turning on, squashed", squashed);
                squash.append(squashed);
            }
            sheet.show();
            for (WarpToggle *toggle : squash) {
                toggle->onChange = [toggle](bool on) { toggle->setOn(on); };
                toggle->click();
                toggle->knobAnimator()->setCurrentTime(120);
                toggle->squashAnimator()->finish();
            }
            sheet.save("switch-" + v);
        }
        {
            Sheet sheet(dark);
            sheet.add("off", new FWCheck(false));
            sheet.add("on", new FWCheck(true));
            sheet.save("check-" + v);
        }
        {
            Sheet sheet(dark);
            auto badge = new TypeChip(TunnelType::Socks);
            sheet.add("on, hint, badge",
                      new OptRow(QStringLiteral("Compression"),
                                 QStringLiteral("Sends -C. Helps on slow links, costs a little CPU on fast ones."),
                                 true, badge));
            sheet.add("off, no hint", new OptRow(QStringLiteral("Keep alive"), std::nullopt, false));
            sheet.save("optrow-" + v);
        }
        {
            Sheet sheet(dark);
            sheet.add("closed",
                      new Disclosure(QStringLiteral("Advanced options"), new FWLabel("hidden", FWTheme::font(12))));
            sheet.add("open", new Disclosure(QStringLiteral("Advanced options"),
                                             new FWLabel(QStringLiteral("Content below"), FWTheme::font(12)), true));
            sheet.save("disclosure-" + v);
        }
        {
            Sheet sheet(dark);
            sheet.add("subhead", new SubHead(QStringLiteral("Connection")));
            sheet.add("caption", new GroupCaption(QStringLiteral("work"), QStringLiteral("a-b")));
            auto card = new GroupCard(new FWLabel(QStringLiteral("Card content"), FWTheme::font(12.5)));
            card->setMinimumWidth(220);
            sheet.add("group card", card);
            sheet.save("captions-cards-" + v);
        }
        {
            Sheet sheet(dark);
            auto host = new FWTextField(QStringLiteral("host"));
            sheet.add("field", new Field(QStringLiteral("SSH host"), host, QStringLiteral("user@host or an alias")));
            auto tall = new FWTextField(QStringLiteral("extra"));
            sheet.add("field, top", new Field(QStringLiteral("Extra options"), tall, std::nullopt, true));
            sheet.add("prefrow", new PrefRow(QStringLiteral("Launch at login"), new WarpToggle(true),
                                             QStringLiteral("Starts Flumewire when you log in.")));
            sheet.save("field-prefrow-" + v);
        }
        {
            Sheet sheet(dark);
            const QList<Segmented::Option> options = {{"auto", "Auto"}, {"light", "Light"}, {"dark", "Dark"}};
            sheet.add("selected", new Segmented(options, QStringLiteral("light")));
            auto hovered = new Segmented(options, QStringLiteral("auto"));
            sheet.add("hover on Dark", hovered);
            auto sliding = new Segmented(options, QStringLiteral("auto"));
            sheet.add("sliding to Dark", sliding);
            auto wide = new Segmented(options, QStringLiteral("dark"), true);
            wide->setMinimumWidth(260);
            sheet.add("full width", wide);
            sheet.show();
            const QPointF over = hovered->optionRects()[2].center();
            QMouseEvent move(QEvent::MouseMove, over, hovered->mapToGlobal(over), Qt::NoButton, Qt::NoButton, {});
            QCoreApplication::sendEvent(hovered, &move);
            QCOMPARE(hovered->hovered(), std::optional<QString>(QStringLiteral("dark")));
            hovered->hoverAnimator()->finish();
            sliding->setSelection(QStringLiteral("dark"));
            sliding->thumbAnimator()->setCurrentTime(80);
            sheet.save("segmented-" + v);
        }
    }
};

QTEST_MAIN(TestControls)
#include "tst_Controls.moc"
