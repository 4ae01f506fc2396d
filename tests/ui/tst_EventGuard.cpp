#include "ui/EventGuard.h"

#include "support/Cp1251.h"
#include "tests/ScriptedDialogs.h"

#include <QAction>
#include <QKeyEvent>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <stdexcept>

namespace {
// A control whose key handler fails on F5 and records every other key.
class FailingKeys : public QWidget {
public:
    QStringList keys;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        guarded([&] {
            if (event->key() == Qt::Key_F5)
                throw EInOutError(131);
            keys << event->text();
        });
    }
};
} // namespace

class tst_EventGuard : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void anErrorFromAKeyHandlerIsShownOnceAndTypingGoesOn();
    void anErrorFromATimerIsShownOnceAndTheLoopGoesOn();
    void anErrorFromAMenuActionIsShownOnceAndTheMenuStaysUsable();
    void theSilentAbortStopsTheCommandWithoutABox();
    void anyOtherExceptionIsShownAndTheProgramGoesOn();
    void anInstalledHandlerReceivesTheErrorItself();

private:
    [[nodiscard]] bool nextEventIsProcessed();

    std::unique_ptr<ScriptedDialogs> m_dialogs;
};

void tst_EventGuard::init()
{
    m_dialogs = std::make_unique<ScriptedDialogs>();
}

void tst_EventGuard::cleanup()
{
    m_dialogs.reset();
}

bool tst_EventGuard::nextEventIsProcessed()
{
    bool processed = false;
    QMetaObject::invokeMethod(
        this, [&] { processed = true; }, Qt::QueuedConnection);
    QCoreApplication::processEvents();
    return processed;
}

void tst_EventGuard::anErrorFromAKeyHandlerIsShownOnceAndTypingGoesOn()
{
    FailingKeys widget;
    widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&widget));
    widget.setFocus();

    QTest::keyClick(&widget, Qt::Key_A);
    QTest::keyClick(&widget, Qt::Key_F5);
    QTest::keyClick(&widget, Qt::Key_B);

    QCOMPARE(widget.keys, (QStringList { "a", "b" }));
    QCOMPARE(m_dialogs->texts("error"), std::vector<std::string> { "I/O error 131." });
    QVERIFY(nextEventIsProcessed());
}

void tst_EventGuard::anErrorFromATimerIsShownOnceAndTheLoopGoesOn()
{
    QTimer timer;
    timer.setSingleShot(true);
    int ticks = 0;
    connect(&timer, &QTimer::timeout, [&] {
        guarded([&] {
            ++ticks;
            throw Exception("Unable to write to /opt/Quillmoor.ini");
        });
    });

    timer.start(0);
    QTRY_COMPARE(ticks, 1);

    QCOMPARE(m_dialogs->texts("error"), std::vector<std::string> { "Unable to write to /opt/Quillmoor.ini." });
    QVERIFY(nextEventIsProcessed());
}

void tst_EventGuard::anErrorFromAMenuActionIsShownOnceAndTheMenuStaysUsable()
{
    QMenu menu;
    QAction* failing = menu.addAction(QStringLiteral("Fails"));
    QAction* working = menu.addAction(QStringLiteral("Works"));
    int worked = 0;
    connect(
        failing, &QAction::triggered, [] { guarded([] { throw EConvertError("'x' is not a valid integer value"); }); });
    connect(working, &QAction::triggered, [&] { guarded([&] { ++worked; }); });

    failing->trigger();
    working->trigger();

    QCOMPARE(m_dialogs->texts("error"), std::vector<std::string> { "'x' is not a valid integer value." });
    QCOMPARE(worked, 1);
    QVERIFY(nextEventIsProcessed());
}

void tst_EventGuard::theSilentAbortStopsTheCommandWithoutABox()
{
    bool after = false;
    guarded([&] {
        throw EAbort();
        after = true;
    });

    QVERIFY(!after);
    QVERIFY(m_dialogs->shown.empty());
}

void tst_EventGuard::anyOtherExceptionIsShownAndTheProgramGoesOn()
{
    guarded([] { throw std::bad_alloc(); });
    guarded([] { throw std::out_of_range("vector::at"); });
    guarded([] { throw 7; });
    QCOMPARE(m_dialogs->texts("error"),
        (std::vector<std::string> { Cp1251::fromUtf8("Недостаточно памяти."),
            Cp1251::fromUtf8("Непредвиденная ошибка: vector::at."), Cp1251::fromUtf8("Непредвиденная ошибка.") }));
    QVERIFY(nextEventIsProcessed());
}

void tst_EventGuard::anInstalledHandlerReceivesTheErrorItself()
{
    int code = 0;
    const EventErrorHandler previous = setEventErrorHandler([&](const Exception& error) {
        if (const auto* io = dynamic_cast<const EInOutError*>(&error))
            code = io->code();
    });

    guarded([] { throw EInOutError(EInOutError::DiskFull); });
    setEventErrorHandler(previous);

    QCOMPARE(code, EInOutError::DiskFull);
    QVERIFY(m_dialogs->shown.empty());
}

QTEST_MAIN(tst_EventGuard)
#include "tst_EventGuard.moc"
