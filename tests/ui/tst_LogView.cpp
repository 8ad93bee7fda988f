#include "ui/UiDriver.h"
#include "ui/views/LogView.h"
#include "ui/views/ResizeGrip.h"
#include <QClipboard>
#include <QTextEdit>

#include <QVariantAnimation>

namespace {
using S = TunnelStatus;

// A log window on the tunnel `id`, shown in the light theme.
struct Window : FWRoot {
    Window(AppState &state, const QString &id) : FWRoot(new LogView(state, {}, id), Appearance::Light) { show(); }
    LogView *view() { return static_cast<LogView *>(content()); }
};
} // namespace

class TestLogView : public QObject {
    Q_OBJECT
private slots:
    void followsItsTunnelColoursScrollsAndCopies()
    {
        EngineHarness h({makeTunnel("a")});
        Window w(*h.state, "a");
        LogView *view = w.view();
        QVERIFY(view->title() == QStringLiteral("Tunnel a — Log") && view->dotStatus() == S::Idle);
        QVERIFY(view->showsEmptyText() && !view->logArea()->isVisible() && !view->copyButton()->isEnabled());

        // The dot follows the tunnel, arriving lines replace the empty text, and Copy takes them all with their times.
        h.state->start("a");
        QCOMPARE(view->dotStatus(), S::Connecting);
        h.runner.log("a", "debug1: Connecting to primary.test port 22.");
        h.runner.log("a", "Authenticated to primary.test using \"publickey\".");
        QVERIFY(view->lineCount() == 2 && !view->showsEmptyText() && view->logArea()->isVisible());
        QTest::mouseClick(view->copyButton(), Qt::LeftButton);
        const QList<LogLine> lines = h.state->logs("a");
        QCOMPARE(QApplication::clipboard()->text(),
                 lines.at(0).time + " debug1: Connecting to primary.test port 22.\n" + lines.at(1).time +
                     " Authenticated to primary.test using \"publickey\".");

        // A new run clears the lines and the empty text comes back.
        h.state->stop("a");
        h.state->start("a");
        QVERIFY(view->lineCount() == 0 && view->showsEmptyText());

        // The runner's classifier decides: a failure wins over a connected phrase in the same line.
        QCOMPARE(LogView::lineRole("Authenticated, then Connection refused"), FWTheme::Role::StRed);
        // A second window, opened on a running tunnel's log.
        for (const char *line : {"OpenSSH_9.2p1 Debian-2+deb12u3, OpenSSL 3.0.15 3 Sep 2024",
                                 "debug1: Authenticating to primary.test:22 as 'me'",
                                 "Authenticated to primary.test ([10.0.0.5]:22) using \"publickey\".",
                                 "debug1: Local forwarding listening on 127.0.0.1 port 9000.",
                                 "channel 2: open failed: connect failed: Connection refused"})
            h.runner.log("a", QString::fromUtf8(line));
        for (int i = 0; i < 60; ++i)
            h.runner.log("a", QStringLiteral("debug1: line %1").arg(i));
        Window w2(*h.state, "a");
        view = w2.view();

        // The colours are the ones drawn, in the theme in force after a change of theme.
        const FWTheme theme(true);
        w2.setAppearance(Appearance::Dark);
        QList<QColor> drawn;
        for (int i = 0; i < 6; ++i)
            drawn << view->lineColor(i);
        QCOMPARE(drawn, (QList<QColor>{theme.text2(), theme.text2(), theme.stGreen, theme.stGreen, theme.stRed,
                                       theme.text2()}));

        // Opening shows the lines from the top; only arrivals jump, even after the user scrolled up.
        QScrollBar *bar = view->logArea()->verticalScrollBar();
        QApplication::processEvents();
        QVERIFY(bar->maximum() > 0 && bar->value() == 0);
        QVariantAnimation *glide = view->scrollAnimation();
        bar->setValue(10);
        h.runner.log("a", "debug1: newest");
        glide->setCurrentTime(glide->duration());
        QCOMPARE(bar->value(), bar->maximum());

        // The corner grip makes the window taller, never narrower than the card or shorter than it opened.
        QWidget *grip = view->resizeGrip();
        const QSize opened = w2.size();
        for (auto [dy, grown] : {std::pair{120, 120}, {-600, 0}}) {
            QTest::mousePress(grip, Qt::LeftButton, {}, QPoint(5, 5));
            QTest::mouseMove(grip, QPoint(5, 5 + dy));
            QTest::mouseRelease(grip, Qt::LeftButton, {}, QPoint(5, 5 + dy));
            QApplication::processEvents();
            QCOMPARE(w2.size(), opened + QSize(0, grown));
        }

        // Deleted: a plain title and an idle dot; whatever the engine still keeps for the id is shown (it keeps
        // nothing for a deleted tunnel).
        view = w.view();
        h.runner.report("a", S::Connected);
        QCOMPARE(view->dotStatus(), S::Connected);
        h.state->deleteTunnel("a");
        QVERIFY(view->title() == QStringLiteral("Tunnel — Log") && view->dotStatus() == S::Idle);
        QCOMPARE(view->lineCount(), h.state->logs("a").size());
        QCOMPARE(view->showsEmptyText(), h.state->logs("a").isEmpty());
        // A log view opened on an id that never existed is the same.
        Window stray(*h.state, "nope");
        QVERIFY(stray.view()->title() == QStringLiteral("Tunnel — Log") && stray.view()->showsEmptyText());
    }
};

QTEST_MAIN(TestLogView)
#include "tst_LogView.moc"
