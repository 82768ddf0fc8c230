#include "schema/frmcreatedb.h"
#include "widgets/accessiblenames.h"

#include "core/dberror.h"
#include "core/dialogs.h"
#include "core/session.h"
#include "schema/schemalogic.h"

frmCreateDB::frmCreateDB(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::frmCreateDB)
{
    ui->setupUi(this);
    nameForAssistiveTechnology(this);
    connect(ui->cmdOk, &QPushButton::clicked, this, &frmCreateDB::cmdOk_Click);
    connect(ui->cmdCancel, &QPushButton::clicked, this, &frmCreateDB::cmdCancel_Click);
    // Enter in the name box is OK; the buttons are no dialog defaults, so it is handled once.
    connect(ui->txtDatabase, &QLineEdit::returnPressed, this, &frmCreateDB::cmdOk_Click);
}

frmCreateDB::~frmCreateDB()
{
    delete ui;
}

void frmCreateDB::cmdOk_Click()
{
    const QString name = ui->txtDatabase->text().trimmed();
    if (name.isEmpty()) {
        Dialogs::current().message(windowTitle(), QStringLiteral("ﾃﾞｰﾀﾍﾞｰｽ名を入力してください。"),
                                   Dialogs::Icon::Information);
        return;
    }
    try {
        Session::instance().db().Execute(SchemaLogic::CreateDatabaseStatement(name));
    } catch (const DbError &error) {
        // The dialog stays open with the name, to be corrected or cancelled.
        Dialogs::current().message(windowTitle(), error.description(), Dialogs::Icon::Critical);
        return;
    } catch (const std::exception &error) {
        Dialogs::current().message(windowTitle(), QString::fromUtf8(error.what()), Dialogs::Icon::Critical);
        return;
    }
    accept();
}

void frmCreateDB::cmdCancel_Click()
{
    reject();
}
