#include "desktop/tools/CRegistryDialogs.h"

#include "desktop/settings/SettingsStore.h"
#include "desktop/tools/RegistryEditorModel.h"
#include "desktop/tools/RegistryText.h"
#include "desktop/ui/NamedWidgets.h"
#include "desktop/ui/PromptFromWindow.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace tools {

CRegistryEditDialog::CRegistryEditDialog(RegistryEditorModel* model, bool isNew, const QString& storedName,
    DWORD type, const QByteArray& data, QWidget* parent)
    : QDialog(parent)
    , m_model(model)
    , m_isNew(isNew)
    , m_storedName(storedName)
    , m_type(type)
{
    setObjectName(QStringLiteral("registryEditDialog"));
    setWindowTitle(QStringLiteral("Registry edit"));

    m_name = new QLineEdit(isNew   ? QString()
            : storedName.isEmpty() ? QStringLiteral("(Default)")
                                   : storedName);
    m_name->setObjectName(QStringLiteral("valueNameEdit"));
    // The unnamed value keeps its name.
    m_name->setReadOnly(!isNew && storedName.isEmpty());
    auto* typeEdit = new QLineEdit(RegTypeText(type));
    typeEdit->setObjectName(QStringLiteral("valueTypeEdit"));
    typeEdit->setReadOnly(true);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Value name:"), m_name);
    form->addRow(QStringLiteral("Value type:"), typeEdit);

    const bool number = type == REG_DWORD || type == REG_DWORD_BIG_ENDIAN;
    if (type == REG_SZ || type == REG_EXPAND_SZ || number) {
        m_dataLine = new QLineEdit(EditText(type, data, number));
        m_dataLine->setObjectName(QStringLiteral("valueDataEdit"));
    } else {
        m_dataText = new QPlainTextEdit(EditText(type, data, true));
        m_dataText->setObjectName(QStringLiteral("valueDataText"));
        if (type != REG_MULTI_SZ)
            m_dataText->setFont(QFont(QStringLiteral("Monospace")));
    }
    if (number) {
        m_decimal = new QRadioButton(QStringLiteral("Decimal"));
        m_decimal->setObjectName(QStringLiteral("decimalButton"));
        m_hexadecimal = new QRadioButton(QStringLiteral("Hexidecimal"));
        m_hexadecimal->setObjectName(QStringLiteral("hexadecimalButton"));
        m_hexadecimal->setChecked(true);
        connect(m_decimal, &QRadioButton::toggled, this, &CRegistryEditDialog::OnBaseChanged);
        auto* row = new QHBoxLayout;
        row->addWidget(m_dataLine, 1);
        row->addWidget(m_decimal);
        row->addWidget(m_hexadecimal);
        form->addRow(QStringLiteral("Value data:"), row);
    } else {
        form->addRow(
            QStringLiteral("Value data:"), m_dataLine ? static_cast<QWidget*>(m_dataLine) : m_dataText);
    }

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CRegistryEditDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form, 1);
    layout->addWidget(buttons);
    if (m_model->readOnly()) {
        m_name->setReadOnly(true);
        if (m_dataLine)
            m_dataLine->setReadOnly(true);
        if (m_dataText)
            m_dataText->setReadOnly(true);
    }
    resize(m_dataText ? 420 : 380, m_dataText ? 300 : 150);
}

void CRegistryEditDialog::OnBaseChanged()
{
    const bool hex = m_hexadecimal->isChecked();
    if (hex == m_hexShown)
        return;
    QByteArray data;
    QString why;
    // A number that does not parse stays as typed.
    if (EditedData(m_type, m_dataLine->text(), m_hexShown, &data, &why))
        m_dataLine->setText(EditText(m_type, data, hex));
    m_hexShown = hex;
}

void CRegistryEditDialog::accept()
{
    if (m_model->readOnly()) {
        QDialog::accept();
        return;
    }
    const QString text = m_dataLine ? m_dataLine->text() : m_dataText->toPlainText();
    QByteArray data;
    QString why;
    if (!EditedData(m_type, text, m_hexadecimal && m_hexadecimal->isChecked(), &data, &why)) {
        ui::TellFromWindow(this, QStringLiteral("Quorvane"), why, devlink::PromptIcon::Information);
        return;
    }
    if (m_model->SaveValue(m_storedName, m_isNew, m_name->text(), m_type, data))
        QDialog::accept();
}

CRegistryReadOnlyDialog::CRegistryReadOnlyDialog(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("registryReadOnlyDialog"));
    setWindowTitle(QStringLiteral("Read-Only"));
    auto* why = new QLabel(QStringLiteral("The registry editor is in Read-Only mode.\n\nChanging the "
                                          "registry of your device can stop programs, "
                                          "or the device itself, from working. So that nothing is changed by "
                                          "mistake, the editor only shows the "
                                          "registry until you turn this mode off."));
    why->setWordWrap(true);
    auto* howButton = new QPushButton(QStringLiteral("How to turn off the Read-Only mode."));
    howButton->setObjectName(QStringLiteral("howButton"));
    howButton->setAutoDefault(false);
    m_how = new QLabel(
        QStringLiteral("On this computer, set the DWORD value \"EditRegistry\" to %1 in the "
                       "registry key\n\nHKEY_LOCAL_MACHINE\\%2\n\nand open the registry editor again.")
            .arg(RegistryEditorModel::kUnlockNumber)
            .arg(settings::BaseKey()));
    m_how->setObjectName(QStringLiteral("howText"));
    m_how->setWordWrap(true);
    m_how->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_how->hide();
    connect(howButton, &QPushButton::clicked, this, [this, howButton] {
        m_how->show();
        howButton->setEnabled(false);
    });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(why);
    layout->addWidget(howButton, 0, Qt::AlignLeft);
    layout->addWidget(m_how);
    layout->addStretch();
    layout->addWidget(buttons);
    resize(440, 280);
}

CDeleteValuesDialog::CDeleteValuesDialog(int count, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("deleteValuesDialog"));
    setWindowTitle(QStringLiteral("Quorvane"));
    auto* text = new QLabel(count == 1 ? QStringLiteral("This will delete a registry value.")
                                       : QStringLiteral("This will delete these %1 values.").arg(count));
    text->setObjectName(QStringLiteral("deleteText"));
    auto* sure = new QLabel(QStringLiteral("Are you sure ?"));
    m_dontAsk = new QCheckBox(QStringLiteral("&Don't ask me again."));
    m_dontAsk->setObjectName(QStringLiteral("dontAskBox"));
    auto* yes = ui::NamedButton(QStringLiteral("&Yes"), "yesButton");
    auto* no = ui::NamedButton(QStringLiteral("&No"), "noButton");
    auto* cancel = ui::NamedButton(QStringLiteral("&Cancel"), "cancelButton");
    yes->setDefault(true);
    connect(yes, &QPushButton::clicked, this, [this] {
        emit answered(true, m_dontAsk->isChecked());
        accept();
    });
    for (QPushButton* button : { no, cancel })
        connect(button, &QPushButton::clicked, this, [this] {
            emit answered(false, false);
            reject();
        });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(yes);
    buttons->addWidget(no);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(sure);
    layout->addWidget(m_dontAsk);
    layout->addLayout(buttons);
}

} // namespace tools
