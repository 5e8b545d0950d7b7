#include "shell/ui/MimeFileTypes.h"

#include <QByteArray>
#include <QFile>
#include <QMimeType>
#include <QString>

#include <array>

namespace velora::shell::ui {
namespace {

// Source code whose type says so only by its name: the rest of the languages derive from
// C's type (C++, Java, C#, the headers) or carry the database's script icon (shell, Perl,
// Ruby, PHP, JavaScript).
constexpr std::array<const char*, 14> kSourceTypes = {
    "text/x-python",   "text/x-python3", "text/rust",      "text/x-go",        "text/x-lua",
    "text/x-kotlin",   "text/x-scala",   "text/x-haskell", "text/x-pascal",    "text/x-fortran",
    "text/x-makefile", "text/x-cmake",   "text/x-objcsrc", "text/x-objc++src",
};

bool isSource(const QMimeType& type)
{
    if (type.inherits(QStringLiteral("text/x-csrc")) || type.genericIconName() == QLatin1String("text-x-script")) {
        return true;
    }
    for (const char* name : kSourceTypes) {
        if (type.inherits(QLatin1String(name))) {
            return true;
        }
    }
    return false;
}

} // namespace

EntryKind MimeFileTypes::kindOf(std::string_view fileName)
{
    const QString name = QFile::decodeName(QByteArray(fileName.data(), static_cast<qsizetype>(fileName.size())));
    const QMimeType type = m_database.mimeTypeForFile(name, QMimeDatabase::MatchExtension);
    if (!type.isValid() || type.isDefault()) {
        return EntryKind::OtherFile;
    }
    // The generic icon names the family: video/... types, and application/... ones that the
    // database files with them (playlists, Visio drawings).
    const QString icon = type.genericIconName();
    if (icon == QLatin1String("video-x-generic")) {
        return EntryKind::VideoFile;
    }
    if (icon == QLatin1String("audio-x-generic")) {
        return EntryKind::AudioFile;
    }
    if (icon == QLatin1String("image-x-generic")) {
        return EntryKind::ImageFile;
    }
    return isSource(type) ? EntryKind::SourceFile : EntryKind::OtherFile;
}

} // namespace velora::shell::ui
