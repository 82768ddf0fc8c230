#pragma once

// The two design-time pages that edit the exclusion lists of a Morphel control: PropertyPage1 edits
// FontNoResize, PropertyPage2 edits NoResize. The Designer plugin shows them in MorphelPropertyDialog.

#include "morphelexport.h"

#include <QDialog>
#include <QList>
#include <QPointer>
#include <QWidget>

#include <functional>

class QLineEdit;
class QTabWidget;

class MORPHEL_EXPORT MorphelPropertyPage : public QWidget
{
    Q_OBJECT

public:
    // Stores a value into a property of a control; the Designer plugin records it in the form.
    using Writer = std::function<void(QObject *control, const char *property, const QString &value)>;

    MorphelPropertyPage(const char *property, const QString &caption, const QString &heading,
                        const QString &help, QWidget *parent = nullptr);

    const char *property() const { return m_property; }
    QString caption() const { return m_caption; }
    QLineEdit *text1() const { return m_text1; }
    bool changed() const { return m_changed; }

    // The designer's selection changed: Text1 shows the property of the first selected control.
    void selectionChanged(const QList<QObject *> &selected);
    // Stores Text1 into the property of the first selected control.
    void apply(const Writer &writer = {});

signals:
    void changedChanged(bool changed);

private:
    const char *m_property;
    QString m_caption;
    QLineEdit *m_text1;
    QList<QPointer<QObject>> m_selected;
    bool m_changed = false;
};

class MORPHEL_EXPORT PropertyPage1 : public MorphelPropertyPage
{
    Q_OBJECT
public:
    explicit PropertyPage1(QWidget *parent = nullptr);
};

class MORPHEL_EXPORT PropertyPage2 : public MorphelPropertyPage
{
    Q_OBJECT
public:
    explicit PropertyPage2(QWidget *parent = nullptr);
};

// Both pages on tabs with OK, Cancel and Apply.
class MORPHEL_EXPORT MorphelPropertyDialog : public QDialog
{
    Q_OBJECT

public:
    MorphelPropertyDialog(const QList<QObject *> &selected, MorphelPropertyPage::Writer writer,
                          QWidget *parent = nullptr);

    PropertyPage1 *page1() const { return m_page1; }
    PropertyPage2 *page2() const { return m_page2; }
    void showPage(int index);
    void applyChanges();

private:
    QTabWidget *m_tabs;
    PropertyPage1 *m_page1;
    PropertyPage2 *m_page2;
    MorphelPropertyPage::Writer m_writer;
};
