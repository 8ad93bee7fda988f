#include "engine/EventLoopClock.h"
#include "engine/ManualClock.h"

#include <QtTest>

class TstClock : public QObject {
    Q_OBJECT
private slots:
    // Every engine timing test stands on the manual clock: due work runs in order of due time, then of scheduling;
    // work scheduled by work runs in the same advance when it falls due; cancelled work never runs.
    void manualClockRunsDueWorkInOrder()
    {
        ManualClock clock;
        QStringList ran;
        const auto note = [&](const char *what) {
            return [&ran, &clock, what] { ran << what + QString::number(clock.now()); };
        };
        clock.after(300, note("b@"));
        clock.after(100, note("a@"));
        clock.after(300, note("c@"));
        clock.cancel(clock.after(200, note("dropped@")));
        const Clock::WorkId tick = clock.every(250, note("tick@"));
        clock.after(310, [&] { clock.after(10, note("nested@")); });
        clock.advance(99);
        QVERIFY(ran.isEmpty());
        clock.advance(401);
        clock.cancel(tick);
        clock.advance(1000);
        QCOMPARE(ran, QStringList({"a@100", "tick@250", "b@300", "c@300", "nested@320", "tick@500"}));
        QCOMPARE(clock.pendingCount(), 0);
    }

    void eventLoopClockFiresCancelsAndRepeats()
    {
        EventLoopClock clock;
        QList<int> runs{0, 0, 0}; // once, cancelled, repeating
        clock.after(10, [&] { ++runs[0]; });
        clock.cancel(clock.after(10, [&] { ++runs[1]; }));
        Clock::WorkId repeating = 0;
        repeating = clock.every(10, [&] {
            if (++runs[2] == 3)
                clock.cancel(repeating);
        });
        QTRY_COMPARE(runs.at(2), 3);
        QTest::qWait(100);
        QCOMPARE(runs, QList<int>({1, 0, 3}));
        QCOMPARE(clock.pendingCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TstClock)
#include "tst_Clock.moc"
