#include "desktop/ui/CSqlErrorDialog.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace ui {
namespace {

QLabel* ValueLabel(const QString& text, const char* name)
{
    auto* label = new QLabel(text);
    label->setObjectName(QLatin1String(name));
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

CSqlErrorDialog::CSqlErrorDialog(const devlink::SqlErrorRequest& request, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("sqlErrorDialog"));
    setWindowTitle(QStringLiteral("Error"));

    auto* heading = new QLabel(QStringLiteral("An error occurred whilst trying to run the following SQL:"));
    heading->setObjectName(QStringLiteral("headingLabel"));
    m_sqlEdit = new QPlainTextEdit(request.sql);
    m_sqlEdit->setObjectName(QStringLiteral("sqlEdit"));
    m_sqlEdit->setEnabled(request.sqlEditable);
    m_sqlEdit->setMinimumSize(440, 110);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Error:"), ValueLabel(request.error, "errorText"));
    form->addRow(QStringLiteral("Error code:"), ValueLabel(request.errorCode, "errorCodeText"));
    form->addRow(QStringLiteral("Details:"), ValueLabel(request.details, "detailsText"));

    auto* ok = new QPushButton(QStringLiteral("OK"));
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    auto* retry = new QPushButton(QStringLiteral("&Retry"));
    retry->setObjectName(QStringLiteral("retryButton"));
    connect(ok, &QPushButton::clicked, this, [this] { Finish(false); });
    connect(retry, &QPushButton::clicked, this, [this] { Finish(true); });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(retry);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(m_sqlEdit, 1);
    layout->addLayout(form);
    layout->addLayout(buttons);
}

void CSqlErrorDialog::reject()
{
    Finish(false);
}

void CSqlErrorDialog::Finish(bool retry)
{
    if (m_finished)
        return;
    m_finished = true;
    devlink::SqlErrorAnswer answer;
    answer.retry = retry;
    answer.sql = m_sqlEdit->toPlainText();
    emit answered(answer);
    done(retry ? QDialog::Accepted : QDialog::Rejected);
}

} // namespace ui
