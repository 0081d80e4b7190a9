#include "ui/log_view.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMetaObject>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>

namespace quorvat {

namespace {

// Blank pixels between the frame and the text, as a text document leaves.
constexpr int margin = 4;

bool is_word_character(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); }

// Line breaks of any kind as '\n'.
QString with_plain_breaks(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    for (QChar breaking : {QChar('\r'), QChar(0x2028), QChar(0x2029)}) text.replace(breaking, QChar('\n'));
    return text;
}

// How the cursor moves for a standard key sequence; select keeps the anchor.
enum class Motion { next_char, previous_char, next_word, previous_word, next_row, previous_row, line_start,
                    line_end, document_start, document_end, next_page, previous_page };

struct KeyMotion {
    QKeySequence::StandardKey key;
    Motion motion;
    bool select;
};

const KeyMotion key_motions[] = {
    {QKeySequence::MoveToNextChar, Motion::next_char, false},
    {QKeySequence::SelectNextChar, Motion::next_char, true},
    {QKeySequence::MoveToPreviousChar, Motion::previous_char, false},
    {QKeySequence::SelectPreviousChar, Motion::previous_char, true},
    {QKeySequence::MoveToNextWord, Motion::next_word, false},
    {QKeySequence::SelectNextWord, Motion::next_word, true},
    {QKeySequence::MoveToPreviousWord, Motion::previous_word, false},
    {QKeySequence::SelectPreviousWord, Motion::previous_word, true},
    {QKeySequence::MoveToNextLine, Motion::next_row, false},
    {QKeySequence::SelectNextLine, Motion::next_row, true},
    {QKeySequence::MoveToPreviousLine, Motion::previous_row, false},
    {QKeySequence::SelectPreviousLine, Motion::previous_row, true},
    {QKeySequence::MoveToStartOfLine, Motion::line_start, false},
    {QKeySequence::SelectStartOfLine, Motion::line_start, true},
    {QKeySequence::MoveToEndOfLine, Motion::line_end, false},
    {QKeySequence::SelectEndOfLine, Motion::line_end, true},
    {QKeySequence::MoveToStartOfDocument, Motion::document_start, false},
    {QKeySequence::SelectStartOfDocument, Motion::document_start, true},
    {QKeySequence::MoveToEndOfDocument, Motion::document_end, false},
    {QKeySequence::SelectEndOfDocument, Motion::document_end, true},
    {QKeySequence::MoveToNextPage, Motion::next_page, false},
    {QKeySequence::SelectNextPage, Motion::next_page, true},
    {QKeySequence::MoveToPreviousPage, Motion::previous_page, false},
    {QKeySequence::SelectPreviousPage, Motion::previous_page, true},
};

}  // namespace

LogView::LogView(QWidget* parent) : QAbstractScrollArea(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(false);
    horizontalScrollBar()->setRange(0, 0);
    update_font_metrics();
}

