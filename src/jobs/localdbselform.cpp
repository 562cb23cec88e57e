#include "localdbselform.h"

#include "shell/core/dataroot.h"
#include "shell/messagebox.h"
#include "shell/winmovable.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>

LocalDbSelForm::LocalDbSelForm(QWidget* parent, const QString& defaultName)
    : QDialog(parent)
    , mover(std::make_unique<WinMovable>(this))
{
    setObjectName(QStringLiteral("LocalDbSelForm"));
    setFixedSize(423, 156);
    setWindowTitle(tr("Select one Database for backup"));

    label = new QLabel(this);
    label->setObjectName(QStringLiteral("label"));
    label->setGeometry(10, 20, 401, 16);
    label->setText(tr("Select current database to merge or enter a new database name:"));

    cbLocalDbNames = new QComboBox(this);
    cbLocalDbNames->setObjectName(QStringLiteral("cbLocalDbNames"));
    cbLocalDbNames->setGeometry(10, 40, 401, 22);
    cbLocalDbNames->setEditable(true);
    cbLocalDbNames->setToolTip(
        tr("Selecting current Database will merge data;entering new DB name will create a new Database."));

    auto* layoutWidget = new QWidget(this);
    layoutWidget->setObjectName(QStringLiteral("layoutWidget"));
    layoutWidget->setGeometry(100, 120, 211, 25);
    auto* row = new QHBoxLayout(layoutWidget);
    row->setObjectName(QStringLiteral("horizontalLayout"));
    row->setSpacing(6);
    row->setContentsMargins(0, 0, 0, 0);
    btnOK = new QPushButton(tr("Confirm"), layoutWidget);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    row->addWidget(btnOK);
    row->addSpacerItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    btnClose = new QPushButton(tr("Cancel"), layoutWidget);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    row->addWidget(btnClose);

    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setStyleSheet(getStyleSheet());

    connect(btnOK, &QPushButton::pressed, this, &LocalDbSelForm::onBtnOkPress);
    connect(btnClose, &QPushButton::pressed, this, &QDialog::reject);

    cbLocalDbNames->addItem(QString());
    const QStringList folders
        = getLocalDatabasesDir().entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString& name : folders)
        cbLocalDbNames->addItem(name);
    cbLocalDbNames->setCurrentIndex(-1);
    if (!defaultName.isEmpty())
        cbLocalDbNames->setEditText(defaultName);
}

LocalDbSelForm::~LocalDbSelForm() = default;

bool LocalDbSelForm::isValidName(const QString& name)
{
    static const QRegularExpression forbidden(QStringLiteral("[\\\\/:\\*\\?\"<>|\\n\\r\\t]+"));
    // A name of dots alone would name the backups folder itself or its
    // parent, the data root.
    static const QRegularExpression onlyDots(QStringLiteral("^\\.+$"));
    return !name.contains(forbidden) && !onlyDots.match(name).hasMatch();
}

void LocalDbSelForm::onBtnOkPress()
{
    const QString name = cbLocalDbNames->currentText().trimmed();
    if (name.isEmpty()) {
        showWarning(tr("IDS_PLEASE_SELECT_DATABASE_OR_INPUT_NEW_NAME"));
        return;
    }
    if (!isValidName(name)) {
        showWarning(tr("IDS_INVALID_LOCALDB_NAME"));
        return;
    }
    const QDir root = getLocalDatabasesDir();
    // A failure to create the folder shows up when the job opens its file.
    root.mkpath(name);
    localDbDir = QDir(root.absoluteFilePath(name));
    m_chosen = true;
    accept();
}
