#include "ui/spin/SpinButtonTracker.h"

#include "support/Exception.h"
#include "ui/spin/SpinHandler.h"

#include <QTest>

namespace {
class IdleTimer : public SpinButtonTimer {
public:
    void start(int intervalMs) override { interval = intervalMs; }
    void stop() override { interval = 0; }

    int interval = 0; // 0: stopped
};

// The first event's handler lets pending events through, as a block load does: it plays a script of what
// arrives meanwhile, straight into the tracker.
class ReentrantHandler : public SpinHandler {
public:
    explicit ReentrantHandler(SpinButtonTracker& tracker)
        : m_tracker(tracker)
    {
    }

    void upClick() override { handle("up"); }
    void downClick() override { handle("down"); }

    QStringList meanwhile;
    bool throwFromFirst = false;
    QStringList events;
    int deepest = 0;

private:
    void handle(const char* name)
    {
        events << QLatin1String(name);
        ++m_depth;
        deepest = std::max(deepest, m_depth);
        if (events.size() == 1)
            for (const QString& step : std::exchange(meanwhile, {}))
                play(step);
        --m_depth;
        if (events.size() == 1 && throwFromFirst)
            throw Exception("Boom");
    }

    void play(const QString& step)
    {
        if (step == "tick")
            m_tracker.tick();
        else if (step == "leave")
            m_tracker.move(false);
        else if (step == "release over")
            m_tracker.release(true);
        else if (step == "release away")
            m_tracker.release(false);
        else if (step == "press down")
            m_tracker.press(SpinArrow::Down);
        else if (step == "cancel")
            m_tracker.cancel();
        else
            QFAIL(qPrintable("unknown step " + step));
    }

    SpinButtonTracker& m_tracker;
    int m_depth = 0;
};
} // namespace

class tst_SpinButtonTracker : public QObject {
    Q_OBJECT
private slots:
    void init();

    void letsAtMostOneEventWaitForARunningHandler_data();
    void letsAtMostOneEventWaitForARunningHandler();
    void aHandlerThatThrowsDropsTheWaitingEventAndThePress();
    void reportsEveryChangeOfLook();

private:
    std::unique_ptr<SpinButtonTracker> m_tracker;
    IdleTimer* m_timer = nullptr;
    std::unique_ptr<ReentrantHandler> m_handler;
};

void tst_SpinButtonTracker::init()
{
    m_tracker = std::make_unique<SpinButtonTracker>();
    auto timer = std::make_unique<IdleTimer>();
    m_timer = timer.get();
    m_tracker->setTimer(std::move(timer));
    m_handler = std::make_unique<ReentrantHandler>(*m_tracker);
    m_tracker->setHandler(m_handler.get());
}

void tst_SpinButtonTracker::letsAtMostOneEventWaitForARunningHandler_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QStringList>("meanwhile");
    QTest::addColumn<QStringList>("events");

    QTest::newRow("nothing") << "repeat" << QStringList {} << QStringList { "up" };
    QTest::newRow("three ticks: one repeat follows, no backlog")
        << "repeat" << QStringList { "tick", "tick", "tick" } << QStringList { "up", "up" };
    QTest::newRow("a release over the arrow: its click follows")
        << "repeat" << QStringList { "release over" } << QStringList { "up", "up" };
    QTest::newRow("a tick, then a release over the arrow: only the click follows")
        << "repeat" << QStringList { "tick", "release over" } << QStringList { "up", "up" };
    QTest::newRow("a tick, then a release away: nothing follows")
        << "repeat" << QStringList { "tick", "release away" } << QStringList { "up" };
    QTest::newRow("a tick, then the pointer leaves: nothing follows")
        << "repeat" << QStringList { "tick", "leave" } << QStringList { "up" };
    QTest::newRow("a tick, then the mouse is taken away: nothing follows")
        << "repeat" << QStringList { "tick", "cancel" } << QStringList { "up" };
    QTest::newRow("a click's handler, a new press and tick on the other arrow")
        << "click" << QStringList { "press down", "tick" } << QStringList { "up", "down" };
    QTest::newRow("a click's handler, a whole click on the other arrow")
        << "click" << QStringList { "press down", "release over" } << QStringList { "up", "down" };
}

void tst_SpinButtonTracker::letsAtMostOneEventWaitForARunningHandler()
{
    QFETCH(QString, first);
    QFETCH(QStringList, meanwhile);
    QFETCH(QStringList, events);
    m_handler->meanwhile = meanwhile;

    m_tracker->press(SpinArrow::Up);
    if (first == "repeat")
        m_tracker->tick();
    else
        m_tracker->release(true);

    QCOMPARE(m_handler->events, events);
    QCOMPARE(m_handler->deepest, 1);
}

void tst_SpinButtonTracker::aHandlerThatThrowsDropsTheWaitingEventAndThePress()
{
    m_handler->meanwhile = { "tick" };
    m_handler->throwFromFirst = true;
    m_tracker->press(SpinArrow::Down);

    QVERIFY_THROWS_EXCEPTION(Exception, m_tracker->tick());

    QCOMPARE(m_handler->events, QStringList { "down" });
    QCOMPARE(m_tracker->tracked(), SpinArrow::None);
    QCOMPARE(m_timer->interval, 0);
    m_tracker->tick();
    m_tracker->release(true);
    QCOMPARE(m_handler->events, QStringList { "down" });
}

void tst_SpinButtonTracker::reportsEveryChangeOfLook()
{
    QStringList looks;
    m_tracker->setChangeListener([&] {
        looks << QStringLiteral("%1%2")
                     .arg(m_tracker->tracked() == SpinArrow::None ? "free" : "held")
                     .arg(m_tracker->sunken() == SpinArrow::None ? "" : " sunken");
    });

    m_tracker->press(SpinArrow::Up);
    QCOMPARE(m_timer->interval, SpinButtonTracker::firstRepeatMs);
    m_tracker->move(true); // no change
    m_tracker->move(false);
    m_tracker->move(false); // no change
    m_tracker->move(true);
    m_tracker->release(true);

    QCOMPARE(looks, (QStringList { "held sunken", "held", "held sunken", "free" }));
    QCOMPARE(m_timer->interval, 0);
}

QTEST_MAIN(tst_SpinButtonTracker)
#include "tst_SpinButtonTracker.moc"
