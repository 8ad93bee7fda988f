#include "engine/EngineHarness.h"
#include "support/Shots.h"
#include "ui/controls/StatusDot.h"
#include "ui/theme/FWRoot.h"
#include "ui/views/LogView.h"
#include "ui/views/PlainIconButton.h"

#include <QApplication>
#include <QScrollBar>
#include <QTest>
#include <QTextEdit>
#include <QVariantAnimation>

namespace {
using S = TunnelStatus;

struct Window {
    explicit Window(AppState &state, const QString &id, bool dark = false, ViewActions actions = {})
        : root(new LogView(state, std::move(actions), id), dark ? Appearance::Dark : Appearance::Light)
    {
        root.show();
    }
    LogView *view() { return static_cast<LogView *>(root.content()); }
    FWRoot root;
};
} // namespace

class TestLogView : public QObject {
    Q_OBJECT
private slots:
    void emptyHeaderAndClose();
    void lineColours();
    void jumpsToNewest();
    void deletedTunnel();
    void pictures();
};

void TestLogView::emptyHeaderAndClose()
{
    Tunnel t = makeTunnel(QStringLiteral("a"));
    t.name = QStringLiteral("Staging DB");
    EngineHarness h({t});
    int closed = 0;
    ViewActions actions;
    actions.closeLog = [&closed] { ++closed; };
    Window w(*h.state, QStringLiteral("a"), false, actions);
    LogView *view = w.view();
    QCOMPARE(view->width(), LogView::cardWidth);
    QCOMPARE(view->title(), QStringLiteral("Staging DB — Log"));
    QCOMPARE(view->dotStatus(), S::Idle);
    QVERIFY(view->showsEmptyText());
    QVERIFY(!view->logArea()->isVisible());
    QCOMPARE(LogView::emptyText(), QStringLiteral("No log output yet — connect the tunnel to see ssh’s output."));

    // The dot follows the tunnel; a new run clears the lines and the empty text comes back.
    h.state->start(QStringLiteral("a"));
    QCOMPARE(view->dotStatus(), S::Connecting);
    h.runner.log(QStringLiteral("a"), QStringLiteral("debug1: Connecting to primary.test port 22."));
    QVERIFY(!view->showsEmptyText());
    QVERIFY(view->logArea()->isVisible());
    QCOMPARE(view->lineCount(), 1);
    QCOMPARE(view->lineIds(), QList<QUuid>{h.state->logs(QStringLiteral("a")).first().id});
    h.state->stop(QStringLiteral("a"));
    h.state->start(QStringLiteral("a"));
    QCOMPARE(view->lineCount(), 0);
    QVERIFY(view->showsEmptyText());

    QTest::mouseClick(view->closeButton(), Qt::LeftButton);
    QCOMPARE(closed, 1);
}

void TestLogView::lineColours()
{
    QCOMPARE(LogView::lineRole(QStringLiteral("me@primary.test: Permission denied (publickey).")),
             FWTheme::Role::StRed);
    QCOMPARE(LogView::lineRole(QStringLiteral("ssh: Could not resolve hostname nowhere: Name or service not known")),
             FWTheme::Role::StRed);
    QCOMPARE(LogView::lineRole(QStringLiteral("bind [127.0.0.1]:9000: Address already in use")), FWTheme::Role::StRed);
    QCOMPARE(LogView::lineRole(QStringLiteral("Authenticated to primary.test ([127.0.0.1]:22) using \"publickey\".")),
             FWTheme::Role::StGreen);
    QCOMPARE(LogView::lineRole(QStringLiteral("debug1: Local forwarding listening on 127.0.0.1 port 9000.")),
             FWTheme::Role::StGreen);
    QCOMPARE(LogView::lineRole(QStringLiteral("debug1: Entering interactive session.")), FWTheme::Role::StGreen);
    // Matching is exact: other case is not a failure.
    QCOMPARE(LogView::lineRole(QStringLiteral("permission denied")), FWTheme::Role::Text2);
    QCOMPARE(LogView::lineRole(QStringLiteral("debug1: Reading configuration data /etc/ssh/ssh_config")),
             FWTheme::Role::Text2);
    // A failure wins over a connected phrase in the same line.
    QCOMPARE(LogView::lineRole(QStringLiteral("Authenticated, then Connection refused")), FWTheme::Role::StRed);

    // The colours are the ones drawn, in the theme in force, and follow a change of theme.
    EngineHarness h({makeTunnel(QStringLiteral("a"))});
    h.state->start(QStringLiteral("a"));
    for (const char *text :
         {"debug1: Connecting to primary.test port 22.", "Authenticated to primary.test", "Connection refused"})
        h.runner.log(QStringLiteral("a"), QString::fromUtf8(text));
    Window w(*h.state, QStringLiteral("a"));
    LogView *view = w.view();
    const FWTheme light(false);
    QCOMPARE(view->lineText(1), QStringLiteral("Authenticated to primary.test"));
    QCOMPARE(view->lineColor(0), light.text2());
    QCOMPARE(view->lineColor(1), light.stGreen);
    QCOMPARE(view->lineColor(2), light.stRed);
    w.root.setAppearance(Appearance::Dark);
    QCOMPARE(view->lineColor(0), FWTheme(true).text2());
    QCOMPARE(view->lineCount(), 3);
}

