// File kinds from the shared MIME database of the desktop (fdo shared-mime-info, through
// QMimeDatabase): any video, sound or picture type, and the types of source code.
#pragma once

#include "shell/FileTypes.h"

#include <QMimeDatabase>

namespace velora::shell::ui {

class MimeFileTypes final : public FileTypes
{
public:
    // By the name's glob patterns (extensions and whole names such as "Makefile"); the file
    // is never opened, so that listing a folder of a thousand files stays quick.
    EntryKind kindOf(std::string_view fileName) override;

private:
    QMimeDatabase m_database;
};

} // namespace velora::shell::ui
