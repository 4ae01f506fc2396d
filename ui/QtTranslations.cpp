#include "ui/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

bool installQtTranslations(const QString& directory)
{
    // The file dialogs word sizes, file types and dates after the default locale, not after the translation.
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    const QString from = directory.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : directory;
    auto* translator = new QTranslator(QCoreApplication::instance());
    // qtbase_ru holds the texts of Qt's widgets and dialogs; the program's own texts are Russian already.
    if (!translator->load(QStringLiteral("qtbase_ru"), from) || !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    return true;
}
