// The settings dialog, "Velora Configuration": the Qt face of config::SettingsForm, laid out
// as dialog template 102. It fills itself from the form when constructed, shows the
// resolution warning on the user's first change of resolution, writes every key on OK and
// nothing on Cancel, Escape or the close box. Its context menu opens the About box.
#pragma once

#include "config/SettingsForm.h"

#include <QDialog>
#include <QIcon>

#include <array>
#include <string>
#include <utility>

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QPushButton;
class QRadioButton;

namespace velora::config {

class CSettingsDlg : public QDialog
{
    Q_OBJECT

public:
    // The dialog over the configuration file iniPath, read and written through profile, its
    // lists filled from lists. Object names of the controls, for tests and tools: "ok",
    // "cancel", "driverList", "cardList", "tunerList", "channelTableList", "resolutionList",
    // "languageList", "fontList", "twoDigits", "highResolution", "lowResolution",
    // "masterVolume", "tvVolume", "hardwareOverlay".
    CSettingsDlg(platform::Profile& profile, std::string iniPath, SystemLists lists, QWidget* parent = nullptr);
    ~CSettingsDlg() override;

    // OK, from the button, Return or a default-button press.
    void accept() override;

private:
    void createControls();
    // Each list control with the form's list it shows.
    std::array<std::pair<QComboBox*, ListId>, kListCount> boundLists() const;
    // Each flag with the button checked when it is set and, for a radio group, the one
    // checked when it is clear.
    struct BoundFlag
    {
        IntKey key;
        QAbstractButton* whenSet;
        QAbstractButton* whenClear;
    };
    std::array<BoundFlag, 3> boundFlags() const;
    void OnInitDialog();
    void OnOK();
    void onResolutionChanged();
    // What an empty list shows in place of a line.
    static QString emptyListText(ListId id);
    void showAboutBox();

    SettingsForm m_form;
    QComboBox* m_fontList = nullptr;
    QComboBox* m_languageList = nullptr;
    QComboBox* m_resolutionList = nullptr;
    QComboBox* m_channelTableList = nullptr;
    QComboBox* m_tunerList = nullptr;
    QComboBox* m_cardList = nullptr;
    QComboBox* m_driverList = nullptr;
    QCheckBox* m_twoDigitsBox = nullptr;
    QRadioButton* m_highResolution = nullptr;
    QRadioButton* m_lowResolution = nullptr;
    QRadioButton* m_masterVolume = nullptr;
    QRadioButton* m_tvVolume = nullptr;
    QIcon m_icon;
};

} // namespace velora::config
