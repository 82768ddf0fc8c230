#include "morphelpropertypages.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

MorphelPropertyPage::MorphelPropertyPage(const char *property, const QString &caption,
                                         const QString &heading, const QString &help, QWidget *parent)
    : QWidget(parent), m_property(property), m_caption(caption), m_text1(new QLineEdit(this))
{
    setWindowTitle(caption);
    m_text1->setObjectName(QStringLiteral("Text1"));

    auto *layout = new QVBoxLayout(this);
    auto *headingLabel = new QLabel(heading, this);
    headingLabel->setObjectName(QStringLiteral("Label1"));
    headingLabel->setBuddy(m_text1);
    layout->addWidget(headingLabel);
    layout->addWidget(m_text1);
    const QStringList helpLines = {
        help,
        QStringLiteral("例： Text1 , Text2"),
        QStringLiteral("ｺﾝﾄﾛｰﾙ配列の場合は、ｺﾝﾄﾛｰﾙ名 + ｽﾍﾟｰｽ + 要素番号"),
        QStringLiteral("例： Text1 0 , Text1 1"),
        QStringLiteral("ｺﾝﾄﾛｰﾙ配列の全ての要素の場合は、@ + ｺﾝﾄﾛｰﾙ名"),
        QStringLiteral("例： @Text1"),
        QStringLiteral("※大文字・小文字を区別します。"),
    };
    int n = 2;
    for (const QString &line : helpLines) {
        auto *label = new QLabel(line, this);
        label->setObjectName(QStringLiteral("Label%1").arg(n++));
        layout->addWidget(label);
    }
    layout->addStretch();

    connect(m_text1, &QLineEdit::textEdited, this, [this] {
        if (!m_changed) {
            m_changed = true;
            emit changedChanged(true);
        }
    });
}

void MorphelPropertyPage::selectionChanged(const QList<QObject *> &selected)
{
    m_selected.clear();
    for (QObject *object : selected)
        m_selected << object;
    if (!selected.isEmpty() && selected.first())
        m_text1->setText(selected.first()->property(m_property).toString());
    m_changed = false;
    emit changedChanged(false);
}

void MorphelPropertyPage::apply(const Writer &writer)
{
    if (m_selected.isEmpty() || !m_selected.first())
        return;
    QObject *first = m_selected.first();
    if (writer)
        writer(first, m_property, m_text1->text());
    else
        first->setProperty(m_property, m_text1->text());
    m_changed = false;
    emit changedChanged(false);
}

PropertyPage1::PropertyPage1(QWidget *parent)
    : MorphelPropertyPage("FontNoResize", QStringLiteral("ﾌｫﾝﾄ設定"),
                          QStringLiteral("ﾌｫﾝﾄのﾘｻｲｽﾞを行わない(FontNoResize)"),
                          QStringLiteral("ﾌｫﾝﾄのﾘｻｲｽﾞを行わないｺﾝﾄﾛｰﾙ名を、「 , 」で繋げてください。"), parent)
{
    setObjectName(QStringLiteral("PropertyPage1"));
}

PropertyPage2::PropertyPage2(QWidget *parent)
    : MorphelPropertyPage("NoResize", QStringLiteral("ﾘｻｲｽﾞ設定"),
                          QStringLiteral("ﾘｻｲｽﾞを行わない(NoResize)"),
                          QStringLiteral("ﾘｻｲｽﾞを行わないｺﾝﾄﾛｰﾙ名を、「 , 」で繋げてください。"), parent)
{
    setObjectName(QStringLiteral("PropertyPage2"));
}

MorphelPropertyDialog::MorphelPropertyDialog(const QList<QObject *> &selected,
                                             MorphelPropertyPage::Writer writer, QWidget *parent)
    : QDialog(parent), m_tabs(new QTabWidget(this)), m_page1(new PropertyPage1),
      m_page2(new PropertyPage2), m_writer(std::move(writer))
{
    setWindowTitle(QStringLiteral("Morphel"));
    m_tabs->addTab(m_page1, m_page1->caption());
    m_tabs->addTab(m_page2, m_page2->caption());
    m_page1->selectionChanged(selected);
    m_page2->selectionChanged(selected);

    auto *buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
    QPushButton *applyButton = buttons->button(QDialogButtonBox::Apply);
    applyButton->setEnabled(false);
    auto updateApply = [this, applyButton] {
        applyButton->setEnabled(m_page1->changed() || m_page2->changed());
    };
    connect(m_page1, &MorphelPropertyPage::changedChanged, this, updateApply);
    connect(m_page2, &MorphelPropertyPage::changedChanged, this, updateApply);
    connect(applyButton, &QPushButton::clicked, this, &MorphelPropertyDialog::applyChanges);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        applyChanges();
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(buttons);
}

void MorphelPropertyDialog::showPage(int index)
{
    m_tabs->setCurrentIndex(index);
}

void MorphelPropertyDialog::applyChanges()
{
    if (m_page1->changed())
        m_page1->apply(m_writer);
    if (m_page2->changed())
        m_page2->apply(m_writer);
}
