#include "ui/spin/SpinButton.h"

#include "support/Exception.h"
#include "tests/ScriptedDialogs.h"
#include "ui/dialogs/ErrorBox.h"
#include "ui/spin/SpinButtonTimer.h"
#include "ui/spin/SpinHandler.h"

#include <QLineEdit>
#include <QTest>

namespace {
// A repeat timer on the test's own clock: runUntil() fires every timeout that falls due on the way, each at
// its own time, so a second of holding takes no time at all.
class ManualTimer : public SpinButtonTimer {
public:
    explicit ManualTimer(int& now)
        : m_now(now)
    {
    }

    void start(int intervalMs) override
    {
        if (refuse)
            throw Exception("Not enough timers available");
        m_interval = intervalMs;
        m_due = m_now + intervalMs;
    }
    void stop() override { m_due = -1; }

    void runUntil(int time)
    {
        while (m_due >= 0 && m_due <= time) {
            m_now = m_due;
            m_due += m_interval;
            timeout();
        }
        m_now = time;
    }

    bool refuse = false;

private:
    int& m_now;
    int m_interval = 0;
    int m_due = -1;
};

// Records every event with the time it came, and throws from the event numbered throwAt (counting from 1).
class Recorder : public SpinHandler {
public:
    explicit Recorder(const int& now)
        : m_now(now)
    {
    }

    void upClick() override { record("up"); }
    void downClick() override { record("down"); }

    QStringList events;
    int throwAt = 0;

private:
    void record(const char* name)
    {
        events << QStringLiteral("%1@%2").arg(QLatin1String(name)).arg(m_now);
        if (events.size() == throwAt)
            throw Exception("Boom");
    }

    const int& m_now;
};

enum class Action { Press, Move, Release };

struct Step {
    int atMs;
    Action action;
    QPoint point;
    Qt::MouseButton button = Qt::LeftButton;
};

const QPoint upper(10, 3);
const QPoint lower(10, 20);
const QPoint sharedRow(10, 11);
const QPoint away(-30, 5);
} // namespace

Q_DECLARE_METATYPE(QList<Step>)

class tst_SpinButton : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void splitsItsHeightBetweenTheArrows_data();
    void splitsItsHeightBetweenTheArrows();
    void neverBecomesNarrowerThanFifteenPixels();
    void raisesEventsAsTheMouseIsPressedHeldAndReleased_data();
    void raisesEventsAsTheMouseIsPressedHeldAndReleased();
    void aHandlerThatThrowsEndsThePressAndReachesTheErrorBoxOnce_data();
    void aHandlerThatThrowsEndsThePressAndReachesTheErrorBoxOnce();
    void reportsARefusedTimerAndHoldsNothing();
    void countsBothPressesOfADoubleClick();
    void anErrorBoxDuringAHoldStopsTheRepeats();
    void hidingDuringAHoldStopsTheRepeats();
    void leavesTheKeyboardFocusWhereItWas();
    void drawsTheGlyphsCentredAndThePressedArrowSunken();

private:
    void play(const QList<Step>& steps);

    int m_now = 0;
    std::unique_ptr<QWidget> m_window;
    SpinButton* m_spin = nullptr;
    ManualTimer* m_timer = nullptr;
    std::unique_ptr<Recorder> m_recorder;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
};

