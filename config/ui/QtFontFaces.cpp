#include "config/ui/QtFontFaces.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QStringList>

namespace velora::config {

std::vector<std::string> QtFontFaces::faces()
{
    std::vector<std::string> faces;
    for (const QString& family : QFontDatabase::families()) {
        if (QFontDatabase::isPrivateFamily(family)) {
            continue;
        }
        const qsizetype foundry = family.indexOf(QLatin1String(" ["));
        faces.push_back((foundry > 0 ? family.left(foundry) : family).toStdString());
    }
    return faces;
}

namespace {

QString matchedFamily(const QString& name)
{
    QFont font(name);
    // Matching by name alone: no style hint that would pick a fallback of its own.
    font.setStyleHint(QFont::AnyStyle, QFont::PreferMatch);
    return QFontInfo(font).family();
}

} // namespace

std::optional<std::string> QtFontFaces::substitute(std::string_view name)
{
    const QString requested = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    const QString family = matchedFamily(requested);
    // A name nothing is known of gets the general fallback; that is no substitute for it.
    static const QString fallback = matchedFamily(QStringLiteral("velora-no-such-font-family"));
    if (family.isEmpty() || family.compare(requested, Qt::CaseInsensitive) == 0 || family == fallback) {
        return std::nullopt;
    }
    return family.toStdString();
}

} // namespace velora::config
