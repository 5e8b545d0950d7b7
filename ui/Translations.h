// The suite's texts in the user's language. Every text a window shows goes through Qt's
// translation system; the catalogues (velora_<language>.qm) lie in the folder "translations"
// beside the programs, and the language is the one the locale names (LC_ALL, LC_MESSAGES,
// LANG, LANGUAGE). Without a catalogue for it, the texts stay English.
#pragma once

#include <QString>

#include <string_view>

namespace velora::ui {

// The folder of the catalogues beside the running program.
QString translationsFolder();

// Installs the suite's catalogue for the locale's language from folder, and Qt's own (the
// standard buttons of message boxes and the file dialog) when the system has it. Needs a
// QCoreApplication; a second call replaces what the first installed. Returns whether the
// suite's catalogue was found.
bool installTranslations(const QString& folder = translationsFolder());

// A text the Qt-free core made (English, with file names and numbers filled in) in the
// user's language: the core's message patterns are listed here, translated, and filled with
// the same values. A text that matches no pattern is shown as it is.
QString coreText(std::string_view text);

} // namespace velora::ui
