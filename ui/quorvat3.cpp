#include "ui/quorvat3.h"

#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>

#include "engine/results.h"
#include "plot/command.h"
#include "ui/log_sink.h"
#include "ui/quorvat1.h"
#include "ui/shell.h"
#include "ui/window_host.h"

namespace {

// Items of the design's height, 13 pixels, whatever the style would give. The current
// item that is not selected shows as a dotted frame only: the style's focus frame is
// filled with the selection's colour, and at the pause it made the first item look
// selected before the user chose anything.
class FixedHeightDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(13);
        return size;
    }
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        if (option.state.testFlag(QStyle::State_Selected) || !option.state.testFlag(QStyle::State_HasFocus)) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem plain = option;
        plain.state &= ~QStyle::State_HasFocus;
        QStyledItemDelegate::paint(painter, plain, index);
        painter->save();
        painter->setPen(QPen(option.palette.color(QPalette::Text), 1, Qt::DotLine));
        painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
        painter->restore();
    }
};

}  // namespace

TForm3::TForm3(quorvat::Shell& shell) : QWidget(nullptr, Qt::Window), shell_(shell) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Variáveis"));
    resize(quorvat::client_size(194, 398));

    LBsel = new QListWidget(this);
    LBsel->setObjectName(QStringLiteral("LBsel"));
    LBsel->setGeometry(8, 8, 161, 313);
    LBsel->setSelectionMode(QAbstractItemView::ExtendedSelection);
    LBsel->setItemDelegate(new FixedHeightDelegate(LBsel));
    LBsel->setUniformItemSizes(true);

    Button1 = new QPushButton(QStringLiteral("&Listar resultados"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(8, 328, 89, 25);
    Button1->setEnabled(false);
    quorvat::fit_to_text(*Button1);

    setTabOrder(LBsel, Button1);
    connect(Button1, &QPushButton::clicked, this, &TForm3::Button1Click);
}

void TForm3::fill(const std::vector<std::string>& variable_names) {
    LBsel->clear();
    for (const std::string& name : variable_names) LBsel->addItem(quorvat::decode_bytes(name));
}

void TForm3::Button1Click() {
    quorvat::run_command([this] {
        quorvat::LogFlushGuard flush(shell_.form1().log());
        quorvat::list_selected_results(shell_.tables(), shell_.host());
    });
}
