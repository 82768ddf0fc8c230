#include "morphelplugin.h"

#include "morphel.h"
#include "morphelpropertypages.h"

#include <QtDesigner/QDesignerFormEditorInterface>
#include <QtDesigner/QDesignerFormWindowCursorInterface>
#include <QtDesigner/QDesignerFormWindowInterface>
#include <QtDesigner/QDesignerPropertySheetExtension>
#include <QtDesigner/QExtensionManager>

#include <QAction>
#include <QMainWindow>

namespace {

// The container is the form's client area: its main container, or a main window's central widget.
bool onDesignerForm(QWidget *container)
{
    QDesignerFormWindowInterface *form = QDesignerFormWindowInterface::findFormWindow(container);
    QWidget *main = form ? form->mainContainer() : nullptr;
    if (!main)
        return false;
    if (container == main)
        return true;
    auto *mainWindow = qobject_cast<QMainWindow *>(main);
    return mainWindow && mainWindow->centralWidget() == container;
}

// A value changed by the control itself is flagged in the property sheet, so that the form saves it.
void markChanged(QDesignerFormEditorInterface *core, Morphel *morphel, const QString &property)
{
    auto *sheet = qt_extension<QDesignerPropertySheetExtension *>(core->extensionManager(), morphel);
    if (!sheet)
        return;
    const int index = sheet->indexOf(property);
    if (index >= 0 && !sheet->isChanged(index)) {
        sheet->setChanged(index, true);
        if (QDesignerFormWindowInterface *form = QDesignerFormWindowInterface::findFormWindow(morphel))
            form->setDirty(true);
    }
}

} // namespace

MorphelWidgetInterface::MorphelWidgetInterface(QObject *parent)
    : QObject(parent)
{
}

QString MorphelWidgetInterface::name() const
{
    return QStringLiteral("Morphel");
}

QString MorphelWidgetInterface::group() const
{
    return QStringLiteral("Tablora");
}

QString MorphelWidgetInterface::toolTip() const
{
    return QStringLiteral("Morphel (MorphelCtl.Morphel)");
}

QString MorphelWidgetInterface::whatsThis() const
{
    return QStringLiteral("Rescales the window's controls in proportion when the window is resized.");
}

QString MorphelWidgetInterface::includeFile() const
{
    return QStringLiteral("morphel.h");
}

QIcon MorphelWidgetInterface::icon() const
{
    return {};
}

QWidget *MorphelWidgetInterface::createWidget(QWidget *parent)
{
    auto *morphel = new Morphel(parent, Morphel::Mode::Design);
    if (m_core) {
        morphel->setFormCheck(onDesignerForm);
        QDesignerFormEditorInterface *core = m_core;
        connect(morphel, &Morphel::propertyChanged, morphel, [core, morphel](const QString &property) {
            markChanged(core, morphel, property);
        });
    }
    return morphel;
}

void MorphelWidgetInterface::initialize(QDesignerFormEditorInterface *core)
{
    if (m_core)
        return;
    m_core = core;
    if (QExtensionManager *manager = core ? core->extensionManager() : nullptr) {
        manager->registerExtensions(new MorphelTaskMenuFactory(manager),
                                    Q_TYPEID(QDesignerTaskMenuExtension));
    }
}

QString MorphelWidgetInterface::domXml() const
{
    return QStringLiteral(
        "<ui language=\"c++\">\n"
        " <widget class=\"Morphel\" name=\"Morphel1\"/>\n"
        "</ui>\n");
}

MorphelPluginCollection::MorphelPluginCollection(QObject *parent)
    : QObject(parent)
{
    m_widgets << new MorphelWidgetInterface(this);
}

MorphelTaskMenu::MorphelTaskMenu(Morphel *morphel, QObject *parent)
    : QObject(parent), m_morphel(morphel),
      m_fontPage(new QAction(QStringLiteral("ﾌｫﾝﾄ設定..."), this)),
      m_resizePage(new QAction(QStringLiteral("ﾘｻｲｽﾞ設定..."), this)),
      m_about(new QAction(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報..."), this))
{
    connect(m_fontPage, &QAction::triggered, this, [this] { openPages(0); });
    connect(m_resizePage, &QAction::triggered, this, [this] { openPages(1); });
    connect(m_about, &QAction::triggered, this, [this] {
        if (m_morphel)
            m_morphel->ShowAboutBox();
    });
}

QAction *MorphelTaskMenu::preferredEditAction() const
{
    return m_resizePage;
}

QList<QAction *> MorphelTaskMenu::taskActions() const
{
    return {m_fontPage, m_resizePage, m_about};
}

QList<QObject *> MorphelTaskMenu::selectedControls() const
{
    QList<QObject *> selected;
    QDesignerFormWindowInterface *form = QDesignerFormWindowInterface::findFormWindow(m_morphel);
    if (form && form->cursor()) {
        QDesignerFormWindowCursorInterface *cursor = form->cursor();
        for (int i = 0; i < cursor->selectedWidgetCount(); ++i) {
            if (auto *morphel = qobject_cast<Morphel *>(cursor->selectedWidget(i)))
                selected << morphel;
        }
    }
    if (selected.isEmpty() && m_morphel)
        selected << m_morphel.data();
    return selected;
}

void MorphelTaskMenu::openPages(int page)
{
    if (!m_morphel)
        return;
    // Through the form's cursor, so that the change can be undone and is saved with the form.
    auto writer = [](QObject *control, const char *property, const QString &value) {
        auto *widget = qobject_cast<QWidget *>(control);
        QDesignerFormWindowInterface *form = QDesignerFormWindowInterface::findFormWindow(widget);
        if (form && form->cursor())
            form->cursor()->setWidgetProperty(widget, QString::fromLatin1(property), value);
        else
            control->setProperty(property, value);
    };
    MorphelPropertyDialog dialog(selectedControls(), writer, m_morphel->window());
    dialog.showPage(page);
    dialog.exec();
}

MorphelTaskMenuFactory::MorphelTaskMenuFactory(QExtensionManager *parent)
    : QExtensionFactory(parent)
{
}

QObject *MorphelTaskMenuFactory::createExtension(QObject *object, const QString &iid, QObject *parent) const
{
    if (iid != Q_TYPEID(QDesignerTaskMenuExtension))
        return nullptr;
    if (auto *morphel = qobject_cast<Morphel *>(object))
        return new MorphelTaskMenu(morphel, parent);
    return nullptr;
}
