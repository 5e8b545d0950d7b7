#include "ui/Translations.h"

#include "platform/ExecutablePath.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QTranslator>

#include <array>
#include <memory>
#include <vector>

namespace velora::ui {
namespace {

// The messages of the core of the daemon, the settings tool and the virtual remote, as they
// make them; %1 and %2 stand for the values they fill in. The first pattern that matches the
// whole text is taken.
constexpr const char* kCoreContext = "CoreText";
constexpr std::array kCorePatterns{
    QT_TRANSLATE_NOOP("CoreText", "BT848 not found! Check DLLs"),
    QT_TRANSLATE_NOOP("CoreText", "(Use current desktop settings)"),
    QT_TRANSLATE_NOOP("CoreText", "Are you sure you want to quit ?"),
    QT_TRANSLATE_NOOP("CoreText", "Loaded key tables from '%1'."),
    QT_TRANSLATE_NOOP("CoreText", "Load '%1' now ?"),
    QT_TRANSLATE_NOOP("CoreText", "Please enter an integer between %1 and %2."),
    QT_TRANSLATE_NOOP("CoreText", "The options could not be saved to '%1'."),
    QT_TRANSLATE_NOOP("CoreText", "The settings could not be saved to '%1'."),
    QT_TRANSLATE_NOOP("CoreText", "KavoRemote cannot send keys or move the pointer on this desktop: it needs an "
                                  "X11 session with the XTEST extension, a Wayland compositor with the "
                                  "virtual-keyboard protocol, or write access to /dev/uinput."),
    // The parts of the virtual card's status line.
    QT_TRANSLATE_NOOP("CoreText", "tuner idle"),
    QT_TRANSLATE_NOOP("CoreText", "locked"),
    QT_TRANSLATE_NOOP("CoreText", "no signal"),
    QT_TRANSLATE_NOOP("CoreText", "no key yet"),
    QT_TRANSLATE_NOOP("CoreText", "last key %1 (not a key)"),
    QT_TRANSLATE_NOOP("CoreText", "last key %1"),
    QT_TRANSLATE_NOOP("CoreText", "no card: cannot use %1"),
    QT_TRANSLATE_NOOP("CoreText",
                      "WARNING!\n\nSome screen resolutions may not be available on your monitor!\n\nUse this option "
                      "with caution as improper resolution settings can even damage your hardware."),
};

std::unique_ptr<QTranslator> g_suite;
std::unique_ptr<QTranslator> g_qt;

void remove(std::unique_ptr<QTranslator>& translator)
{
    if (translator) {
        QCoreApplication::removeTranslator(translator.get());
        translator.reset();
    }
}

// The pattern as a regular expression that matches the whole text, each %n a capture.
QRegularExpression matcher(const QString& pattern)
{
    static const QRegularExpression placeholder(QStringLiteral("%[1-9]"));
    QString expression = QStringLiteral("\\A");
    qsizetype from = 0;
    for (auto it = placeholder.globalMatch(pattern); it.hasNext();) {
        const auto match = it.next();
        expression += QRegularExpression::escape(pattern.mid(from, match.capturedStart() - from));
        expression += QStringLiteral("(.*)");
        from = match.capturedEnd();
    }
    expression += QRegularExpression::escape(pattern.mid(from)) + QStringLiteral("\\z");
    return QRegularExpression(expression, QRegularExpression::DotMatchesEverythingOption);
}

} // namespace

QString translationsFolder()
{
    return QString::fromLocal8Bit(platform::executableDirectory()) + QStringLiteral("/translations");
}

bool installTranslations(const QString& folder)
{
    remove(g_suite);
    remove(g_qt);
    const QLocale locale;
    auto suite = std::make_unique<QTranslator>();
    const bool found = suite->load(locale, QStringLiteral("velora"), QStringLiteral("_"), folder);
    if (found) {
        QCoreApplication::installTranslator(suite.get());
        g_suite = std::move(suite);
        auto qt = std::make_unique<QTranslator>();
        if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
            QCoreApplication::installTranslator(qt.get());
            g_qt = std::move(qt);
        }
    }
    return found;
}

QString coreText(std::string_view text)
{
    static const std::vector<QRegularExpression> matchers = [] {
        std::vector<QRegularExpression> all;
        for (const char* pattern : kCorePatterns) {
            all.push_back(matcher(QString::fromLatin1(pattern)));
        }
        return all;
    }();
    const QString english = QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
    for (std::size_t i = 0; i < kCorePatterns.size(); ++i) {
        const char* pattern = kCorePatterns[i];
        const QRegularExpressionMatch match = matchers[i].match(english);
        if (!match.hasMatch()) {
            continue;
        }
        // The values go in at once, so that a value holding "%2" is not taken for a place.
        const QString translated = QCoreApplication::translate(kCoreContext, pattern);
        switch (match.lastCapturedIndex()) {
        case 0:
            return translated;
        case 1:
            return translated.arg(match.captured(1));
        default:
            return translated.arg(match.captured(1), match.captured(2));
        }
    }
    return english;
}

} // namespace velora::ui
