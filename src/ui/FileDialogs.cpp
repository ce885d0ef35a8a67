#include "ui/FileDialogs.h"

#include "config/Preferences.h"

#include <QFileDialog>

namespace halvex {

QString RunFileDialog(QWidget* owner, const TFileDialogRequest& request) {
    QFileDialog dialog(owner, QString(), request.Directory, request.Filter);
    dialog.setObjectName(request.Name);
    dialog.setAcceptMode(request.Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    const bool existing = request.ExistingOnly && !request.Save;
    dialog.setFileMode(existing ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setDefaultSuffix(request.DefaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

QString AskFileIn(TPreferences& preferences, const TFileDialog& dialog,
                  TFileDialogRequest request) {
    request.Directory = preferences.StartFolder(request.DefaultSuffix);
    const QString path = dialog ? dialog(request) : QString();
    if (!path.isEmpty())
        preferences.RememberFolder(request.DefaultSuffix, path);
    return path;
}

} // namespace halvex
