#pragma once

#include <QAbstractTableModel>
#include <QByteArray>
#include <QColor>
#include <QHash>
#include <QStringList>
#include <QTableView>
#include <memory>
#include <vector>

#include "widgets/cellstore.h"

// The cells of a Grid: a fixed header row and text rows. Rows live in a CellStore (UTF-8 in large blocks,
// a short prefix per cell), so a million rows cost little more than their text and no object each.
class GridModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit GridModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Grid-style access: row 0 is the header row, data rows are 1 to Rows() - 1.
    int Cols() const { return m_cols; }
    int Rows() const { return dataRows() + 1; }
    void setCols(int cols);
    void setRows(int rows);
    QString TextMatrix(int row, int col) const;
    void setTextMatrix(int row, int col, const QString &text);
    // True for a cell stored as null (appendRow with a null value); it reads as empty text.
    bool isNull(int row, int col) const;
    void setHeaderBackground(int col, const QColor &color);
    QColor headerBackground(int col) const;
    // Back to 1 column and 1 row, everything empty.
    void clear();

    // One data row; values beyond Cols() are ignored, missing ones are empty. A nullptr value is a null.
    void appendRow(const char *const *values, const unsigned long *lengths, int n);
    void appendRow(const QStringList &values);

    // Rows encoded as CellStore::appendEncoded takes them.
    void appendEncoded(const char *data, const std::uint32_t *ends, int rows);

    // Raw bytes of a data cell (row >= 1), without a copy.
    QByteArrayView cellBytes(int row, int col) const;

    // The data rows. A view that keeps it keeps these rows, also after the grid is cleared (the grid then
    // starts a store of its own); cells written through the grid afterwards show in both.
    std::shared_ptr<const CellStore> store() const { return m_store; }

    // While batching, appended rows are announced to views only when the batch ends.
    void beginBatch();
    void endBatch();

private:
    int dataRows() const { return int(m_store->rowCount()); }
    void addRows(const QByteArrayView *cells, const bool *nulls, int n);
    void rewriteRow(int dataRow, int col, const QString &text);

    int m_cols = 1;
    QStringList m_header{QString()};
    std::vector<QColor> m_headerColor;
    std::shared_ptr<CellStore> m_store;
    bool m_batching = false;
    int m_announced = 0;
};

// The grid shared by the main window and the query window: text cells under a fixed header row, as in a
// flex grid (Cols, Rows, TextMatrix, row 0 is the header), with column widths fitted to their content.
class Grid : public QTableView
{
    Q_OBJECT

public:
    explicit Grid(QWidget *parent = nullptr);

    GridModel *gridModel() const { return m_model; }

    int Cols() const { return m_model->Cols(); }
    int Rows() const { return m_model->Rows(); }
    void setCols(int cols) { m_model->setCols(cols); }
    void setRows(int rows) { m_model->setRows(rows); }
    QString TextMatrix(int row, int col) const { return m_model->TextMatrix(row, col); }
    void setTextMatrix(int row, int col, const QString &text) { m_model->setTextMatrix(row, col, text); }
    // The background of a header cell (row 0); other rows keep the base colour.
    void setCellBackColor(int row, int col, const QColor &color);
    void appendRow(const char *const *values, const unsigned long *lengths, int n)
    {
        m_model->appendRow(values, lengths, n);
    }
    void appendRow(const QStringList &values) { m_model->appendRow(values); }

    // Clears the cells and sets 1 column and 1 row.
    void Clear();
    // Redraw off: appended rows are not shown until redraw is switched on again, which also fits the
    // column widths.
    void setRedraw(bool on);
    bool Redraw() const { return m_redraw; }
    // Fits every column to its header and a sample of its rows (the first and the last few hundred).
    void AutoFit();

    static constexpr int SampleRows = 200;

protected:
    // A new font (the resize control scales it with the window) fits the rows and columns anew.
    void changeEvent(QEvent *event) override;

private:
    GridModel *m_model;
    bool m_redraw = true;
};
