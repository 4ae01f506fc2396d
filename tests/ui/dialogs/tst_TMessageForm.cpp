#include "ui/dialogs/TMessageForm.h"

#include "support/Cp1251.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

class tst_TMessageForm : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();

    void laysItselfOutInTheMessageFontsUnits();
    void wrapsALongMessageWithinHalfTheScreenWidth();
    void isNeverNarrowerThanItsButtonAndMargins_data();
    void isNeverNarrowerThanItsButtonAndMargins();
    void closesOnEnterEscapeAndItsButton_data();
    void closesOnEnterEscapeAndItsButton();
};

void tst_TMessageForm::initTestCase()
{
    QApplication::setApplicationDisplayName(QStringLiteral("Quillmoor"));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    QApplication::setFont(font);
}

void tst_TMessageForm::laysItselfOutInTheMessageFontsUnits()
{
    // X = 6 and Y = 13 in DejaVu Sans at 11 pixels: margins 12 and 13, spacing 16, button 75 x 23.
    TMessageForm form(QString::fromUtf8("Ошибка при открытии файла"));

    QCOMPARE(QByteArray(form.metaObject()->className()), QByteArray("TMessageForm"));
    QCOMPARE(form.windowTitle(), QStringLiteral("Quillmoor"));
    QCOMPARE(form.findChildren<QLabel*>().size(), 1); // no icon
    const auto* message = form.findChild<QLabel*>(QStringLiteral("Message"));
    QCOMPARE(message->text(), QString::fromUtf8("Ошибка при открытии файла"));
    const int width = message->fontMetrics().horizontalAdvance(message->text());
    QCOMPARE(message->geometry(), QRect(12, 13, width, 13));
    QCOMPARE(form.size(), QSize(width + 24, 13 + 23 + 16 + 26));
    const auto* ok = form.findChild<QPushButton*>(QStringLiteral("OK"));
    QCOMPARE(ok->text(), QStringLiteral("OK"));
    QCOMPARE(ok->geometry(), QRect((width + 24 - 75) / 2, 42, 75, 23));
    QVERIFY(ok->isDefault());
    QCOMPARE(form.minimumSize(), form.maximumSize());
    QCOMPARE(form.pos(), QPoint((800 - form.width()) / 2, (800 - form.height()) / 2));
}

void tst_TMessageForm::wrapsALongMessageWithinHalfTheScreenWidth()
{
    const QString text = QStringLiteral("Quillmoor writes each changed byte to the file at once. ").repeated(6);
    TMessageForm form(text);

    const auto* message = form.findChild<QLabel*>(QStringLiteral("Message"));
    QVERIFY(message->width() <= 400);
    QVERIFY(message->width() > 300);
    const int lines = message->height() / message->fontMetrics().height();
    QVERIFY2(lines >= 3, qPrintable(QString::number(lines)));
    QCOMPARE(message->heightForWidth(message->width()), message->height());
    QCOMPARE(form.width(), message->width() + 24);
    QCOMPARE(form.height(), message->height() + 23 + 16 + 26);
}

void tst_TMessageForm::isNeverNarrowerThanItsButtonAndMargins_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("short") << QString::fromUtf8("Готово !");
}

void tst_TMessageForm::isNeverNarrowerThanItsButtonAndMargins()
{
    QFETCH(QString, text);
    TMessageForm form(text);

    QCOMPARE(form.size(), QSize(75 + 24, 13 + 23 + 16 + 26));
    QCOMPARE(form.findChild<QPushButton*>()->geometry(), QRect(12, 42, 75, 23));
}

void tst_TMessageForm::closesOnEnterEscapeAndItsButton_data()
{
    QTest::addColumn<QString>("closedBy");
    QTest::newRow("Enter") << "Enter";
    QTest::newRow("Escape") << "Escape";
    QTest::newRow("OK") << "OK";
}

void tst_TMessageForm::closesOnEnterEscapeAndItsButton()
{
    QFETCH(QString, closedBy);
    QString shown;
    QTimer::singleShot(0, [&] {
        auto* form = qobject_cast<TMessageForm*>(QApplication::activeModalWidget());
        if (!form)
            return;
        shown = form->findChild<QLabel*>()->text();
        auto* ok = form->findChild<QPushButton*>();
        if (closedBy == "Enter")
            QTest::keyClick(ok, Qt::Key_Return);
        else if (closedBy == "Escape")
            QTest::keyClick(ok, Qt::Key_Escape);
        else
            QTest::mouseClick(ok, Qt::LeftButton);
    });

    ShowNotice(Cp1251::fromUtf8("Готово !"));

    QCOMPARE(shown, QString::fromUtf8("Готово !"));
    QVERIFY(!QApplication::activeModalWidget());
}

QTEST_MAIN(tst_TMessageForm)
#include "tst_TMessageForm.moc"