QString LogView::line(qsizetype index) const {
    std::string_view text = store_.line(index);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QStringList LogView::lines(qsizetype first) const {
    QStringList result;
    result.reserve(std::max<qsizetype>(0, line_count() - first));
    for (qsizetype i = std::max<qsizetype>(0, first); i < line_count(); ++i) result << line(i);
    return result;
}

void LogView::setPlainText(const QString& text) {
    std::vector<std::string> lines;
    for (const QString& part : with_plain_breaks(text).split(QLatin1Char('\n'))) lines.push_back(part.toStdString());
    store_.replace(0, store_.size() - 1, lines);
    cursor_ = anchor_ = {};
    pending_ = 0;
    update_scroll_range();
    verticalScrollBar()->setValue(0);
    viewport()->update();
}

QString LogView::toPlainText() const { return lines().join(QLatin1Char('\n')); }

void LogView::append_line(std::string_view utf8) {
    store_.append(utf8);
    ++pending_;
    if (refresh_posted_) return;
    refresh_posted_ = true;
    QMetaObject::invokeMethod(
        this, [this] {
            refresh_posted_ = false;
            refresh();
        },
        Qt::QueuedConnection);
}

void LogView::refresh() {
    if (pending_ == 0) return;
    pending_ = 0;
    QScrollBar* bar = verticalScrollBar();
    const bool at_end = bar->value() >= bar->maximum();
    update_scroll_range();
    if (at_end) bar->setValue(bar->maximum());
    viewport()->update();
}

void LogView::update_font_metrics() {
    QFontMetricsF metrics(font());
    // Measured over a long run, so that rounding in the glyphs' layout counts too.
    constexpr int sample = 100;
    char_width_ = std::max<qreal>(1.0, metrics.horizontalAdvance(QString(sample, QLatin1Char('M'))) / sample);
    line_height_ = std::max(1, qCeil(metrics.lineSpacing()));
    ascent_ = qCeil(metrics.ascent());
}

int LogView::columns() const {
    return std::max(1, static_cast<int>(std::floor((viewport()->width() - 2 * margin) / char_width_)));
}

QStringList LogView::rows(qsizetype index) const {
    const QString text = line(index);
    const qsizetype cols = columns();
    QStringList parts;
    for (qsizetype start = 0; start < text.size() || start == 0; start += cols) parts << text.mid(start, cols);
    return parts;
}

qsizetype LogView::rows_of(qsizetype length) const {
    const qsizetype cols = columns();
    return length == 0 ? 1 : (length + cols - 1) / cols;
}

int LogView::visible_rows() const { return std::max(1, (viewport()->height() - margin) / line_height_); }

qsizetype LogView::last_top() const {
    const qsizetype visible = visible_rows();
    qsizetype rows = 0, top = line_count();
    while (top > 0) {
        qsizetype row_count = rows_of_line(top - 1);
        if (rows + row_count > visible) break;
        rows += row_count;
        --top;
    }
    return std::min(top, line_count() - 1);
}

void LogView::update_scroll_range() {
    QScrollBar* bar = verticalScrollBar();
    const qsizetype maximum = last_top();
    bar->setRange(0, static_cast<int>(std::min<qsizetype>(maximum, INT_MAX)));
    bar->setPageStep(visible_rows());
    bar->setSingleStep(1);
}

qsizetype LogView::first_visible_line() const { return verticalScrollBar()->value(); }

void LogView::scrollContentsBy(int, int) { viewport()->update(); }

void LogView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    const bool at_end = verticalScrollBar()->value() >= verticalScrollBar()->maximum();
    update_scroll_range();
    if (at_end) verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void LogView::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        update_font_metrics();
        update_scroll_range();
        viewport()->update();
    }
}

void LogView::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void LogView::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

void LogView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), palette().base());
    painter.setFont(font());
    const QFontMetricsF metrics(font());
    const qsizetype cols = columns();
    const TextPosition from = std::min(anchor_, cursor_), to = std::max(anchor_, cursor_);
    const QColor text_color = palette().color(QPalette::Text);
    int y = margin;
    for (qsizetype index = first_visible_line(); index < line_count() && y < viewport()->height(); ++index) {
        const QString text = line(index);
        const qsizetype length = text.size(), rows = rows_of(length);
        for (qsizetype row = 0; row < rows && y < viewport()->height(); ++row, y += line_height_) {
            const qsizetype start = row * cols;
            const QString part = text.mid(start, cols);
            auto x_of = [&](qsizetype column) {
                return margin + metrics.horizontalAdvance(part.left(column - start));
            };
            painter.setPen(text_color);
            painter.drawText(QPointF(margin, y + ascent_), part);
            if (index >= from.line && index <= to.line && has_selection()) {
                // The selection in this row; a selected line break shows as one cell.
                qsizetype first = std::max(start, index == from.line ? from.column : 0);
                qsizetype last = index == to.line ? to.column : length + 1;
                last = std::min(last, start + part.size() + (row == rows - 1 ? 1 : 0));
                if (first < last) {
                    qreal left = x_of(first);
                    qreal right = last > length ? x_of(length) + char_width_ : x_of(last);
                    QRectF band(left, y, right - left, line_height_);
                    painter.fillRect(band, palette().highlight());
                    painter.save();
                    painter.setClipRect(band);
                    painter.setPen(palette().color(QPalette::HighlightedText));
                    painter.drawText(QPointF(margin, y + ascent_), part);
                    painter.restore();
                }
            }
            if (index == cursor_.line && hasFocus()) {
                qsizetype cursor_row = std::min(cursor_.column / cols, rows - 1);
                if (cursor_row == row) painter.fillRect(QRectF(x_of(cursor_.column), y, 1, line_height_), text_color);
            }
        }
    }
}

