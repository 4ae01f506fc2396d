#include "ui/dialogs/Dialogs.h"

#include "support/Cp1251.h"
#include "tests/ScriptedDialogs.h"
#include "ui/CancelMode.h"
#include "ui/dialogs/ErrorBox.h"
#include "ui/dialogs/FileColumns.h"
#include "ui/dialogs/StandardDialogs.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {
// Stands for a control that holds the mouse; counts the cancel-mode events it gets.
class Holder : public QWidget {
public:
    int cancels = 0;

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == cancelModeEventType()) {
            ++cancels;
            return true;
        }
        return QWidget::event(event);
    }
};
} // namespace

class tst_Dialogs : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();

    void servesTheRealDialogsUnlessReplaced();
    void showsErrorsInTheCriticalMessageBoxAfterEndingAHold();
    void returnsTheChosenFileOrNothing_data();
    void returnsTheChosenFileOrNothing();
    void aPopupOpenedInAFileDialogClosesWithIt_data();
    void aPopupOpenedInAFileDialogClosesWithIt();
    void scriptedDialogsAnswerInOrderAndCancelWhenOutOfAnswers();
    void aFileDialogWordsSizesAndDatesInTheDefaultLocale();
};

void tst_Dialogs::initTestCase()
{
    QApplication::setApplicationDisplayName(QStringLiteral("Quillmoor"));
}

void tst_Dialogs::servesTheRealDialogsUnlessReplaced()
{
    QVERIFY(dynamic_cast<StandardDialogs*>(&dialogs()));
    {
        ScriptedDialogs outer;
        {
            ScriptedDialogs inner;
            QCOMPARE(&dialogs(), &inner);
        }
        QCOMPARE(&dialogs(), &outer);
    }
    QVERIFY(dynamic_cast<StandardDialogs*>(&dialogs()));
}

void tst_Dialogs::showsErrorsInTheCriticalMessageBoxAfterEndingAHold()
{
    Holder holder;
    setMouseCaptureOwner(&holder);
    int cancelsWhenShown = -1;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title;
    QString text;
    Qt::TextFormat format = Qt::AutoText;
    Qt::WindowModality modality = Qt::NonModal;
    QMessageBox::StandardButtons buttons;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        cancelsWhenShown = holder.cancels;
        icon = box->icon();
        title = box->windowTitle();
        text = box->text();
        format = box->textFormat();
        modality = box->windowModality();
        buttons = box->standardButtons();
        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    });

    // Markup in a message is shown as it stands.
    ShowErrorBox(EConvertError(Cp1251::fromUtf8("'<b>Я</b>' is not a valid integer value")));

    QCOMPARE(cancelsWhenShown, 1);
    QCOMPARE(icon, QMessageBox::Critical);
    QCOMPARE(title, QStringLiteral("Quillmoor"));
    QCOMPARE(text, QString::fromUtf8("'<b>Я</b>' is not a valid integer value."));
    QCOMPARE(format, Qt::PlainText);
    QCOMPARE(modality, Qt::ApplicationModal);
    QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

void tst_Dialogs::returnsTheChosenFileOrNothing_data()
{
    QTest::addColumn<bool>("accept");
    QTest::newRow("accepted") << true;
    QTest::newRow("cancelled") << false;
}

void tst_Dialogs::returnsTheChosenFileOrNothing()
{
    QFETCH(bool, accept);
    QTemporaryDir directory;
    QVERIFY(directory.isValid());
    const QString path = directory.filePath(QString::fromUtf8("Отчёт 1.txt"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    QFileDialog dialog(nullptr, QStringLiteral("Open"), directory.path());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    QTimer::singleShot(0, [&] {
        dialog.selectFile(path);
        if (accept)
            static_cast<QDialog&>(dialog).accept();
        else
            dialog.reject();
    });

    const std::optional<std::string> chosen = dialogs().execFileDialog(dialog);

    if (accept)
        QCOMPARE(chosen, std::optional<std::string>(QFile::encodeName(path).toStdString()));
    else
        QCOMPARE(chosen, std::nullopt);
}

void tst_Dialogs::aPopupOpenedInAFileDialogClosesWithIt_data()
{
    QTest::addColumn<bool>("accept");
    QTest::newRow("accepted") << true;
    QTest::newRow("cancelled") << false;
}

void tst_Dialogs::aPopupOpenedInAFileDialogClosesWithIt()
{
    QFETCH(bool, accept);
    QWidget completerList(nullptr, Qt::Popup);
    completerList.resize(40, 40);
    QFileDialog dialog(nullptr, QStringLiteral("Open"), QDir::tempPath());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    QTimer::singleShot(0, [&] {
        // The name box's completer list shows while the user types a path; Enter accepts the dialog.
        completerList.show();
        static_cast<QDialog&>(dialog).done(accept ? QDialog::Accepted : QDialog::Rejected);
    });

    (void)dialogs().execFileDialog(dialog);

    QVERIFY(!completerList.isVisible());
    QCOMPARE(QApplication::activePopupWidget(), nullptr);
}

void tst_Dialogs::scriptedDialogsAnswerInOrderAndCancelWhenOutOfAnswers()
{
    ScriptedDialogs scripted;
    scripted.promptAnswers = { std::string("42"), std::nullopt };
    QFileDialog dialog(nullptr, QString::fromUtf8("Открыть"));

    std::string first = "0";
    std::string second = "7";
    std::string third = "9";
    QVERIFY(dialogs().inputPrompt("A", "a?", first));
    QVERIFY(!dialogs().inputPrompt("B", "b?", second));
    QVERIFY(!dialogs().inputPrompt("C", "c?", third));
    QCOMPARE(dialogs().execFileDialog(dialog), std::nullopt);
    dialogs().notice("Done");

    QCOMPARE(first, "42");
    QCOMPARE(second, "7");
    QCOMPARE(third, "9");
    const std::vector<ScriptedDialogs::Shown> expected { { "prompt", "A", "a?", "0" }, { "prompt", "B", "b?", "7" },
        { "prompt", "C", "c?", "9" }, { "file", Cp1251::fromUtf8("Открыть"), "", "" },
        { "notice", "Quillmoor", "Done", "" } };
    QVERIFY(scripted.shown == expected);
}

void tst_Dialogs::aFileDialogWordsSizesAndDatesInTheDefaultLocale()
{
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    const auto restore = qScopeGuard([&before] { QLocale::setDefault(before); });
    QTemporaryDir directory;
    const QString path = directory.filePath(QStringLiteral("five.bin"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("12345") == 5);
    file.close();
    QFileDialog dialog(nullptr, {}, directory.path());
    FileColumns::install(dialog);
    auto* files = qobject_cast<QFileSystemModel*>(dialog.proxyModel()->sourceModel());
    QVERIFY(files);
    const QModelIndex size = dialog.proxyModel()->mapFromSource(files->index(path, 1));
    QTRY_COMPARE(size.data().toString(), QString::fromUtf8("5 байты"));
    QCOMPARE(size.siblingAtColumn(3).data().toString(), QFileInfo(path).lastModified().toString("dd.MM.yyyy HH:mm"));
}

QTEST_MAIN(tst_Dialogs)
#include "tst_Dialogs.moc"
