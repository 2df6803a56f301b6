#include "ui/qt_file_dialog.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <algorithm>

namespace zenvira::ui {

QStringList qtNameFilters(const std::string& classicFilter) {
    const QStringList parts = QString::fromStdString(classicFilter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts.at(i);
        QString patterns = parts.at(i + 1);
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        // Qt reads the patterns from the last parentheses, so a description without them gets them.
        filters << (description.contains(QLatin1Char('(')) ? description : description + " (" + patterns + ")");
    }
    return filters;
}

std::string showQtOpenFileDialog(const components::OpenFileDialogRequest& request) {
    QFileDialog dialog(QApplication::activeWindow());
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(request.chooseFolder ? QFileDialog::Directory : QFileDialog::ExistingFile);
    if (request.chooseFolder) dialog.setOption(QFileDialog::ShowDirsOnly);
    if (!request.title.empty()) dialog.setWindowTitle(QString::fromStdString(request.title));
    if (!request.initialFolder.empty()) dialog.setDirectory(QString::fromStdString(request.initialFolder));
    QStringList filters = qtNameFilters(request.filter);
    const QStringList more = qtNameFilters(request.moreFilter);
    for (qsizetype i = 0; i < more.size(); ++i) filters.insert(std::min<qsizetype>(1 + i, filters.size()), more.at(i));
    if (!filters.isEmpty()) dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(QString::fromStdString(request.defaultExtension));
    if (!request.fileName.empty()) dialog.selectFile(QString::fromStdString(request.fileName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return QDir::toNativeSeparators(dialog.selectedFiles().constFirst()).toStdString();
}

void installQtFileDialogHandler() { components::setOpenFileDialogHandler(showQtOpenFileDialog); }

}  // namespace zenvira::ui
