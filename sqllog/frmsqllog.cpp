#include "sqllog/frmsqllog.h"
#include "widgets/accessiblenames.h"

#include "sqllog/sqllogmodel.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QShortcut>
#include <QSortFilterProxyModel>

frmSqlLog::frmSqlLog(SqlLogModel &model, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , ui(new Ui::frmSqlLog)
    , m_model(model)
    , m_filter(new QSortFilterProxyModel(this))
{
    ui->setupUi(this);
    nameForAssistiveTechnology(this);
    m_filter->setSourceModel(&m_model);
    m_filter->setFilterKeyColumn(SqlLogModel::Statement);
    m_filter->setFilterCaseSensitivity(Qt::CaseInsensitive);
    ui->grdLog->setModel(m_filter);
    ui->grdLog->setAccessibleName(windowTitle());
    ui->grdLog->verticalHeader()->hide();
    ui->grdLog->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    ui->grdLog->horizontalHeader()->setStretchLastSection(true);
    const int digit = fontMetrics().horizontalAdvance(QLatin1Char('0'));
    ui->grdLog->setColumnWidth(SqlLogModel::Time, digit * 14);
    ui->grdLog->setColumnWidth(SqlLogModel::Duration, digit * 12);
    ui->grdLog->setColumnWidth(SqlLogModel::Outcome, digit * 14);
    ui->txtSearch->setAccessibleName(ui->Label1->text());

    connect(ui->cmdCopy, &QPushButton::clicked, this, &frmSqlLog::cmdCopy_Click);
    connect(ui->cmdClear, &QPushButton::clicked, this, &frmSqlLog::cmdClear_Click);
    connect(ui->txtSearch, &QLineEdit::textChanged, this, &frmSqlLog::txtSearch_Change);
    auto *copy = new QShortcut(QKeySequence::Copy, ui->grdLog, nullptr, nullptr, Qt::WidgetShortcut);
    connect(copy, &QShortcut::activated, this, &frmSqlLog::cmdCopy_Click);

    // Newest last: a view scrolled to its end follows new statements; one scrolled back stays put.
    QScrollBar *bar = ui->grdLog->verticalScrollBar();
    connect(m_filter, &QAbstractItemModel::rowsAboutToBeInserted, this, [this, bar] {
        m_follow = bar->value() == bar->maximum();
    });
    connect(m_filter, &QAbstractItemModel::rowsInserted, this, [this] {
        if (m_follow)
            ui->grdLog->scrollToBottom();
        showCount();
    });
    connect(m_filter, &QAbstractItemModel::rowsRemoved, this, &frmSqlLog::showCount);
    connect(m_filter, &QAbstractItemModel::modelReset, this, &frmSqlLog::showCount);
    showCount();
    ui->grdLog->scrollToBottom();
}

frmSqlLog::~frmSqlLog()
{
    delete ui;
}

void frmSqlLog::showCount()
{
    const int shown = m_filter->rowCount();
    const int all = m_model.rowCount();
    ui->lblCount->setText(shown == all ? QStringLiteral("%1 件").arg(all)
                                       : QStringLiteral("%1 / %2 件").arg(shown).arg(all));
    ui->lblCount->setAccessibleName(ui->lblCount->text());
}

QString frmSqlLog::copyText() const
{
    QList<int> rows;
    const QModelIndexList chosen = ui->grdLog->selectionModel()->selectedRows();
    for (const QModelIndex &index : chosen)
        rows << index.row();
    if (rows.isEmpty()) {
        for (int row = 0; row < m_filter->rowCount(); ++row)
            rows << row;
    }
    std::sort(rows.begin(), rows.end());
    QStringList lines;
    for (int row : rows)
        lines << m_model.rowText(m_filter->mapToSource(m_filter->index(row, 0)).row());
    return lines.join(QLatin1Char('\n'));
}

void frmSqlLog::cmdCopy_Click()
{
    QGuiApplication::clipboard()->setText(copyText());
}

void frmSqlLog::cmdClear_Click()
{
    m_model.clear();
}

void frmSqlLog::txtSearch_Change()
{
    m_filter->setFilterFixedString(ui->txtSearch->text());
    showCount();
}
