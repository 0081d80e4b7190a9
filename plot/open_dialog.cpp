#include "plot/open_dialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QSplitter>
#include <QTreeView>
#include <QStringList>

namespace quorvat {

namespace {

// The dialog's file list with the dates of the program's locale: the file model writes
// them in the environment's, English under the C locale.
class LocalDates : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex& index, int role) const override {
        auto* files = qobject_cast<QFileSystemModel*>(sourceModel());
        if (files && role == Qt::DisplayRole && index.column() == 3)
            return QLocale().toString(files->lastModified(mapToSource(index)), QLocale::ShortFormat);
        return QIdentityProxyModel::data(index, role);
    }
};

}  // namespace

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

void QtOpenDialog::prepare(QFileDialog& dialog) const {
    dialog.setProxyModel(new LocalDates(&dialog));  // first: a new model resets the view
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters(QString::fromStdString(to_qt_filter(filter)).split(";;"));
    dialog.setDefaultSuffix(QString::fromStdString(default_extension));
    QFileInfo proposed(QString::fromStdString(file_name));
    if (!file_name.empty()) {
        if (proposed.path() != ".") dialog.setDirectory(proposed.absolutePath());
        dialog.selectFile(proposed.fileName());
    }
    // Qt sizes the detail columns for English samples ("128.88 GB", "mp3Folder"), which
    // cut "394 bytes" and "Documento de texto": each column takes its contents' width
    // once the folder is read, in a dialog wide enough for the four.
    const QFontMetrics metrics = dialog.fontMetrics();
    dialog.resize(metrics.horizontalAdvance(QLatin1Char('x')) * 120, 460);
    if (auto* splitter = dialog.findChild<QSplitter*>(QStringLiteral("splitter")))
        splitter->setSizes({metrics.horizontalAdvance(QStringLiteral("Computador")) + 48, dialog.width()});
    if (auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
        if (auto* model = dialog.findChild<QFileSystemModel*>()) {
            QObject::connect(model, &QFileSystemModel::directoryLoaded, view, [view] {
                for (int column = 1; column < view->header()->count(); ++column) view->resizeColumnToContents(column);
            });
        }
    }
}

bool QtOpenDialog::execute() {
    QFileDialog dialog(parent_);
    prepare(dialog);
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