TextPosition LogView::clamped(TextPosition position) const {
    position.line = std::clamp<qsizetype>(position.line, 0, line_count() - 1);
    position.column = std::clamp<qsizetype>(position.column, 0, line(position.line).size());
    return position;
}

void LogView::set_cursor_position(TextPosition position, bool keep_anchor) {
    cursor_ = clamped(position);
    if (!keep_anchor) anchor_ = cursor_;
    ensure_cursor_visible();
    viewport()->update();
}

void LogView::ensure_cursor_visible() {
    QScrollBar* bar = verticalScrollBar();
    if (cursor_.line < bar->value()) {
        bar->setValue(static_cast<int>(cursor_.line));
        return;
    }
    // The highest first line that keeps the cursor's row on the screen.
    const qsizetype visible = visible_rows(), cols = columns();
    qsizetype rows = std::min(cursor_.column / cols, rows_of_line(cursor_.line) - 1) + 1;
    qsizetype top = cursor_.line;
    while (top > bar->value()) {
        qsizetype row_count = rows_of_line(top - 1);
        if (rows + row_count > visible) break;
        rows += row_count;
        --top;
    }
    if (top > bar->value()) bar->setValue(static_cast<int>(top));
}

TextPosition LogView::position_at(QPoint point) const {
    const qsizetype cols = columns();
    qsizetype row = point.y() < margin ? 0 : (point.y() - margin) / line_height_;
    qsizetype index = first_visible_line();
    while (index < line_count() - 1 && row >= rows_of_line(index)) {
        row -= rows_of_line(index);
        ++index;
    }
    const QString text = line(index);
    row = std::min(row, rows_of(text.size()) - 1);
    const QString part = text.mid(row * cols, cols);
    const QFontMetricsF metrics(font());
    qsizetype column = 0;
    const qreal x = point.x() - margin;
    while (column < part.size() && metrics.horizontalAdvance(part.left(column + 1)) - char_width_ / 2 < x) ++column;
    return {index, row * cols + column};
}

QString LogView::selected_text() const {
    const TextPosition from = std::min(anchor_, cursor_), to = std::max(anchor_, cursor_);
    if (from.line == to.line) return line(from.line).mid(from.column, to.column - from.column);
    QString text = line(from.line).mid(from.column);
    for (qsizetype index = from.line + 1; index < to.line; ++index) text += QLatin1Char('\n') + line(index);
    text += QLatin1Char('\n') + line(to.line).left(to.column);
    return text;
}

void LogView::replace_range(TextPosition start, TextPosition end, const QString& text) {
    QStringList parts = with_plain_breaks(text).split(QLatin1Char('\n'));
    parts.first().prepend(line(start.line).left(start.column));
    const qsizetype column = parts.last().size();
    parts.last().append(line(end.line).mid(end.column));
    std::vector<std::string> lines;
    lines.reserve(static_cast<std::size_t>(parts.size()));
    for (const QString& part : parts) lines.push_back(part.toStdString());
    store_.replace(start.line, end.line, lines);
    cursor_ = anchor_ = {start.line + parts.size() - 1, column};
    update_scroll_range();
    ensure_cursor_visible();
    viewport()->update();
}

void LogView::insert_text(const QString& text) {
    replace_range(std::min(anchor_, cursor_), std::max(anchor_, cursor_), text);
}

void LogView::remove_selection() {
    if (has_selection()) insert_text(QString());
}

void LogView::copy() {
    if (has_selection()) QGuiApplication::clipboard()->setText(selected_text());
}

void LogView::cut() {
    copy();
    remove_selection();
}

void LogView::paste() {
    const QString text = QGuiApplication::clipboard()->text();
    if (!text.isEmpty()) insert_text(text);
}