void tst_SpinButton::init()
{
    m_now = 0;
    m_dialogs = std::make_unique<ScriptedDialogs>();
    m_window = std::make_unique<QWidget>();
    m_window->resize(120, 80);
    m_spin = new SpinButton(m_window.get());
    m_spin->setGeometry(50, 20, 20, 25);
    auto timer = std::make_unique<ManualTimer>(m_now);
    m_timer = timer.get();
    m_spin->setRepeatTimer(std::move(timer));
    m_recorder = std::make_unique<Recorder>(m_now);
    m_spin->setHandler(m_recorder.get());
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void tst_SpinButton::cleanup()
{
    m_window.reset();
    m_recorder.reset();
    m_dialogs.reset();
}

void tst_SpinButton::play(const QList<Step>& steps)
{
    for (const Step& step : steps) {
        m_timer->runUntil(step.atMs);
        switch (step.action) {
        case Action::Press:
            QTest::mousePress(m_spin, step.button, {}, step.point);
            break;
        case Action::Move:
            QTest::mouseMove(m_spin, step.point);
            break;
        case Action::Release:
            QTest::mouseRelease(m_spin, step.button, {}, step.point);
            break;
        }
    }
    // Anything still ticking after the last step would show up here.
    m_timer->runUntil(m_now + 3000);
}

void tst_SpinButton::splitsItsHeightBetweenTheArrows_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QRect>("upper");
    QTest::addColumn<QRect>("lower");
    QTest::addColumn<int>("lastUpRow");

    QTest::newRow("20 x 25 shares row 11") << QSize(20, 25) << QRect(0, 0, 20, 12) << QRect(0, 11, 20, 14) << 10;
    QTest::newRow("20 x 30 shares row 14") << QSize(20, 30) << QRect(0, 0, 20, 15) << QRect(0, 14, 20, 16) << 13;
    QTest::newRow("odd height 20 x 7") << QSize(20, 7) << QRect(0, 0, 20, 3) << QRect(0, 2, 20, 5) << 1;
}

void tst_SpinButton::splitsItsHeightBetweenTheArrows()
{
    QFETCH(QSize, size);
    QFETCH(QRect, upper);
    QFETCH(QRect, lower);
    QFETCH(int, lastUpRow);

    const SpinButtonLayout layout(size);
    QCOMPARE(layout.upper(), upper);
    QCOMPARE(layout.lower(), lower);

    // The resized control hits the arrows the same way: the shared row raises the down event.
    m_spin->resize(size);
    QTest::mouseClick(m_spin, Qt::LeftButton, {}, QPoint(10, lastUpRow));
    QTest::mouseClick(m_spin, Qt::LeftButton, {}, QPoint(10, lastUpRow + 1));
    QTest::mouseClick(m_spin, Qt::LeftButton, {}, QPoint(10, size.height() - 1));
    QCOMPARE(m_recorder->events, (QStringList { "up@0", "down@0", "down@0" }));
}

void tst_SpinButton::neverBecomesNarrowerThanFifteenPixels()
{
    m_spin->resize(10, 25);
    QCOMPARE(m_spin->size(), QSize(15, 25));
}

void tst_SpinButton::raisesEventsAsTheMouseIsPressedHeldAndReleased_data()
{
    QTest::addColumn<QList<Step>>("steps");
    QTest::addColumn<QStringList>("events");

    using A = Action;
    QTest::newRow("quick click on the upper arrow")
        << QList<Step> { { 0, A::Press, upper }, { 120, A::Release, upper } } << QStringList { "up@120" };
    QTest::newRow("quick click on the lower arrow")
        << QList<Step> { { 0, A::Press, lower }, { 120, A::Release, lower } } << QStringList { "down@120" };
    QTest::newRow("quick click on the shared row")
        << QList<Step> { { 0, A::Press, sharedRow }, { 50, A::Release, sharedRow } } << QStringList { "down@50" };
    QTest::newRow("held 1050 ms") << QList<Step> { { 0, A::Press, upper }, { 1050, A::Release, upper } }
                                  << QStringList { "up@400", "up@500", "up@600", "up@700", "up@800", "up@900",
                                         "up@1000", "up@1050" };
    QTest::newRow("left at 250 ms, back at 1250 ms, released at 1550 ms") << QList<Step> {
        { 0, A::Press, upper }, { 250, A::Move, away }, { 1250, A::Move, upper }, { 1550, A::Release, upper }
    } << QStringList { "up@1300", "up@1400", "up@1500", "up@1550" };
    QTest::newRow("released outside under 400 ms")
        << QList<Step> { { 0, A::Press, lower }, { 100, A::Move, away }, { 300, A::Release, away } } << QStringList {};
    QTest::newRow("released outside after repeats") << QList<Step> { { 0, A::Press, lower }, { 650, A::Move, away },
        { 700, A::Release, away } } << QStringList { "down@400", "down@500", "down@600" };
    QTest::newRow("moved onto the other arrow counts as outside") << QList<Step> { { 0, A::Press, upper },
        { 100, A::Move, lower }, { 700, A::Release, lower } } << QStringList {};
    QTest::newRow("the shared row is inside the held upper arrow")
        << QList<Step> { { 0, A::Press, upper }, { 100, A::Move, sharedRow }, { 450, A::Release, sharedRow } }
        << QStringList { "up@400", "up@450" };
    QTest::newRow("right button") << QList<Step> { { 0, A::Press, upper, Qt::RightButton },
        { 1050, A::Release, upper, Qt::RightButton } }
                                  << QStringList {};
    QTest::newRow("middle button") << QList<Step> { { 0, A::Press, lower, Qt::MiddleButton },
        { 1050, A::Release, lower, Qt::MiddleButton } }
                                   << QStringList {};
    QTest::newRow("two clicks in a row") << QList<Step> { { 0, A::Press, upper }, { 50, A::Release, upper },
        { 1000, A::Press, lower }, { 1450, A::Release, lower } }
                                         << QStringList { "up@50", "down@1400", "down@1450" };
}

