#include "ui/ProgramStart.h"

#include "VeloraVersion.h"
#include "platform/ErrorLog.h"
#include "ui/Translations.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QGuiApplication>
#include <QStringList>

#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

namespace velora::ui {
namespace {

// The options of QGuiApplication and QApplication: the ones that take a value, then the
// switches. They are handled by Qt when the application is constructed.
constexpr const char* kQtValueOptions[] = {
    "platform",        "platformpluginpath",
    "platformtheme",   "plugin",
    "qwindowgeometry", "geometry",
    "qwindowicon",     "icon",
    "qwindowtitle",    "title",
    "display",         "name",
    "visual",          "session",
    "style",           "stylesheet",
    "qmljsdebugger",
};
constexpr const char* kQtSwitches[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

struct Parser
{
    QCommandLineParser parser;
    QCommandLineOption help{QStringList{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Show this help and exit.")};
    QCommandLineOption version{QStringList{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("Show the version and exit.")};

    explicit Parser(const ProgramInfo& info)
    {
        // Qt's options are single-dash words (-platform), so single-dash words are long options.
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        parser.setApplicationDescription(QString::fromUtf8(info.description));
        parser.addOption(help);
        parser.addOption(version);
        for (const char* name : kQtValueOptions) {
            QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
            option.setFlags(QCommandLineOption::HiddenFromHelp);
            parser.addOption(option);
        }
        for (const char* name : kQtSwitches) {
            QCommandLineOption option(QString::fromLatin1(name));
            option.setFlags(QCommandLineOption::HiddenFromHelp);
            parser.addOption(option);
        }
    }
};

void print(FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
    std::fflush(stream);
}

// The start that is being watched, for the message handler.
struct Watch
{
    const ProgramInfo* info = nullptr;
    QtMessageHandler previous = nullptr;
    struct Held
    {
        QtMsgType type;
        std::string category;
        QString text;
    };
    std::vector<Held> held;
};
Watch g_watch;

void watchStart(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtFatalMsg) {
        // The platform plugin's own explanation came first ("could not connect to display
        // :5"); the fatal text is Qt's long advice about plugins.
        QString reason;
        for (const Watch::Held& held : g_watch.held) {
            if (held.category.rfind("qt.qpa", 0) == 0) {
                reason = held.text.trimmed();
                break;
            }
        }
        const QByteArray display = qgetenv("DISPLAY");
        const QByteArray wayland = qgetenv("WAYLAND_DISPLAY");
        std::string line;
        if (!display.isEmpty()) {
            line = "cannot open the display " + display.toStdString();
        } else if (!wayland.isEmpty()) {
            // A Wayland session whose compositor is gone, or a Qt without its Wayland
            // platform (qt6-wayland) and no X server to fall back on.
            line = "cannot open the Wayland display " + wayland.toStdString();
        } else {
            line = "cannot open a display (DISPLAY is not set)";
        }
        if (!reason.isEmpty() && (!display.isEmpty() || !wayland.isEmpty())) {
            line += " (" + reason.toStdString() + ")";
        }
        platform::systemErrorLog().report(line);
        ::_exit(1);
    }
    g_watch.held.push_back({type, context.category != nullptr ? context.category : "", text});
}

} // namespace

QString helpText(const ProgramInfo& info, const QString& argv0)
{
    Parser parser(info);
    const QString name = QFileInfo(argv0).fileName();
    QString text = parser.parser.helpText();
    text.replace(QStringLiteral("<executable_name>"), name.isEmpty() ? QString::fromLatin1(info.name) : name);
    text += QStringLiteral("\nQt's own options, such as -platform, -display and -style, apply as to every Qt "
                           "program.\n");
    return text;
}

std::optional<int> handleCommandLine(int argc, char** argv, const ProgramInfo& info)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    Parser parser(info);
    if (!parser.parser.parse(arguments)) {
        // One line, as command-line tools word it: the option as it was typed, where Qt's
        // text drops its dashes.
        QString error = parser.parser.errorText().simplified();
        const QStringList unknown = parser.parser.unknownOptionNames();
        if (!unknown.isEmpty()) {
            QString typed = unknown.constFirst();
            for (const QString& argument : arguments.mid(1)) {
                if (argument.startsWith(QLatin1Char('-')) && argument.section(QLatin1Char('='), 0, 0).endsWith(typed)) {
                    typed = argument.section(QLatin1Char('='), 0, 0);
                    break;
                }
            }
            error = QStringLiteral("unknown option '%1'").arg(typed);
        }
        print(stderr, QStringLiteral("%1: %2 (try --help)\n").arg(QFileInfo(arguments.value(0)).fileName(), error));
        return 2;
    }
    if (parser.parser.isSet(parser.help)) {
        print(stdout, helpText(info, arguments.value(0)));
        return 0;
    }
    if (parser.parser.isSet(parser.version)) {
        print(stdout,
              QStringLiteral("%1 %2\n").arg(QString::fromLatin1(info.name), QString::fromLatin1(kSuiteVersion)));
        return 0;
    }
    return std::nullopt;
}

StartGuard::StartGuard(const ProgramInfo& info) : m_info(info)
{
    g_watch.info = &info;
    g_watch.held.clear();
    m_previous = qInstallMessageHandler(watchStart);
    g_watch.previous = m_previous;
}

StartGuard::~StartGuard()
{
    if (m_active) {
        started();
    }
}

void StartGuard::started()
{
    if (!m_active) {
        return;
    }
    m_active = false;
    qInstallMessageHandler(m_previous);
    std::vector<Watch::Held> held;
    held.swap(g_watch.held);
    for (const Watch::Held& message : held) {
        const QMessageLogContext context(nullptr, 0, nullptr, message.category.c_str());
        qt_message_output(message.type, context, message.text);
    }
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::setApplicationName(QString::fromLatin1(m_info.windowClass));
        QCoreApplication::setApplicationVersion(QString::fromLatin1(kSuiteVersion));
        QGuiApplication::setDesktopFileName(QString::fromLatin1(m_info.desktopFile));
        installTranslations();
    }
}

} // namespace velora::ui
