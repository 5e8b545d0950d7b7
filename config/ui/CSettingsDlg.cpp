#include "config/ui/CSettingsDlg.h"

#include "config/ui/AppIcon.h"
#include "config/ui/CAboutBox.h"
#include "platform/ErrorLog.h"
#include "platform/UserFolders.h"
#include "ui/DialogLayout.h"
#include "ui/Translations.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>

#include <utility>

namespace velora::config {
namespace {

template <typename Widget> Widget* named(Widget* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QComboBox* dropDownList(QWidget* parent, const char* name)
{
    auto* list = named(new QComboBox(parent), name);
    list->setEditable(false);
    // The lines keep the order the form gives them; the list itself never sorts.
    list->setInsertPolicy(QComboBox::NoInsert);
    // A list that drops down below the field, as tall as the template says, rather than a
    // menu laid over the field (some styles' default, which ignores the height).
    list->setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
    return list;
}

} // namespace

CSettingsDlg::CSettingsDlg(platform::Profile& profile, std::string iniPath, SystemLists lists, QWidget* parent)
    : QDialog(parent), m_form(profile, std::move(iniPath), lists), m_icon(applicationIcon())
{
    createControls();
    OnInitDialog();
}

CSettingsDlg::~CSettingsDlg() = default;

void CSettingsDlg::createControls()
{
    setWindowTitle(tr("Velora Configuration"));
    ui::DialogLayout layout(*this, 396, 192);

    // The controls in the template's order; the Tab order follows below.
    auto* ok = layout.add(named(new QPushButton(tr("OK"), this), "ok"), 281, 171, 50, 14);
    auto* cancel = layout.add(named(new QPushButton(tr("Cancel"), this), "cancel"), 339, 171, 50, 14);
    layout.addLabel(tr("Capture driver:"), 14, 21, 47, 8);
    m_driverList = dropDownList(this, "driverList");
    layout.placeList(*m_driverList, 75, 16, 119, 69);
    m_cardList = dropDownList(this, "cardList");
    layout.placeList(*m_cardList, 75, 35, 119, 82);
    m_tunerList = dropDownList(this, "tunerList");
    layout.placeList(*m_tunerList, 75, 53, 119, 87);
    layout.addGroup(tr("Hardware"), 7, 8, 193, 62);
    layout.addLabel(tr("Card model:"), 14, 37, 38, 8);
    layout.addLabel(tr("Tuner module:"), 14, 54, 46, 8);
    layout.addGroup(tr("Display mode"), 207, 8, 182, 62);
    m_highResolution =
        layout.add(named(new QRadioButton(tr("High Resolution (576 lines - interlaced)"), this), "highResolution"), 215,
                   20, 166, 10);
    m_lowResolution =
        layout.add(named(new QRadioButton(tr("Low Resolution (288 lines - non-interlaced)"), this), "lowResolution"),
                   215, 31, 160, 10);
    auto* overlay =
        layout.add(named(new QCheckBox(tr("Use hardware video overlay"), this), "hardwareOverlay"), 215, 53, 166, 10);
    overlay->setEnabled(false);
    layout.addGroup(tr("Interface"), 7, 70, 193, 115);
    m_twoDigitsBox =
        layout.add(named(new QCheckBox(tr("Force two-digit channel numbers"), this), "twoDigits"), 14, 138, 180, 10);
    m_masterVolume = layout.add(named(new QRadioButton(tr("Adjust Master Volume by default"), this), "masterVolume"),
                                14, 169, 180, 10);
    m_tvVolume =
        layout.add(named(new QRadioButton(tr("Adjust TV Volume by default"), this), "tvVolume"), 14, 158, 180, 10);
    layout.addGroup(tr("TV Standard"), 207, 70, 182, 30);
    layout.addLabel(tr("Channel table:"), 215, 82, 47, 8);
    m_channelTableList = dropDownList(this, "channelTableList");
    layout.placeList(*m_channelTableList, 265, 79, 116, 57);
    m_resolutionList = dropDownList(this, "resolutionList");
    layout.placeList(*m_resolutionList, 75, 99, 119, 105);
    layout.addLabel(tr("Resolution:"), 14, 102, 36, 8);
    m_languageList = dropDownList(this, "languageList");
    layout.placeList(*m_languageList, 75, 81, 119, 62);
    layout.addLabel(tr("Language:"), 14, 85, 35, 8);
    layout.addLabel(tr("Font:"), 14, 120, 17, 8);
    m_fontList = dropDownList(this, "fontList");
    layout.placeList(*m_fontList, 75, 117, 119, 84);

    // The two radio groups; their buttons are reached by the mouse and the arrow keys, not
    // by Tab.
    for (auto [first, second] : {std::pair{m_highResolution, m_lowResolution}, std::pair{m_masterVolume, m_tvVolume}}) {
        auto* buttons = new QButtonGroup(this);
        buttons->addButton(first);
        buttons->addButton(second);
        first->setFocusPolicy(Qt::ClickFocus);
        second->setFocusPolicy(Qt::ClickFocus);
    }
    QWidget* tabOrder[] = {ok,
                           cancel,
                           m_driverList,
                           m_cardList,
                           m_tunerList,
                           m_twoDigitsBox,
                           m_channelTableList,
                           m_resolutionList,
                           m_languageList,
                           m_fontList};
    for (std::size_t i = 1; i < std::size(tabOrder); ++i) {
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    }

    ok->setDefault(true);
    ok->setFocus();
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    // The window menu of an X11 window belongs to the window manager; the About item lives
    // in the dialog's own context menu instead.
    auto* about = new QAction(tr("&About VeloraConfig..."), this);
    connect(about, &QAction::triggered, this, &CSettingsDlg::showAboutBox);
    addAction(about);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    setWindowIcon(m_icon);
}

std::array<std::pair<QComboBox*, ListId>, kListCount> CSettingsDlg::boundLists() const
{
    return {{{m_fontList, ListId::Font},
             {m_languageList, ListId::Language},
             {m_resolutionList, ListId::Resolution},
             {m_channelTableList, ListId::ChannelTable},
             {m_tunerList, ListId::Tuner},
             {m_cardList, ListId::Card},
             {m_driverList, ListId::Driver}}};
}

std::array<CSettingsDlg::BoundFlag, 3> CSettingsDlg::boundFlags() const
{
    return {{{IntKey::TwoDigits, m_twoDigitsBox, nullptr},
             {IntKey::Quality, m_highResolution, m_lowResolution},
             {IntKey::AdjustMasterVolume, m_masterVolume, m_tvVolume}}};
}

void CSettingsDlg::OnInitDialog()
{
    m_form.fill();
    for (const auto& [combo, id] : boundLists()) {
        // The selections the program makes raise no change notification.
        const QSignalBlocker quiet(combo);
        const ChoiceList& choices = m_form.list(id);
        QStringList lines;
        lines.reserve(choices.size());
        for (const std::string& line : choices.lines()) {
            // The resolution list's first line is the dialog's own text; the others are
            // names and sizes, shown as they are.
            lines.append(id == ListId::Resolution ? ui::coreText(line) : QString::fromStdString(line));
        }
        combo->addItems(lines);
        combo->setCurrentIndex(choices.selection());
        // An empty list says why, greyed, in place of a line: nothing is added to the list
        // and nothing of it reaches velora.ini.
        if (lines.isEmpty()) {
            combo->setPlaceholderText(emptyListText(id));
        }
    }
    for (const BoundFlag& bound : boundFlags()) {
        const bool set = m_form.flag(bound.key);
        if (bound.whenClear == nullptr) {
            bound.whenSet->setChecked(set);
        } else {
            (set ? bound.whenSet : bound.whenClear)->setChecked(true);
        }
    }
    connect(m_resolutionList, &QComboBox::currentIndexChanged, this, &CSettingsDlg::onResolutionChanged);
}

QString CSettingsDlg::emptyListText(ListId id)
{
    switch (id) {
    case ListId::Driver:
        return tr("No capture device found");
    case ListId::ChannelTable:
        return tr("No channel tables");
    case ListId::Card:
        return tr("No card descriptions");
    case ListId::Tuner:
        return tr("No tuner descriptions");
    case ListId::Language:
        return tr("No languages");
    case ListId::Font:
        return tr("No fonts");
    case ListId::Resolution:
        break;
    }
    return {};
}

void CSettingsDlg::onResolutionChanged()
{
    if (!m_form.resolutionChangedByUser()) {
        return;
    }
    // The box is modal for the whole program but has no owner window: a window manager may
    // then keep it with the program's other windows, while one that treats a box owned by
    // a dialog as a dialog of a dialog (matchbox) would fight the box over the focus.
    QMessageBox warning(QMessageBox::Warning, QCoreApplication::applicationName(), ui::coreText(kResolutionWarning),
                        QMessageBox::Ok);
    warning.exec();
}

void CSettingsDlg::showAboutBox()
{
    // Without an owner window, like the resolution warning.
    CAboutBox about(m_icon);
    about.exec();
}

void CSettingsDlg::accept()
{
    OnOK();
}

void CSettingsDlg::OnOK()
{
    for (const auto& [combo, id] : boundLists()) {
        m_form.list(id).select(combo->currentIndex());
    }
    for (const BoundFlag& bound : boundFlags()) {
        m_form.setFlag(bound.key, bound.whenSet->isChecked());
    }
    if (!m_form.writeAll()) {
        // The choices stay on screen, so that the user can make room or a folder writable
        // and press OK again, or give up with Cancel.
        std::string path = m_form.iniPath();
        if (path.find('/') == std::string::npos) {
            path = platform::userConfigFolder() + "/" + path;
        }
        const std::string text = "The settings could not be saved to '" + path + "'.";
        platform::systemErrorLog().report(text);
        QMessageBox failure(QMessageBox::Warning, QCoreApplication::applicationName(), ui::coreText(text),
                            QMessageBox::Ok);
        failure.exec();
        return;
    }
    QDialog::accept();
}

} // namespace velora::config
