// The About box of the settings tool: icon, name and version, one line about the tool, OK.
#pragma once

#include <QDialog>
#include <QIcon>

namespace velora::config {

class CAboutBox : public QDialog
{
    Q_OBJECT

public:
    explicit CAboutBox(const QIcon& icon, QWidget* parent = nullptr);
};

} // namespace velora::config
