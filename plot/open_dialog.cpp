#include "plot/open_dialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

namespace quorvat {

std::string to_qt_filter(const std::string& filter) {
    QStringList parts = QString::fromStdString(filter).split('|');
    QStringList entries;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i], pattern = parts[i + 1];
        if (description.endsWith("(" + pattern + ")"))
            entries << description;
        else
            entries << description + " (" + pattern + ")";
    }
    return entries.join(";;").toStdString();
}

bool QtOpenDialog::execute() {
    QFileDialog dialog(parent_);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters(QString::fromStdString(to_qt_filter(filter)).split(";;"));
    dialog.setDefaultSuffix(QString::fromStdString(default_extension));
    QFileInfo proposed(QString::fromStdString(file_name));
    if (!file_name.empty()) {
        if (proposed.path() != ".") dialog.setDirectory(proposed.absolutePath());
        dialog.selectFile(proposed.fileName());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    file_name = dialog.selectedFiles().first().toStdString();
    return true;
}

bool ScriptedOpenDialog::execute() {
    ++executions;
    if (cancel) return false;
    file_name = answer;
    return true;
}

}  // namespace quorvat