void TestLogView::jumpsToNewest()
{
    EngineHarness h({makeTunnel(QStringLiteral("a"))});
    h.state->start(QStringLiteral("a"));
    for (int i = 0; i < 60; ++i)
        h.runner.log(QStringLiteral("a"), QStringLiteral("debug1: line %1").arg(i));
    Window w(*h.state, QStringLiteral("a"));
    QScrollBar *bar = w.view()->logArea()->verticalScrollBar();
    QApplication::processEvents();
    // Opening shows the lines from the top; only arrivals jump.
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), 0);
    QVariantAnimation *glide = w.view()->scrollAnimation();
    h.runner.log(QStringLiteral("a"), QStringLiteral("debug1: newest"));
    QCOMPARE(glide->state(), QAbstractAnimation::Running);
    glide->setCurrentTime(glide->duration());
    QCOMPARE(bar->value(), bar->maximum());
    // Scrolled up by the user: the next line brings the view back down.
    bar->setValue(10);
    h.runner.log(QStringLiteral("a"), QStringLiteral("debug1: newer still"));
    glide->setCurrentTime(glide->duration());
    QCOMPARE(bar->value(), bar->maximum());
    QCOMPARE(w.view()->lineCount(), 62);
}

void TestLogView::deletedTunnel()
{
    Tunnel t = makeTunnel(QStringLiteral("a"));
    t.name = QStringLiteral("Gone soon");
    EngineHarness h({t});
    h.state->start(QStringLiteral("a"));
    h.runner.report(QStringLiteral("a"), S::Connected);
    h.runner.log(QStringLiteral("a"), QStringLiteral("debug1: Entering interactive session."));
    Window w(*h.state, QStringLiteral("a"));
    LogView *view = w.view();
    QCOMPARE(view->dotStatus(), S::Connected);
    h.state->deleteTunnel(QStringLiteral("a"));
    QCOMPARE(view->title(), QStringLiteral("Tunnel — Log"));
    QCOMPARE(view->dotStatus(), S::Idle);
    // Whatever the engine still keeps for the id is shown; it keeps nothing for a deleted tunnel.
    QCOMPARE(view->lineCount(), h.state->logs(QStringLiteral("a")).size());
    QCOMPARE(view->showsEmptyText(), h.state->logs(QStringLiteral("a")).isEmpty());
    // A log view opened on an id that never existed is the same.
    Window stray(*h.state, QStringLiteral("nope"));
    QCOMPARE(stray.view()->title(), QStringLiteral("Tunnel — Log"));
    QVERIFY(stray.view()->showsEmptyText());
}

void TestLogView::pictures()
{
    Tunnel t = makeTunnel(QStringLiteral("a"));
    t.name = QStringLiteral("Postgres primary");
    EngineHarness h({t});
    h.state->start(QStringLiteral("a"));
    const char *lines[] = {
        "OpenSSH_9.2p1 Debian-2+deb12u3, OpenSSL 3.0.15 3 Sep 2024",
        "debug1: Reading configuration data /etc/ssh/ssh_config",
        "debug1: Connecting to primary.test [10.0.0.5] port 22.",
        "debug1: Connection established.",
        "debug1: Authenticating to primary.test:22 as 'me'",
        "debug1: Server accepts key: /home/me/.ssh/id_ed25519 ED25519 "
        "SHA256:3q2+7w0v9Yx4l1cT8mVtqz1r0bXWc9yH2Jt6a5KpQn4 "
        "explicit agent",
        "Authenticated to primary.test ([10.0.0.5]:22) using \"publickey\".",
        "debug1: Local connections to 127.0.0.1:9000 forwarded to remote address db.internal:5432",
        "debug1: Local forwarding listening on 127.0.0.1 port 9000.",
        "debug1: Entering interactive session.",
        "channel 2: open failed: connect failed: Connection refused",
    };
    for (const char *line : lines)
        h.runner.log(QStringLiteral("a"), QString::fromUtf8(line));
    h.runner.report(QStringLiteral("a"), S::Connected);
    EngineHarness empty({makeTunnel(QStringLiteral("b"))});
    for (const bool dark : {false, true}) {
        const QString variant = dark ? QStringLiteral("dark") : QStringLiteral("light");
        Window w(*h.state, QStringLiteral("a"), dark);
        QApplication::processEvents();
        Shots::save(&w.root, QStringLiteral("log-window-") + variant);
        Window e(*empty.state, QStringLiteral("b"), dark);
        Shots::save(&e.root, QStringLiteral("log-window-empty-") + variant);
    }
}

QTEST_MAIN(TestLogView)
#include "tst_LogView.moc"
