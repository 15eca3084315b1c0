#include "framework/file_dialogs.h"

#include "platform/data_folder.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

namespace tessaly::gui {

namespace {

QHash<QString, QString>& lastFolders()
{
    static QHash<QString, QString> folders;
    return folders;
}

bool usableStart(const QString& folder)
{
    return !folder.isEmpty() && QFileInfo(folder).isAbsolute() && QDir(folder).exists() &&
           programFileRefusal(folder.toStdString()).empty();
}

} // namespace

QString dialogFolder(const QString& kind)
{
    const QString last = lastFolders().value(kind);
    return usableStart(last) ? last : QDir::homePath();
}

void rememberDialogFolder(const QString& kind, const QString& file)
{
    const QFileInfo info(file);
    if (info.isAbsolute()) {
        lastFolders().insert(kind, info.absolutePath());
    }
}

QString filterSuffix(const QString& nameFilter)
{
    // The first pattern's: "HTML Files (*.html *.htm)" writes ".html".
    static const QRegularExpression pattern(QStringLiteral(R"(\*\.(\w+))"));
    const QRegularExpressionMatch match = pattern.match(nameFilter);
    return match.hasMatch() ? match.captured(1) : QString{};
}

QString chosenSaveFile(QFileDialog& dialog)
{
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    const auto follow = [&dialog](const QString& filter) {
        dialog.setDefaultSuffix(filterSuffix(filter));
    };
    follow(dialog.selectedNameFilter());
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, follow);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().front();
}

} // namespace tessaly::gui
