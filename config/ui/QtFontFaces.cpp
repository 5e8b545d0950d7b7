#include "config/ui/QtFontFaces.h"

#include <QFontDatabase>
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

} // namespace velora::config
