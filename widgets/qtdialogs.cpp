#include "widgets/qtdialogs.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QEvent>
#include <QEventLoop>
#include <QPointer>

namespace {
// Ends a local event loop when the watched window is hidden.
class HideWatch : public QObject
{
public:
    explicit HideWatch(QEventLoop *loop) : m_loop(loop) {}
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Hide)
            m_loop->quit();
        return QObject::eventFilter(watched, event);
    }

private:
    QEventLoop *m_loop;
};
}

QWidget *QtDialogs::parentWidget() const
{
    if (m_parent)
        return m_parent;
    return QApplication::activeWindow();
}

Dialogs::Answer QtDialogs::message(const QString &title, const QString &text, Icon icon, Buttons buttons)
{
    QMessageBox box(parentWidget());
    box.setWindowTitle(title);
    box.setText(text);
    switch (icon) {
    case Icon::None: box.setIcon(QMessageBox::NoIcon); break;
    case Icon::Information: box.setIcon(QMessageBox::Information); break;
    case Icon::Question: box.setIcon(QMessageBox::Question); break;
    case Icon::Warning: box.setIcon(QMessageBox::Warning); break;
    case Icon::Critical: box.setIcon(QMessageBox::Critical); break;
    }
    QMessageBox::StandardButtons standard;
    QMessageBox::StandardButton escape = QMessageBox::NoButton;
    switch (buttons) {
    case Buttons::Ok: standard = QMessageBox::Ok; escape = QMessageBox::Ok; break;
    case Buttons::OkCancel:
        standard = QMessageBox::Ok | QMessageBox::Cancel;
        escape = QMessageBox::Cancel;
        break;
    case Buttons::YesNo: standard = QMessageBox::Yes | QMessageBox::No; escape = QMessageBox::No; break;
    case Buttons::YesNoCancel:
        standard = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        escape = QMessageBox::Cancel;
        break;
    case Buttons::RetryCancel:
        standard = QMessageBox::Retry | QMessageBox::Cancel;
        escape = QMessageBox::Cancel;
        break;
    }
    box.setStandardButtons(standard);
    box.setEscapeButton(escape);
    // The first button is the default one, as in the program's message boxes.
    for (QMessageBox::StandardButton first : {QMessageBox::Ok, QMessageBox::Yes, QMessageBox::Retry}) {
        if (standard & first) {
            box.setDefaultButton(first);
            break;
        }
    }
    switch (box.exec()) {
    case QMessageBox::Ok: return Answer::Ok;
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    case QMessageBox::Retry: return Answer::Retry;
    default: return Answer::Cancel;
    }
}

QString QtDialogs::chooseFolder(const QString &prompt)
{
    // The prompt is the dialog's caption, so it is shown while the user chooses.
    return QFileDialog::getExistingDirectory(parentWidget(), prompt, QString(),
                                             QFileDialog::ShowDirsOnly);
}

QString QtDialogs::openFile(const QString &title, const QString &filter)
{
    return QFileDialog::getOpenFileName(parentWidget(), title, QString(), filter);
}

QString QtDialogs::saveFile(const QString &title, const QString &filter)
{
    return QFileDialog::getSaveFileName(parentWidget(), title, QString(), filter);
}

int QtDialogs::showModal(QWidget *window)
{
    if (!window)
        return QDialog::Rejected;
    if (auto *dialog = qobject_cast<QDialog *>(window))
        return dialog->exec();
    // A plain window: show it application-modal and wait until it is hidden or closed.
    QEventLoop loop;
    HideWatch watch(&loop);
    QPointer<QWidget> guard(window);
    window->installEventFilter(&watch);
    QObject::connect(window, &QObject::destroyed, &loop, &QEventLoop::quit);
    window->setWindowModality(Qt::ApplicationModal);
    window->show();
    loop.exec();
    if (guard)
        guard->removeEventFilter(&watch);
    return QDialog::Accepted;
}
