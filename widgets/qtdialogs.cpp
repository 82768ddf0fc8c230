#include "widgets/qtdialogs.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QEvent>
#include <QEventLoop>
#include <QPointer>
#include <QVBoxLayout>

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
    // The prompt stands above Qt's folder chooser, whole: a caption shows one line at best, and some
    // prompts are two (a warning, then what to choose). The caption carries it too, on one line.
    QString caption = prompt;
    caption.replace(QStringLiteral("\r\n"), QStringLiteral(" "))
        .replace(QLatin1Char('\n'), QLatin1Char(' '));
    QDialog frame(parentWidget());
    frame.setWindowTitle(caption);
    auto *layout = new QVBoxLayout(&frame);
    auto *label = new QLabel(QString(prompt).replace(QStringLiteral("\r\n"), QStringLiteral("\n")), &frame);
    label->setObjectName(QStringLiteral("lblPrompt"));
    label->setWordWrap(true);
    auto *chooser = new QFileDialog(&frame);
    chooser->setWindowFlags(Qt::Widget);
    chooser->setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::ShowDirsOnly);
    chooser->setFileMode(QFileDialog::Directory);
    label->setBuddy(chooser);
    layout->addWidget(label);
    layout->addWidget(chooser);
    QObject::connect(chooser, &QDialog::finished, &frame, &QDialog::done);
    if (frame.exec() != QDialog::Accepted)
        return QString();
    // Only a folder of the file system has a path; anything else counts as no choice.
    return chooser->selectedFiles().value(0);
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
