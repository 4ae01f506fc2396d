#include "ui/QtTranslations.h"

#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>

// Qt's own texts (the save dialog's caption, its overwrite question) follow the translation that is loaded, and a
// missing or damaged one leaves them English without stopping anything.
class tst_QtTranslations : public QObject {
    Q_OBJECT
private slots:
    void cleanup();

    void qtsOwnTextsAreRussianFromQtsDirectory();
    void aMissingOrDamagedTranslationLeavesTheTextsEnglish_data();
    void aMissingOrDamagedTranslationLeavesTheTextsEnglish();
};

namespace {
QString saveAs()
{
    return QCoreApplication::translate("QFileDialog", "Save As");
}
} // namespace

void tst_QtTranslations::cleanup()
{
    // Each installed translator is a child of the application: removing them all puts the English texts back.
    for (QObject* child : QCoreApplication::instance()->children()) {
        if (auto* translator = qobject_cast<QTranslator*>(child)) {
            QCoreApplication::removeTranslator(translator);
            delete translator;
        }
    }
}

void tst_QtTranslations::qtsOwnTextsAreRussianFromQtsDirectory()
{
    QCOMPARE(saveAs(), QStringLiteral("Save As"));
    QVERIFY(installQtTranslations());
    QCOMPARE(saveAs(), QString::fromUtf8("Сохранить как"));
    QCOMPARE(QCoreApplication::translate("QFileDialog", "%1 already exists.\nDo you want to replace it?")
                 .arg(QStringLiteral("a.TXT")),
        QString::fromUtf8("a.TXT уже существует.\nЗаменить его?"));
    // The file dialogs' size column, worded by the default locale.
    QCOMPARE(QLocale().formattedDataSize(5) + QLatin1Char(' ') + QLocale().formattedDataSize(1478656),
        QString::fromUtf8("5 байты 1,41 MiB"));
}

void tst_QtTranslations::aMissingOrDamagedTranslationLeavesTheTextsEnglish_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("missing") << QByteArray();
    QTest::newRow("not a translation") << QByteArray("qtbase_ru, but only in name\n");
}

void tst_QtTranslations::aMissingOrDamagedTranslationLeavesTheTextsEnglish()
{
    QFETCH(QByteArray, content);
    QTemporaryDir directory;
    QVERIFY(directory.isValid());
    if (!content.isEmpty()) {
        QFile file(directory.filePath(QStringLiteral("qtbase_ru.qm")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QVERIFY(!installQtTranslations(directory.path()));
    QCOMPARE(saveAs(), QStringLiteral("Save As"));
}

QTEST_GUILESS_MAIN(tst_QtTranslations)
#include "tst_QtTranslations.moc"
