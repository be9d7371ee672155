#include "cli/DatabaseRun.h"

#include "cli/Interrupts.h"
#include "desktop/link/DeviceLink.h"
#include "exchange/ResultsReader.h"

namespace cli {

void SetUpRequest(devlink::RequestController& c, const QString& database, const QString& password,
    const QString& sql, bool tableMode)
{
    c.setDatabasePath(database);
    c.setPassword(password);
    c.setSqlToRun(sql);
    c.setTableMode(tableMode);
    c.setShown(true);
}

bool RunRequest(LinkSession& s, devlink::RequestController& c, bool skipResults)
{
    if (Interrupted())
        return false;
    s.Arm(&c);
    const devlink::RequestState state = devlink::RunRequestAndWait(c, skipResults);
    s.Disarm();
    return state == devlink::RequestState::Succeeded;
}

// The binary schema of a database (database mode), or false after saying why.
bool LoadSchema(LinkSession& s, devlink::RequestController& c, const QString& database, int* status)
{
    const QString password = s.Password(database);
    SetUpRequest(c, database, password, QStringLiteral("SCHEMA-BINARY"), false);
    if (!RunRequest(s, c)) {
        *status = RequestFailure(s, c);
        return false;
    }
    s.RememberPassword(database, password);
    return true;
}

int PasswordRejected(LinkSession& s, const QString& database, const QString& password)
{
    if (password.isEmpty())
        return s.Fail(QStringLiteral("%1 is protected by a password; give it with --password").arg(database));
    if (s.passwordGiven())
        return s.Fail(
            QStringLiteral("the password given with --password is not the password of %1").arg(database));
    return s.Fail(
        QStringLiteral("the password remembered for %1 is not its password; give the right one with "
                       "--password")
            .arg(database));
}

int RequestFailure(LinkSession& s, const devlink::RequestController& c)
{
    if (Interrupted())
        return kInterrupted;
    if (s.TimedOut())
        return s.FailTimedOut();
    // The desktop's messages about a missing answer hide the real reason.
    if (c.state() == devlink::RequestState::ConnectionLost)
        return s.FailOnce(QStringLiteral("the connection to the device was lost"));
    if (c.passwordRejected())
        return PasswordRejected(s, c.databasePath(), c.password());
    quint32 wouldBe = 0;
    if (devlink::ReadAgentRegDword(devlink::ContractText(contract::kRowsThatWouldBeAffected), &wouldBe))
        return s.Fail(QStringLiteral("the statement would change %1 rows; nothing was changed").arg(wouldBe));
    return s.FailQuietly(TerminalText(c.statusText()).trimmed());
}

QString TerminalText(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

QString DeviceText(const QByteArray& bytes)
{
    return QString::fromStdU16String(
        exchange::DeviceTextFromBytes(std::string_view(bytes.constData(), std::size_t(bytes.size()))));
}

} // namespace cli