void tst_SpinButton::raisesEventsAsTheMouseIsPressedHeldAndReleased()
{
    QFETCH(QList<Step>, steps);
    QFETCH(QStringList, events);

    play(steps);

    QCOMPARE(m_recorder->events, events);
    QCOMPARE(m_spin->pressedArrow(), SpinArrow::None);
    QVERIFY(m_dialogs->shown.empty());
}

void tst_SpinButton::aHandlerThatThrowsEndsThePressAndReachesTheErrorBoxOnce_data()
{
    QTest::addColumn<int>("throwAt");
    QTest::addColumn<QStringList>("events");

    QTest::newRow("the first repeat") << 1 << QStringList { "up@400" };
    QTest::newRow("the third repeat") << 3 << QStringList { "up@400", "up@500", "up@600" };
}

void tst_SpinButton::aHandlerThatThrowsEndsThePressAndReachesTheErrorBoxOnce()
{
    QFETCH(int, throwAt);
    QFETCH(QStringList, events);
    m_recorder->throwAt = throwAt;

    QTest::mousePress(m_spin, Qt::LeftButton, {}, upper);
    m_timer->runUntil(1000);
    QCOMPARE(m_spin->pressedArrow(), SpinArrow::None);
    QTest::mouseRelease(m_spin, Qt::LeftButton, {}, upper);
    m_timer->runUntil(3000);

    QCOMPARE(m_recorder->events, events);
    QCOMPARE(m_dialogs->texts("error"), std::vector<std::string> { "Boom." });

    // The next press works as usual.
    m_recorder->throwAt = 0;
    QTest::mouseClick(m_spin, Qt::LeftButton, {}, lower);
    QCOMPARE(m_recorder->events.size(), events.size() + 1);
}

void tst_SpinButton::reportsARefusedTimerAndHoldsNothing()
{
    m_timer->refuse = true;

    QTest::mousePress(m_spin, Qt::LeftButton, {}, upper);
    QCOMPARE(m_spin->pressedArrow(), SpinArrow::None);
    QTest::mouseRelease(m_spin, Qt::LeftButton, {}, upper);

    QCOMPARE(m_dialogs->texts("error"), std::vector<std::string> { "Not enough timers available." });
    QCOMPARE(m_recorder->events, QStringList {});
}

void tst_SpinButton::countsBothPressesOfADoubleClick()
{
    // Through the window, so that Qt itself turns the second press into a double click, as the platform does.
    QTest::mouseDClick(m_window->windowHandle(), Qt::LeftButton, {}, m_spin->mapTo(m_window.get(), lower));
    QCOMPARE(m_recorder->events, (QStringList { "down@0", "down@0" }));
}

