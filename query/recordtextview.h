#pragma once

#include "textlines.h"

#include <QAbstractScrollArea>
#include <memory>
#include <vector>

class QTextLayout;

// A read-only text box over lines kept elsewhere (a LineSource: a displayed result's rows in the grid's
// store, or a text of its own): it paints only the lines in view, so a result of a gigabyte is shown
// without being copied. The user scrolls, selects with the mouse
// or the keyboard (Ctrl+A) and copies (Ctrl+C, context menu).
class RecordTextView : public QAbstractScrollArea
{
    Q_OBJECT

public:
    explicit RecordTextView(QWidget *parent = nullptr);
    ~RecordTextView() override;

    // Shows these lines without copying them.
    void setLines(std::shared_ptr<const LineSource> lines);
    const LineSource &lines() const { return *m_lines; }
    void setPlainText(const QString &text);
    // The text, each line followed by "\n".
    QString toPlainText() const;
    void clear();

    bool hasSelection() const;
    QString selectedText() const;
    void selectAll();
    void copy() const;

    // The text seen as one string, each line followed by "\n", for assistive technology (the text
    // interface of recordtextaccessible.cpp): its length, the caret and the selection's other end, a piece.
    qint64 characterCount() const;
    qint64 cursorOffset() const;
    qint64 anchorOffset() const;
    void setSelectionOffsets(qint64 anchor, qint64 cursor);
    QString textBetween(qint64 start, qint64 end) const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    struct Pos
    {
        qint64 line = 0;
        int column = 0;
        bool operator<(const Pos &o) const { return line < o.line || (line == o.line && column < o.column); }
        bool operator==(const Pos &o) const { return line == o.line && column == o.column; }
    };
    qint64 displayLines() const;
    int lineHeight() const;
    void updateScrollBars();
    void layoutLine(QTextLayout &layout, qint64 line) const;
    Pos posAt(const QPoint &point) const;
    void ensureVisible(const Pos &pos);
    // Repaints and tells assistive technology where the caret and the selection are.
    void caretMoved();
    qint64 offsetOf(const Pos &pos) const;
    Pos posOf(qint64 offset) const;
    const std::vector<qint64> &lineStarts() const;

    std::shared_ptr<const LineSource> m_lines;
    Pos m_anchor;
    Pos m_cursor;
    mutable std::vector<qint64> m_lineStarts; // built when assistive technology first asks
};
