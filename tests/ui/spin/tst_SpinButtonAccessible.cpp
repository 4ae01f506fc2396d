#include "ui/spin/SpinButtonAccessible.h"

#include "support/Exception.h"
#include "ui/AccessibilityFactory.h"
#include "ui/EventGuard.h"
#include "ui/spin/SpinButton.h"
#include "ui/spin/SpinHandler.h"

#include <QAccessible>
#include <QTest>

#include <functional>
#include <memory>

namespace {
// Records the events in order; onEvent runs inside each, as a handler that lets pending events through would.
class Recorder : public SpinHandler {
public:
    void upClick() override { record(QStringLiteral("up")); }
    void downClick() override { record(QStringLiteral("down")); }

    QStringList events;
    std::function<void()> onEvent;

private:
    void record(const QString& name)
    {
        events << name;
        if (onEvent)
            onEvent();
    }
};
} // namespace

class tst_SpinButtonAccessible : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void isAGroupOfTwoButtonsNamedForTheBlocks_data();
    void isAGroupOfTwoButtonsNamedForTheBlocks();
    void pressingAButtonRaisesItsEventOnce_data();
    void pressingAButtonRaisesItsEventOnce();
    void aPressWhileAnEventsHandlerRunsIsDropped();
    void aHandlersErrorFromAPressReachesTheErrorHandlerOnce();
    void theHeldArrowReadsAsPressed();

private:
    [[nodiscard]] QAccessibleInterface* control() const { return QAccessible::queryAccessibleInterface(m_spin); }
    [[nodiscard]] QAccessibleInterface* arrow(int index) const { return control()->child(index); }
    void pressButton(int index)
    {
        arrow(index)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    }

    std::unique_ptr<QWidget> m_window;
    SpinButton* m_spin = nullptr;
    std::unique_ptr<Recorder> m_recorder;
    QStringList m_errors;
};

void tst_SpinButtonAccessible::init()
{
    installAccessibility();
    m_window = std::make_unique<QWidget>();
    m_window->resize(120, 80);
    m_spin = new SpinButton(m_window.get());
    m_spin->setGeometry(50, 20, 20, 25);
    m_spin->setToolTip(QStringLiteral("Перейти к след. блоку (8192 байта)"));
    m_spin->setAccessibleName(QStringLiteral("Переход по блокам"));
    m_recorder = std::make_unique<Recorder>();
    m_spin->setHandler(m_recorder.get());
    m_errors.clear();
    setEventErrorHandler([this](const Exception& error) { m_errors << QString::fromStdString(error.message()); });
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void tst_SpinButtonAccessible::cleanup()
{
    setEventErrorHandler({});
    m_window.reset();
    m_recorder.reset();
}

void tst_SpinButtonAccessible::isAGroupOfTwoButtonsNamedForTheBlocks_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("face");
    QTest::addColumn<QString>("description");
    // The shared row 11 belongs to the lower arrow, which lies on top. The control's hint speaks of the next
    // block; the upper arrow describes where it goes.
    QTest::newRow("upper arrow") << 0 << QStringLiteral("Предыдущий блок") << QRect(0, 0, 20, 12)
                                 << QStringLiteral("Перейти к пред. блоку (8192 байта)");
    QTest::newRow("lower arrow") << 1 << QStringLiteral("Следующий блок") << QRect(0, 11, 20, 14)
                                 << QStringLiteral("Перейти к след. блоку (8192 байта)");
}

