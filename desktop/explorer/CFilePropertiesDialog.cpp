#include "desktop/explorer/CFilePropertiesDialog.h"

#include "desktop/explorer/DeviceDateText.h"
#include "desktop/explorer/DeviceListing.h"
#include "desktop/explorer/FileSizeText.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace explorer {
namespace {

QLineEdit* Field(const QString& text, const char* name)
{
    auto* field = new QLineEdit(text);
    field->setObjectName(QString::fromLatin1(name));
    field->setReadOnly(true);
    field->setFrame(false);
    field->setCursorPosition(0);
    return field;
}

} // namespace

QString CFilePropertiesDialog::TimeText(FILETIME time)
{
    const QDateTime when = DeviceFileTime(time);
    QString text = DeviceDateText(when, DesktopDatePattern());
    // The date part and the desktop's own time format.
    text = text.left(text.lastIndexOf(QStringLiteral("  ")));
    return text + QStringLiteral("  ") + QLocale::system().toString(when.time(), QLocale::ShortFormat);
}

CFilePropertiesDialog::CFilePropertiesDialog(const FileProperties& properties, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("filePropertiesDialog"));
    setWindowTitle(QStringLiteral("File properties"));
    const CE_FIND_DATA& found = properties.found;

    auto* icon = new QLabel;
    icon->setPixmap(properties.icon.pixmap(32, 32));
    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(icon);
    nameRow->addWidget(Field(LastComponent(properties.path), "fileNameField"), 1);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("File name:"), nameRow);
    form->addRow(QStringLiteral("Location:"), Field(ParentDevicePath(properties.path), "locationField"));
    form->addRow(QStringLiteral("Type of file:"), Field(properties.typeText, "typeField"));
    form->addRow(QStringLiteral("Filesize:"), Field(FormatFileSize(found.nFileSizeLow), "sizeField"));
    form->addRow(QStringLiteral("Created on:"), Field(TimeText(found.ftCreationTime), "createdField"));
    form->addRow(QStringLiteral("Modified:"), Field(TimeText(found.ftLastWriteTime), "modifiedField"));
    form->addRow(QStringLiteral("Last accessed:"), Field(TimeText(found.ftLastAccessTime), "accessedField"));

    auto* hidden = new QCheckBox(QStringLiteral("Hidden"));
    hidden->setObjectName(QStringLiteral("hiddenCheck"));
    hidden->setChecked(found.dwFileAttributes & kAttributeHidden);
    hidden->setEnabled(false);
    auto* readOnly = new QCheckBox(QStringLiteral("Read only"));
    readOnly->setObjectName(QStringLiteral("readOnlyCheck"));
    readOnly->setChecked(found.dwFileAttributes & kAttributeReadOnly);
    readOnly->setEnabled(false);
    auto* checks = new QHBoxLayout;
    checks->addWidget(hidden);
    checks->addWidget(readOnly);
    checks->addStretch(1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(checks);
    layout->addWidget(buttons);
    resize(380, sizeHint().height());
}

} // namespace explorer
