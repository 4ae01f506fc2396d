#include "ui/dialogs/InputPrompt.h"

#include "support/Cp1251.h"
#include "ui/dialogs/DialogUnits.h"
#include "ui/dialogs/InputPromptDialog.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {
// Types text character by character, also where it leaves ASCII; '\b' is a backspace.
void type(QWidget* widget, const QString& text)
{
    for (const QChar character : text) {
        if (character == QLatin1Char('\b'))
            QTest::keyClick(widget, Qt::Key_Backspace);
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(character), Qt::NoModifier);
    }
}
} // namespace

class tst_InputPrompt : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();

    void roundsDialogUnitsAsMulDivDoes_data();
    void roundsDialogUnitsAsMulDivDoes();
    void laysItselfOutInTheFontsAverageCharacterSize();
    void takesNoTwoHundredFiftySixthCharacter();
    void returnsTheTypedTextOnlyWhenAccepted_data();
    void returnsTheTypedTextOnlyWhenAccepted();
};

void tst_InputPrompt::initTestCase()
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    QApplication::setFont(font);
    QCOMPARE(QFontInfo(font).family(), QStringLiteral("DejaVu Sans"));
}

void tst_InputPrompt::roundsDialogUnitsAsMulDivDoes_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("numerator");
    QTest::addColumn<int>("denominator");
    QTest::addColumn<int>("result");

    QTest::newRow("exact") << 180 << 6 << 4 << 270;
    QTest::newRow("a quarter rounds down") << 1 << 1 << 4 << 0;
    QTest::newRow("a half rounds up") << 63 << 12 << 8 << 95;
    QTest::newRow("three quarters round up") << 14 << 13 << 8 << 23;
    QTest::newRow("just below a half rounds down") << 63 << 13 << 8 << 102;
    QTest::newRow("a negative half rounds away from zero") << -1 << 2 << 4 << -1;
    QTest::newRow("no overflow on large products") << 2000000000 << 3 << 4 << 1500000000;
}

void tst_InputPrompt::roundsDialogUnitsAsMulDivDoes()
{
    QFETCH(int, number);
    QFETCH(int, numerator);
    QFETCH(int, denominator);
    QFETCH(int, result);

    QCOMPARE(DialogUnits::mulDiv(number, numerator, denominator), result);
}

void tst_InputPrompt::laysItselfOutInTheFontsAverageCharacterSize()
{
    // DejaVu Sans at 11 pixels: the alphabet is 353 pixels wide, so X = 6, and 13 high, so Y = 13.
    const DialogUnits units = DialogUnits::of(QApplication::font());
    QCOMPARE(units.x, 6);
    QCOMPARE(units.y, 13);

    const QString longPrompt = QStringLiteral("A prompt longer than the edit box stays on one line, unwrapped");
    InputPromptDialog dialog(QStringLiteral("Caption"), longPrompt, QStringLiteral("8192"));

    QCOMPARE(dialog.size(), QSize(270, 102));
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    const auto* label = dialog.findChild<QLabel*>(QStringLiteral("Prompt"));
    QCOMPARE(label->pos(), QPoint(12, 13));
    QCOMPARE(label->height(), label->fontMetrics().height());
    QVERIFY(label->width() >= label->fontMetrics().horizontalAdvance(longPrompt));
    const auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("Edit"));
    QCOMPARE(edit->pos(), QPoint(12, 31));
    QCOMPARE(edit->width(), 246);
    // Named by its prompt, which labels it for a screen reader.
    QCOMPARE(edit->accessibleName(), longPrompt);
    QCOMPARE(label->buddy(), edit);
    QCOMPARE(dialog.findChild<QPushButton*>(QStringLiteral("OK"))->geometry(), QRect(57, 67, 75, 23));
    QCOMPARE(dialog.findChild<QPushButton*>(QStringLiteral("Cancel"))->geometry(), QRect(138, 67, 75, 23));
    QVERIFY(dialog.findChild<QPushButton*>(QStringLiteral("OK"))->isDefault());
    // Centred on the offscreen platform's 800 x 800 screen.
    QCOMPARE(dialog.pos(), QPoint(265, 349));
}

void tst_InputPrompt::takesNoTwoHundredFiftySixthCharacter()
{
    InputPromptDialog dialog(QStringLiteral("Caption"), QStringLiteral("Prompt"), QString());
    auto* edit = dialog.findChild<QLineEdit*>();

    QTest::keyClicks(edit, QString(254, QLatin1Char('7')));
    QTest::keyClicks(edit, QStringLiteral("89"));

    QCOMPARE(dialog.value(), QString(254, QLatin1Char('7')) + QLatin1Char('8'));
}

void tst_InputPrompt::returnsTheTypedTextOnlyWhenAccepted_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("closedBy");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("value");

    const QString start = QString::fromUtf8("Байт 12 ");
    QTest::newRow("accepted unchanged keeps every byte") << QString() << "Enter" << true << start;
    QTest::newRow("typing replaces the selected text") << "  42 "
                                                       << "Enter" << true << "  42 ";
    QTest::newRow("OK button") << "$FF"
                               << "OK" << true << "$FF";
    QTest::newRow("Cyrillic typed") << QString::fromUtf8("Ёж") << "OK" << true << QString::fromUtf8("Ёж");
    QTest::newRow("cleared and accepted") << "\b"
                                          << "Enter" << true << "";
    QTest::newRow("cancelled after typing") << "100"
                                            << "Escape" << false << start;
    QTest::newRow("Cancel button") << "100"
                                   << "Cancel" << false << start;
    QTest::newRow("close box") << "100"
                               << "close" << false << start;
}

void tst_InputPrompt::returnsTheTypedTextOnlyWhenAccepted()
{
    QFETCH(QString, typed);
    QFETCH(QString, closedBy);
    QFETCH(bool, accepted);
    QFETCH(QString, value);

    QString title;
    QString prompt;
    // Runs inside the dialog's own event loop, once the dialog is up.
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        title = dialog->windowTitle();
        prompt = dialog->findChild<QLabel*>()->text();
        auto* edit = dialog->findChild<QLineEdit*>();
        type(edit, typed);
        if (closedBy == "Enter")
            QTest::keyClick(edit, Qt::Key_Return);
        else if (closedBy == "Escape")
            QTest::keyClick(edit, Qt::Key_Escape);
        else if (closedBy == "close")
            dialog->close();
        else if (closedBy == "Enter on Cancel")
            QTest::keyClick(dialog->findChild<QPushButton*>(QStringLiteral("Cancel")), Qt::Key_Return);
        else
            QTest::mouseClick(dialog->findChild<QPushButton*>(closedBy), Qt::LeftButton);
    });

    std::string text = Cp1251::fromUtf8("Байт 12 ");
    const bool result
        = InputPrompt(Cp1251::fromUtf8("Перейти к байту N"), Cp1251::fromUtf8("Введите число (Dec)"), text);

    QCOMPARE(title, QString::fromUtf8("Перейти к байту N"));
    QCOMPARE(prompt, QString::fromUtf8("Введите число (Dec)"));
    QCOMPARE(result, accepted);
    QCOMPARE(text, Cp1251::fromQString(value));
}

QTEST_MAIN(tst_InputPrompt)
#include "tst_InputPrompt.moc"
