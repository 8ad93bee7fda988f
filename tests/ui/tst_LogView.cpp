#include "engine/EngineHarness.h"
#include "ui/controls/FWButton.h"
#include "ui/theme/FWRoot.h"
#include "ui/views/LogView.h"
#include "ui/views/PlainIconButton.h"
#include "ui/views/ResizeGrip.h"
#include <QClipboard>
#include <QTextEdit>

#include <QApplication>
#include <QScrollBar>
#include <QTest>
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

Tunnel named(const QString &id, const QString &name)
{
    Tunnel t = makeTunnel(id);
    t.name = name;
    return t;
}
} // namespace

class TestLogView : public QObject {
    Q_OBJECT
private slots:
    void emptyHeaderAndClose()
    {
        EngineHarness h({named("a", "Staging DB")});
        int closed = 0;
        ViewActions actions;
        actions.closeLog = [&closed] { ++closed; };
        Window w(*h.state, "a", false, actions);
        LogView *view = w.view();
        QVERIFY(view->title() == QStringLiteral("Staging DB — Log") && view->dotStatus() == S::Idle);
        QVERIFY(view->showsEmptyText() && !view->logArea()->isVisible());

        // The dot follows the tunnel; a new run clears the lines and the empty text comes back.
        h.state->start("a");
        QCOMPARE(view->dotStatus(), S::Connecting);
        h.runner.log("a", "debug1: Connecting to primary.test port 22.");
        QVERIFY(!view->showsEmptyText() && view->logArea()->isVisible());
        QCOMPARE(view->lineIds(), QList<QUuid>{h.state->logs("a").first().id});
        h.state->stop("a");
        h.state->start("a");
        QVERIFY(view->lineCount() == 0 && view->showsEmptyText());

        QTest::mouseClick(view->closeButton(), Qt::LeftButton);
        QCOMPARE(closed, 1);
    }

    void lineColours()
    {
        // The runner's classifier decides: a failure wins over a connected phrase in the same line.
        QCOMPARE(LogView::lineRole("Authenticated, then Connection refused"), FWTheme::Role::StRed);

        // The colours are the ones drawn, in the theme in force, and follow a change of theme.
        EngineHarness h({named("a", "Postgres primary")});
        h.state->start("a");
        for (const char *line : {
                 "OpenSSH_9.2p1 Debian-2+deb12u3, OpenSSL 3.0.15 3 Sep 2024",
                 "debug1: Connecting to primary.test [10.0.0.5] port 22.",
                 "debug1: Authenticating to primary.test:22 as 'me'",
                 "debug1: Server accepts key: /home/me/.ssh/id_ed25519 ED25519 "
                 "SHA256:3q2+7w0v9Yx4l1cT8mVtqz1r0bXWc9yH2Jt6a5",
                 "Authenticated to primary.test ([10.0.0.5]:22) using \"publickey\".",
                 "debug1: Local forwarding listening on 127.0.0.1 port 9000.",
                 "channel 2: open failed: connect failed: Connection refused",
             })
            h.runner.log("a", QString::fromUtf8(line));
        h.runner.report("a", S::Connected);
        Window w(*h.state, "a");
        LogView *view = w.view();
        for (bool dark : {false, true}) {
            const FWTheme theme(dark);
            w.root.setAppearance(dark ? Appearance::Dark : Appearance::Light);
            QCOMPARE(view->lineCount(), 7);
            QCOMPARE((QList<QColor>{view->lineColor(0), view->lineColor(4), view->lineColor(5), view->lineColor(6)}),
                     (QList<QColor>{theme.text2(), theme.stGreen, theme.stGreen, theme.stRed}));
        }
    }

    void jumpsToNewest()
    {
        EngineHarness h({makeTunnel("a")});
        h.state->start("a");
        for (int i = 0; i < 60; ++i)
            h.runner.log("a", QStringLiteral("debug1: line %1").arg(i));
        Window w(*h.state, "a");
        QScrollBar *bar = w.view()->logArea()->verticalScrollBar();
        QApplication::processEvents();
        // Opening shows the lines from the top; only arrivals jump, even after the user scrolled up.
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), 0);
        QVariantAnimation *glide = w.view()->scrollAnimation();
        for (int value : {0, 10}) {
            bar->setValue(value);
            h.runner.log("a", "debug1: newest");
            QCOMPARE(glide->state(), QAbstractAnimation::Running);
            glide->setCurrentTime(glide->duration());
            QCOMPARE(bar->value(), bar->maximum());
        }
    }

    void copyAllAndGrowTaller()
    {
        EngineHarness h({named("a", "Staging DB")});
        Window w(*h.state, "a");
        LogView *view = w.view();
        // Nothing to copy before the first line.
        QVERIFY(!view->copyButton()->isEnabled());
        h.state->start("a");
        h.runner.log("a", "debug1: Connecting to primary.test port 22.");
        h.runner.log("a", "Authenticated to primary.test using \"publickey\".");
        QVERIFY(view->copyButton()->isEnabled());
        QApplication::clipboard()->clear();
        QTest::mouseClick(view->copyButton(), Qt::LeftButton);
        const QList<LogLine> lines = h.state->logs("a");
        QCOMPARE(QApplication::clipboard()->text(),
                 lines.at(0).time + " debug1: Connecting to primary.test port 22.\n" + lines.at(1).time +
                     " Authenticated to primary.test using \"publickey\".");

        // The corner grip makes the window taller (the log area with it), never narrower than the card or shorter
        // than it opened.
        QWidget *grip = view->resizeGrip();
        const QSize opened = w.root.size();
        const int area = view->logArea()->height();
        QTest::mousePress(grip, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseMove(grip, QPoint(5, 125));
        QTest::mouseRelease(grip, Qt::LeftButton, {}, QPoint(5, 125));
        QCOMPARE(w.root.size(), opened + QSize(0, 120));
        QApplication::processEvents();
        QCOMPARE(view->logArea()->height(), area + 120);
        QTest::mousePress(grip, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseMove(grip, QPoint(5, -600));
        QTest::mouseRelease(grip, Qt::LeftButton, {}, QPoint(5, -600));
        QCOMPARE(w.root.height(), opened.height());
    }

    void deletedTunnel()
    {
        EngineHarness h({named("a", "Gone soon")});
        h.state->start("a");
        h.runner.report("a", S::Connected);
        h.runner.log("a", "debug1: Entering interactive session.");
        Window w(*h.state, "a");
        LogView *view = w.view();
        QCOMPARE(view->dotStatus(), S::Connected);
        h.state->deleteTunnel("a");
        QVERIFY(view->title() == QStringLiteral("Tunnel — Log") && view->dotStatus() == S::Idle);
        // Whatever the engine still keeps for the id is shown; it keeps nothing for a deleted tunnel.
        QCOMPARE(view->lineCount(), h.state->logs("a").size());
        QCOMPARE(view->showsEmptyText(), h.state->logs("a").isEmpty());
        // A log view opened on an id that never existed is the same.
        Window stray(*h.state, "nope");
        QVERIFY(stray.view()->title() == QStringLiteral("Tunnel — Log") && stray.view()->showsEmptyText());
    }
};

QTEST_MAIN(TestLogView)
#include "tst_LogView.moc"
