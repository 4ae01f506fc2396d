#pragma once

#include <QString>

// Loads Qt's own Russian texts (the file dialogs' captions, labels and buttons, their overwrite question, the
// edit boxes' context menus) from directory, or from Qt's translations directory when it is empty, and makes
// Russian the default locale, after which the file dialogs word sizes, file types and dates. The program speaks
// Russian whatever the user's locale. Returns false when the translation cannot be loaded; Qt's texts then stay
// English and the program runs as ever.
bool installQtTranslations(const QString& directory = {});