void tst_SpinButton::anErrorBoxDuringAHoldStopsTheRepeats()
{
    QTest::mousePress(m_spin, Qt::LeftButton, {}, lower);
    m_timer->runUntil(450);
    // An error from elsewhere (another event's handler) reaches the top level while the arrow is held.
    HandleEventError(Exception("Elsewhere"));
    QCOMPARE(m_spin->pressedArrow(), SpinArrow::None);
    m_timer->runUntil(2000);
    QTest::mouseRelease(m_spin, Qt::LeftButton, {}, lower);

    QCOMPARE(m_recorder->events, QStringList { "down@400" });
}

void tst_SpinButton::hidingDuringAHoldStopsTheRepeats()
{
    QTest::mousePress(m_spin, Qt::LeftButton, {}, upper);
    m_spin->hide();
    m_timer->runUntil(2000);
    m_spin->show();
    QTest::mouseRelease(m_spin, Qt::LeftButton, {}, upper);

    QCOMPARE(m_recorder->events, QStringList {});
}

void tst_SpinButton::leavesTheKeyboardFocusWhereItWas()
{
    auto* before = new QLineEdit(m_window.get());
    before->setGeometry(0, 0, 40, 20);
    auto* after = new QLineEdit(m_window.get());
    after->setGeometry(0, 50, 40, 20);
    before->show();
    after->show();
    // The spin button sits between the two edits in the tab chain.
    QWidget::setTabOrder(before, m_spin);
    QWidget::setTabOrder(m_spin, after);
    before->setFocus();
    QCOMPARE(QApplication::focusWidget(), before);

    QTest::mouseClick(m_spin, Qt::LeftButton, {}, upper);
    QCOMPARE(QApplication::focusWidget(), before);
    QTest::keyClick(before, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), after);
    QCOMPARE(m_recorder->events, QStringList { "up@0" });
}

void tst_SpinButton::drawsTheGlyphsCentredAndThePressedArrowSunken()
{
    const auto black = [this](QPoint point) { return m_spin->grab().toImage().pixelColor(point) == QColor(Qt::black); };
    const QColor olive(128, 128, 0);
    const auto anyOlive = [&] {
        const QImage image = m_spin->grab().toImage();
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixelColor(x, y) == olive)
                    return true;
        return false;
    };

    // Upper face rows 0..11, its glyph's apex at (10, 4); lower face rows 11..24, its glyph's base row 16 spans
    // columns 7..13 and its apex is at (10, 19).
    QVERIFY(black({ 10, 4 }));
    QVERIFY(!black({ 9, 4 }));
    QVERIFY(black({ 7, 7 }) && black({ 13, 7 }) && !black({ 6, 7 }));
    QVERIFY(black({ 7, 16 }) && black({ 13, 16 }) && !black({ 14, 16 }));
    QVERIFY(black({ 10, 19 }));
    QVERIFY(!anyOlive());
    const QColor raisedCorner = m_spin->grab().toImage().pixelColor(0, 11);

    // Pressed, the lower glyph moves one pixel down and right and the face's top-left edge darkens.
    QTest::mousePress(m_spin, Qt::LeftButton, {}, lower);
    QVERIFY(black({ 11, 20 }));
    QVERIFY(!black({ 7, 16 }));
    QVERIFY(m_spin->grab().toImage().pixelColor(0, 11) != raisedCorner);
    QVERIFY(black({ 10, 4 }));

    // Off the arrow while held, it is drawn raised again.
    QTest::mouseMove(m_spin, away);
    QVERIFY(black({ 10, 19 }));
    QCOMPARE(m_spin->grab().toImage().pixelColor(0, 11), raisedCorner);
    QTest::mouseRelease(m_spin, Qt::LeftButton, {}, away);
}

QTEST_MAIN(tst_SpinButton)
#include "tst_SpinButton.moc"
