#include "sqllog/sqllog.h"

#include "sqllog/frmsqllog.h"
#include "sqllog/sqllogmodel.h"

#include <QApplication>
#include <QKeyEvent>

SqlLog::SqlLog(StatementLog &log, QObject *parent)
    : QObject(parent)
    , m_model(std::make_unique<SqlLogModel>())
{
    m_model->attach(log);
    // Ctrl+L belongs to every window, including modal ones and those opened later.
    qApp->installEventFilter(this);
}

SqlLog::~SqlLog()
{
    if (qApp)
        qApp->removeEventFilter(this);
    m_window.reset();
}

void SqlLog::show()
{
    if (!m_window)
        m_window = std::make_unique<frmSqlLog>(*m_model);
    QWidget *modal = QApplication::activeModalWidget();
    const Qt::WindowModality wanted = modal && modal != m_window.get() ? Qt::ApplicationModal : Qt::NonModal;
    if (m_window->windowModality() != wanted) {
        m_window->hide();
        m_window->setWindowModality(wanted);
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

bool SqlLog::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_L && key->modifiers() == Qt::ControlModifier) {
            show();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
