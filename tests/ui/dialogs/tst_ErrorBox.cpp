#include "ui/dialogs/ErrorBox.h"

#include "support/Cp1251.h"
#include "tests/ScriptedDialogs.h"
#include "ui/CancelMode.h"

#include <QTest>
#include <QWidget>

Q_DECLARE_METATYPE(std::shared_ptr<Exception>)

class tst_ErrorBox : public QObject {
    Q_OBJECT
private slots:
    void appendsAPeriodOnlyAfterBytesAboveThePeriod_data();
    void appendsAPeriodOnlyAfterBytesAboveThePeriod();
    void showsTheIoFallbackMessageWithAPeriod();
    void showsEveryKindButTheSilentAbort_data();
    void showsEveryKindButTheSilentAbort();
    void endsAHeldMouseStateBeforeAnythingElse();
};

void tst_ErrorBox::appendsAPeriodOnlyAfterBytesAboveThePeriod_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QByteArray>("shown");

    QTest::newRow("empty stays empty") << QByteArray("") << QByteArray("");
    QTest::newRow("letter") << QByteArray("Disk full") << QByteArray("Disk full.");
    QTest::newRow("digit") << QByteArray("I/O error 5") << QByteArray("I/O error 5.");
    QTest::newRow("period") << QByteArray("Done.") << QByteArray("Done.");
    QTest::newRow("exclamation") << QByteArray("Done !") << QByteArray("Done !");
    QTest::newRow("closing parenthesis") << QByteArray("(x)") << QByteArray("(x)");
    QTest::newRow("quote") << QByteArray("'$zz' is not a valid integer value'")
                           << QByteArray("'$zz' is not a valid integer value'");
    QTest::newRow("trailing blank") << QByteArray("Failed ") << QByteArray("Failed ");
    QTest::newRow("hyphen, just below the period") << QByteArray("a-") << QByteArray("a-");
    QTest::newRow("slash, just above the period") << QByteArray("/tmp/") << QByteArray("/tmp/.");
    QTest::newRow("colon") << QByteArray("Path:") << QByteArray("Path:.");
    QTest::newRow("Cyrillic small ya, byte 255")
        << QByteArray::fromStdString(Cp1251::fromUtf8("Ошибка записи в файл"))
        << QByteArray::fromStdString(Cp1251::fromUtf8("Ошибка записи в файл."));
    QTest::newRow("Cyrillic capital A, byte 192")
        << QByteArray::fromStdString(Cp1251::fromUtf8("А")) << QByteArray::fromStdString(Cp1251::fromUtf8("А."));
    QTest::newRow("byte 128") << QByteArray("x\x80") << QByteArray("x\x80.");
    QTest::newRow("only a period") << QByteArray(".") << QByteArray(".");
}

void tst_ErrorBox::appendsAPeriodOnlyAfterBytesAboveThePeriod()
{
    QFETCH(QByteArray, message);
    QFETCH(QByteArray, shown);
    ScriptedDialogs dialogs;

    ShowErrorBox(Exception(message.toStdString()));

    QCOMPARE(dialogs.shown.size(), std::size_t { 1 });
    QCOMPARE(dialogs.shown[0], (ScriptedDialogs::Shown { "error", "Quillmoor", shown.toStdString(), {} }));
}

void tst_ErrorBox::showsTheIoFallbackMessageWithAPeriod()
{
    ScriptedDialogs dialogs;

    HandleEventError(EInOutError(131));

    QCOMPARE(dialogs.texts("error"), std::vector<std::string> { "I/O error 131." });
}

void tst_ErrorBox::showsEveryKindButTheSilentAbort_data()
{
    QTest::addColumn<std::shared_ptr<Exception>>("error");
    QTest::addColumn<QStringList>("shown");

    QTest::newRow("Exception") << std::make_shared<Exception>("Unable to write to /x/Quillmoor.ini")
                               << QStringList { "Unable to write to /x/Quillmoor.ini." };
    QTest::newRow("EConvertError") << std::shared_ptr<Exception>(
        std::make_shared<EConvertError>("'$zz' is not a valid integer value"))
                                   << QStringList { "'$zz' is not a valid integer value." };
    QTest::newRow("EInOutError") << std::shared_ptr<Exception>(std::make_shared<EInOutError>(101))
                                 << QStringList { "Disk full." };
    QTest::newRow("EAbort") << std::shared_ptr<Exception>(std::make_shared<EAbort>()) << QStringList {};
}

void tst_ErrorBox::showsEveryKindButTheSilentAbort()
{
    QFETCH(std::shared_ptr<Exception>, error);
    QFETCH(QStringList, shown);
    ScriptedDialogs dialogs;

    HandleEventError(*error);

    QStringList texts;
    for (const std::string& text : dialogs.texts("error"))
        texts << QString::fromStdString(text);
    QCOMPARE(texts, shown);
}

namespace {
// Records, in one list with the error box, when the held state was dropped.
class HeldWidget : public QWidget {
public:
    explicit HeldWidget(std::vector<std::string>& log)
        : m_log(log)
    {
    }

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == cancelModeEventType()) {
            m_log.push_back("cancel mode");
            return true;
        }
        return QWidget::event(event);
    }

private:
    std::vector<std::string>& m_log;
};

class LoggingDialogs : public ScriptedDialogs {
public:
    std::vector<std::string> log;
    void errorBox(const std::string& text) override { log.push_back("error box " + text); }
};
} // namespace

void tst_ErrorBox::endsAHeldMouseStateBeforeAnythingElse()
{
    LoggingDialogs dialogs;
    HeldWidget held(dialogs.log);

    for (const bool silent : { false, true }) {
        setMouseCaptureOwner(&held);
        if (silent)
            HandleEventError(EAbort());
        else
            HandleEventError(Exception("Boom"));
        QCOMPARE(mouseCaptureOwner(), nullptr);
    }

    QCOMPARE(dialogs.log, (std::vector<std::string> { "cancel mode", "error box Boom.", "cancel mode" }));
}

QTEST_MAIN(tst_ErrorBox)
#include "tst_ErrorBox.moc"