void LogView::select_all() {
    anchor_ = {};
    cursor_ = {line_count() - 1, line(line_count() - 1).size()};
    viewport()->update();
}

void LogView::move_cursor(QKeyEvent* event, bool& handled) {
    const KeyMotion* found = nullptr;
    for (const KeyMotion& entry : key_motions)
        if (event->matches(entry.key)) found = &entry;
    handled = found != nullptr;
    if (!found) return;
    // Without Shift a selection collapses to its start or end, as in any editor.
    if (!found->select && has_selection() &&
        (found->motion == Motion::previous_char || found->motion == Motion::next_char)) {
        TextPosition target = found->motion == Motion::previous_char ? std::min(anchor_, cursor_) : std::max(anchor_, cursor_);
        set_cursor_position(target);
        return;
    }
    const qsizetype cols = columns();
    TextPosition p = cursor_;
    const QString text = line(p.line);
    const qsizetype row = std::min(p.column / cols, rows_of(text.size()) - 1);
    switch (found->motion) {
    case Motion::next_char:
        if (p.column < text.size()) ++p.column;
        else if (p.line + 1 < line_count()) p = {p.line + 1, 0};
        break;
    case Motion::previous_char:
        if (p.column > 0) --p.column;
        else if (p.line > 0) p = {p.line - 1, line(p.line - 1).size()};
        break;
    case Motion::next_word:
        if (p.column >= text.size() && p.line + 1 < line_count()) {
            p = {p.line + 1, 0};
            break;
        }
        while (p.column < text.size() && is_word_character(text[p.column])) ++p.column;
        while (p.column < text.size() && !is_word_character(text[p.column])) ++p.column;
        break;
    case Motion::previous_word:
        if (p.column == 0 && p.line > 0) {
            p = {p.line - 1, line(p.line - 1).size()};
            break;
        }
        while (p.column > 0 && !is_word_character(text[p.column - 1])) --p.column;
        while (p.column > 0 && is_word_character(text[p.column - 1])) --p.column;
        break;
    case Motion::next_row:
        if (row + 1 < rows_of(text.size())) p.column = std::min(p.column + cols, text.size());
        else if (p.line + 1 < line_count()) p = {p.line + 1, p.column - row * cols};
        break;
    case Motion::previous_row:
        if (row > 0) p.column -= cols;
        else if (p.line > 0) p = {p.line - 1, (rows_of_line(p.line - 1) - 1) * cols + p.column};
        break;
    case Motion::line_start: p.column = 0; break;
    case Motion::line_end: p.column = text.size(); break;
    case Motion::document_start: p = {}; break;
    case Motion::document_end: p = {line_count() - 1, line(line_count() - 1).size()}; break;
    case Motion::next_page:
        p.line += visible_rows();
        verticalScrollBar()->setValue(verticalScrollBar()->value() + visible_rows());
        break;
    case Motion::previous_page:
        p.line -= visible_rows();
        verticalScrollBar()->setValue(verticalScrollBar()->value() - visible_rows());
        break;
    }
    set_cursor_position(p, found->select);
}

void LogView::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) return copy();
    if (event->matches(QKeySequence::Cut)) return cut();
    if (event->matches(QKeySequence::Paste)) return paste();
    if (event->matches(QKeySequence::SelectAll)) return select_all();
    bool handled = false;
    move_cursor(event, handled);
    if (handled) return;
    if (event->key() == Qt::Key_Backspace || event->matches(QKeySequence::Delete)) {
        if (!has_selection()) {
            TextPosition other = cursor_;
            if (event->key() == Qt::Key_Backspace) {
                if (other.column > 0) --other.column;
                else if (other.line > 0) other = {other.line - 1, line(other.line - 1).size()};
            } else {
                if (other.column < line(other.line).size()) ++other.column;
                else if (other.line + 1 < line_count()) other = {other.line + 1, 0};
            }
            anchor_ = other;
        }
        remove_selection();
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        insert_text(QStringLiteral("\n"));
        return;
    }
    // Typing: plain or shifted keys and AltGr; Alt and Ctrl combinations are the menus'
    // and the shortcuts', never text.
    const Qt::KeyboardModifiers modifiers =
        event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier | Qt::GroupSwitchModifier);
    const bool alt_gr = modifiers == (Qt::ControlModifier | Qt::AltModifier);
    const QString text = event->text();
    const bool printable =
        !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) { return c.isPrint(); });
    if (printable && (modifiers == Qt::NoModifier || alt_gr)) {
        insert_text(text);
        return;
    }
    event->ignore();
}

