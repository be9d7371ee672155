#include "desktop/shell/ExplorerFont.h"

#include "desktop/settings/SettingsStore.h"

#include <QFontInfo>
#include <QStringList>

#include <cmath>

namespace shell {
namespace {

const QString kFont = QStringLiteral("Font");
const QString kFontDescription = QStringLiteral("FontDescription");
constexpr quint32 kMaxFontText = 1024;

} // namespace

QFont DefaultExplorerFont()
{
    QFont font(QStringLiteral("Microsoft Sans Serif"), 9);
    if (QFontInfo(font).family() == QLatin1String("Microsoft Sans Serif"))
        return font;
    QFont sans;
    sans.setStyleHint(QFont::SansSerif);
    sans.setFamily(QStringLiteral("Sans Serif"));
    sans.setPointSize(9);
    // The family the desktop actually gives for "sans serif", so that the
    // stored font and its description name a real font.
    QFont resolved(QFontInfo(sans).family(), 9);
    return resolved;
}

QString FontDescription(const QFont& font)
{
    return QStringLiteral("%1, %2 point").arg(font.family()).arg(int(std::lround(font.pointSizeF())));
}

std::optional<QFont> ReadExplorerFont()
{
    QByteArray bytes(kMaxFontText, '\0');
    quint32 length = 0;
    if (!settings::ReadBinary(kFont, bytes.data(), kMaxFontText, &length))
        return std::nullopt;
    bytes.truncate(length);
    // QFont::fromString takes any text as a family name; only the complete
    // form that toString writes counts as a stored font.
    const QString text = QString::fromUtf8(bytes);
    const QStringList fields = text.split(QLatin1Char(','));
    bool sized = false;
    const double points = fields.value(1).toDouble(&sized);
    QFont font;
    if (fields.size() < 10 || fields.first().trimmed().isEmpty() || !sized || points < 1 || points > 200
        || !font.fromString(text))
        return std::nullopt;
    return font;
}

bool StoreExplorerFont(const QFont& font)
{
    const QByteArray text = font.toString().toUtf8();
    const bool stored = settings::WriteBinary(kFont, text.constData(), quint32(text.size()));
    return settings::WriteString(kFontDescription, FontDescription(font)) && stored;
}

QFont LoadExplorerFont()
{
    if (std::optional<QFont> stored = ReadExplorerFont())
        return *stored;
    const QFont font = DefaultExplorerFont();
    StoreExplorerFont(font);
    return font;
}

} // namespace shell
