#pragma once

#include <QIdentityProxyModel>

class QFileDialog;

// The file dialogs' size and date columns worded in the default locale, as Qt's other texts in them are. Qt's
// file system model words them after the system locale, which on a desktop under the C locale stays English.
class FileColumns : public QIdentityProxyModel {
    Q_OBJECT
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    // Puts the columns between the dialog and its file system model; the dialog owns them.
    static void install(QFileDialog& dialog);

    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
};