void LogView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    dragging_ = true;
    set_cursor_position(position_at(event->position().toPoint()), event->modifiers().testFlag(Qt::ShiftModifier));
}

void LogView::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_) return;
    const QPoint point = event->position().toPoint();
    QScrollBar* bar = verticalScrollBar();
    if (point.y() < 0) bar->setValue(bar->value() - 1);
    else if (point.y() > viewport()->height()) bar->setValue(bar->value() + 1);
    cursor_ = position_at(point);
    viewport()->update();
}

void LogView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) dragging_ = false;
}

void LogView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    TextPosition p = position_at(event->position().toPoint());
    const QString text = line(p.line);
    qsizetype start = p.column, end = p.column;
    while (start > 0 && is_word_character(text[start - 1])) --start;
    while (end < text.size() && is_word_character(text[end])) ++end;
    anchor_ = {p.line, start};
    cursor_ = {p.line, end};
    viewport()->update();
}

void LogView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* cut_action = menu.addAction(QStringLiteral("Recor&tar"), this, &LogView::cut);
    cut_action->setShortcut(QKeySequence::Cut);
    QAction* copy_action = menu.addAction(QStringLiteral("&Copiar"), this, &LogView::copy);
    copy_action->setShortcut(QKeySequence::Copy);
    QAction* paste_action = menu.addAction(QStringLiteral("Co&lar"), this, &LogView::paste);
    paste_action->setShortcut(QKeySequence::Paste);
    QAction* delete_action = menu.addAction(QStringLiteral("Excluir"), this, &LogView::remove_selection);
    menu.addSeparator();
    QAction* all_action = menu.addAction(QStringLiteral("Selecionar tudo"), this, &LogView::select_all);
    all_action->setShortcut(QKeySequence::SelectAll);
    for (QAction* action : {cut_action, copy_action, delete_action}) action->setEnabled(has_selection());
    const QMimeData* clipboard = QGuiApplication::clipboard()->mimeData();
    paste_action->setEnabled(clipboard && clipboard->hasText());
    menu.exec(event->globalPos());
}

void LogView::inputMethodEvent(QInputMethodEvent* event) {
    if (!event->commitString().isEmpty()) insert_text(event->commitString());
    event->accept();
}

QVariant LogView::inputMethodQuery(Qt::InputMethodQuery query) const {
    switch (query) {
    case Qt::ImEnabled: return true;
    case Qt::ImHints: return static_cast<int>(Qt::ImhMultiLine);
    case Qt::ImCursorPosition: return static_cast<int>(cursor_.column);
    case Qt::ImAnchorPosition: return static_cast<int>(anchor_.line == cursor_.line ? anchor_.column : cursor_.column);
    case Qt::ImSurroundingText: return line(cursor_.line);
    case Qt::ImCurrentSelection: return selected_text();
    case Qt::ImFont: return font();
    case Qt::ImCursorRectangle: {
        // The cursor's row when it is on the screen, else the view's top left corner.
        const qsizetype cols = columns();
        qsizetype row = 0;
        for (qsizetype index = first_visible_line(); index < cursor_.line && row <= visible_rows(); ++index)
            row += rows_of_line(index);
        row += std::min(cursor_.column / cols, rows_of_line(cursor_.line) - 1);
        if (cursor_.line < first_visible_line() || row > visible_rows()) return QRect(margin, margin, 1, line_height_);
        const int x = margin + static_cast<int>((cursor_.column % cols) * char_width_);
        return QRect(x, margin + static_cast<int>(row) * line_height_, 1, line_height_)
            .translated(viewport()->pos());
    }
    default: return QAbstractScrollArea::inputMethodQuery(query);
    }
}

}  // namespace quorvat