void tst_SpinButtonAccessible::isAGroupOfTwoButtonsNamedForTheBlocks()
{
    QFETCH(int, index);
    QFETCH(QString, name);
    QFETCH(QRect, face);
    QFETCH(QString, description);
    QCOMPARE(control()->role(), QAccessible::Grouping);
    QCOMPARE(control()->text(QAccessible::Name), QStringLiteral("Переход по блокам"));
    QCOMPARE(control()->childCount(), 2);

    QAccessibleInterface* button = arrow(index);
    QVERIFY(button && button->isValid());
    QCOMPARE(button->role(), QAccessible::PushButton);
    QCOMPARE(button->text(QAccessible::Name), name);
    QCOMPARE(button->text(QAccessible::Description), description);
    QCOMPARE(button->parent(), control());
    QCOMPARE(control()->indexOfChild(button), index);
    QCOMPARE(button->actionInterface()->actionNames(), QStringList { QAccessibleActionInterface::pressAction() });
    QVERIFY2(!button->state().focusable, "the arrows never take the keyboard focus");

    const QRect global(m_spin->mapToGlobal(face.topLeft()), face.size());
    QCOMPARE(button->rect(), global);
    QCOMPARE(control()->childAt(global.center().x(), global.center().y()), button);
    const QPoint sharedRow = m_spin->mapToGlobal(QPoint(10, 11));
    QCOMPARE(control()->childAt(sharedRow.x(), sharedRow.y()), arrow(1));
    QVERIFY(!control()->childAt(global.left() - 1, global.center().y()));
    QVERIFY(!control()->child(2));
}

void tst_SpinButtonAccessible::pressingAButtonRaisesItsEventOnce_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QStringList>("events");
    QTest::newRow("previous block") << 0 << true << QStringList { QStringLiteral("up") };
    QTest::newRow("next block") << 1 << true << QStringList { QStringLiteral("down") };
    QTest::newRow("a disabled control") << 1 << false << QStringList {};
}

void tst_SpinButtonAccessible::pressingAButtonRaisesItsEventOnce()
{
    QFETCH(int, index);
    QFETCH(bool, enabled);
    QFETCH(QStringList, events);
    m_spin->setEnabled(enabled);
    QCOMPARE(bool(arrow(index)->state().disabled), !enabled);
    pressButton(index);
    QCOMPARE(m_recorder->events, events);
    QVERIFY2(m_spin->pressedArrow() == SpinArrow::None, "a press from a screen reader holds nothing");
}

void tst_SpinButtonAccessible::aPressWhileAnEventsHandlerRunsIsDropped()
{
    // As a block load lets a screen reader's press through while the previous one is still loading.
    m_recorder->onEvent = [this] {
        m_recorder->onEvent = nullptr;
        pressButton(1);
    };
    pressButton(0);
    QCOMPARE(m_recorder->events, QStringList { QStringLiteral("up") });
    // The mouse is held back the same way.
    m_recorder->onEvent = [this] {
        m_recorder->onEvent = nullptr;
        QTest::mouseClick(m_spin, Qt::LeftButton, {}, QPoint(10, 3));
    };
    pressButton(1);
    QCOMPARE(m_recorder->events, (QStringList { QStringLiteral("up"), QStringLiteral("down") }));
    pressButton(1);
    QCOMPARE(
        m_recorder->events, (QStringList { QStringLiteral("up"), QStringLiteral("down"), QStringLiteral("down") }));
}

void tst_SpinButtonAccessible::aHandlersErrorFromAPressReachesTheErrorHandlerOnce()
{
    m_recorder->onEvent = [] { throw Exception("Boom"); };
    pressButton(0);
    QCOMPARE(m_errors, QStringList { QStringLiteral("Boom") });
    m_recorder->onEvent = nullptr;
    pressButton(0);
    QCOMPARE(m_recorder->events, (QStringList { QStringLiteral("up"), QStringLiteral("up") }));
}

void tst_SpinButtonAccessible::theHeldArrowReadsAsPressed()
{
    QTest::mousePress(m_spin, Qt::LeftButton, {}, QPoint(10, 20));
    QVERIFY(!arrow(0)->state().pressed);
    QVERIFY(arrow(1)->state().pressed);
    QTest::mouseRelease(m_spin, Qt::LeftButton, {}, QPoint(10, 20));
    QVERIFY(!arrow(1)->state().pressed);
    QCOMPARE(m_recorder->events, QStringList { QStringLiteral("down") });
}

QTEST_MAIN(tst_SpinButtonAccessible)
#include "tst_SpinButtonAccessible.moc"
