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
#include <QTimer>

namespace quorvat {

namespace {

// The kinds that the file model names in English whatever the translations ("Folder",
// "Drive", "File", "txt File": Qt's catalogue has none of them), in Portuguese.
QString portuguese_kind(const QString& kind) {
    if (kind == QLatin1String("Folder")) return QStringLiteral("Pasta");
    if (kind == QLatin1String("Drive")) return QStringLiteral("Unidade");
    if (kind == QLatin1String("File")) return QStringLiteral("Arquivo");
    if (kind.endsWith(QLatin1String(" File"))) return QStringLiteral("Arquivo ") + kind.chopped(5);
    return kind;
}

// The dialog's file list with the kinds and dates of the program's language: the file
// model writes dates in the environment's locale, English under the C locale.
class LocalDates : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex& index, int role) const override {
        auto* files = qobject_cast<QFileSystemModel*>(sourceModel());
        if (files && role == Qt::DisplayRole && index.column() == 2)
            return portuguese_kind(QIdentityProxyModel::data(index, role).toString());
        if (files && role == Qt::DisplayRole && index.column() == 3)
            return QLocale().toString(files->lastModified(mapToSource(index)), QLocale::ShortFormat);
        return QIdentityProxyModel::data(index, role);
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section == 2) return QStringLiteral("Tipo");
        return QIdentityProxyModel::headerData(section, orientation, role);
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
        auto fit_columns = [view] {
            for (int column = 1; column < view->header()->count(); ++column) view->resizeColumnToContents(column);
        };
        // A folder read before (typed back after a visit to "/") is not loaded again: its
        // columns are fitted when it is entered too, once its rows are in the view.
        if (auto* model = dialog.findChild<QFileSystemModel*>()) {
            QObject::connect(model, &QFileSystemModel::directoryLoaded, view, fit_columns);
            QObject::connect(model, &QFileSystemModel::rootPathChanged, view,
                             [view, fit_columns] { QTimer::singleShot(0, view, fit_columns); });
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

bool QtSaveDialog::execute() {
    QFileDialog dialog(parent_);
    QtOpenDialog opener(parent_);
    opener.file_name = file_name;
    opener.filter = filter;
    opener.default_extension = default_extension;
    opener.prepare(dialog);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setWindowTitle(QStringLiteral("Salvar"));
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
