// Memo1 of the main window: an editable text view over a LineStore. It lays out and
// paints only the lines on the screen, in a fixed-pitch font, wrapping long lines at the
// window's edge, so that a log of millions of lines scrolls, jumps and resizes as fast as
// a short one. The user may select, copy, cut, paste and type anywhere in it.
#pragma once

#include <string_view>

#include <QAbstractScrollArea>
#include <QString>
#include <QStringList>

#include "ui/line_store.h"

namespace quorvat {

/// A place in the text: a line and a column in its characters (UTF-16 units).
struct TextPosition {
    qsizetype line = 0;
    qsizetype column = 0;
    friend bool operator==(const TextPosition&, const TextPosition&) = default;
    friend auto operator<=>(const TextPosition&, const TextPosition&) = default;
};

class LogView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit LogView(QWidget* parent = nullptr);

    qsizetype line_count() const { return store_.size(); }
    QString line(qsizetype index) const;
    /// Lines from first to the end.
    QStringList lines(qsizetype first = 0) const;
    const LineStore& store() const { return store_; }

    /// Replaces the whole text; the cursor goes to its start.
    void setPlainText(const QString& text);
    QString toPlainText() const;

    /// Adds one line of UTF-8 text (no line break inside) at the end. The screen follows
    /// at the next event loop turn or refresh(); a view showing the end keeps showing it.
    void append_line(std::string_view utf8);
    /// Shows the lines appended since the last refresh.
    void refresh();
    /// Lines appended and not yet shown.
    qsizetype pending_lines() const { return pending_; }

    TextPosition cursor_position() const { return cursor_; }
    /// Moves the cursor; with keep_anchor the selection stretches to it.
    void set_cursor_position(TextPosition position, bool keep_anchor = false);
    bool has_selection() const { return anchor_ != cursor_; }
    QString selected_text() const;
    /// Replaces the selection (if any) with text, which may hold line breaks.
    void insert_text(const QString& text);

    /// The first line on the screen.
    qsizetype first_visible_line() const;
    /// The characters that fit in one row of the screen, by the font's real (fractional)
    /// advance: a row of that many characters never passes the right edge.
    int columns() const;
    /// The rows that line index is laid out in on the screen, in order; joined they are
    /// the line.
    QStringList rows(qsizetype index) const;

public slots:
    void copy();
    void cut();
    void paste();
    void select_all();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    /// Screen rows of a line of length characters.
    qsizetype rows_of(qsizetype length) const;
    qsizetype rows_of_line(qsizetype index) const { return rows_of(line(index).size()); }
    int visible_rows() const;
    /// The highest first line that still fills the screen down to the last line.
    qsizetype last_top() const;
    void update_scroll_range();
    void ensure_cursor_visible();
    TextPosition position_at(QPoint point) const;
    TextPosition clamped(TextPosition position) const;
    /// Replaces the text from start to end (start <= end) with text.
    void replace_range(TextPosition start, TextPosition end, const QString& text);
    void remove_selection();
    void move_cursor(QKeyEvent* event, bool& handled);
    void update_font_metrics();

    LineStore store_;
    TextPosition cursor_;
    TextPosition anchor_;
    qsizetype pending_ = 0;
    bool refresh_posted_ = false;
    bool dragging_ = false;
    qreal char_width_ = 7.0;  // the advance of one character, in fractional pixels
    int line_height_ = 13;
    int ascent_ = 10;
};

}  // namespace quorvat
