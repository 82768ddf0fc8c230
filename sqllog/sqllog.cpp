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
    if (wanted == Qt::ApplicationModal && m_over != modal) {
        // Modal only for as long as the window it opened over: else it would block every window after.
        if (m_over)
            m_over->removeEventFilter(this);
        m_over = modal;
        modal->installEventFilter(this);
        connect(modal, &QObject::destroyed, this, [this] { endModal(); }, Qt::UniqueConnection);
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void SqlLog::endModal()
{
    if (m_over)
        m_over->removeEventFilter(this);
    m_over = nullptr;
    if (!m_window || m_window->windowModality() == Qt::NonModal)
        return;
    const bool shown = m_window->isVisible();
    m_window->hide();
    m_window->setWindowModality(Qt::NonModal);
    if (shown)
        m_window->show();
}

bool SqlLog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_over && event->type() == QEvent::Hide)
        endModal();
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_L && key->modifiers() == Qt::ControlModifier) {
            show();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
