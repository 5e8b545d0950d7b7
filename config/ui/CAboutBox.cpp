#include "config/ui/CAboutBox.h"

#include "ui/DialogLayout.h"

#include <QLabel>
#include <QPushButton>

namespace velora::config {

CAboutBox::CAboutBox(const QIcon& icon, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("About VeloraConfig"));
    ui::DialogLayout layout(*this, 235, 55);

    layout.addLabel(tr("VeloraConfig Version 1.0"), 40, 10, 119, 8);
    layout.addLabel(tr("Settings for Bt848 TV cards"), 40, 25, 119, 8);
    auto* ok = layout.add(new QPushButton(tr("OK"), this), 178, 7, 50, 14);
    ok->setDefault(true);
    ok->setFocus();
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    // The icon keeps its own size; it goes where the final units put its corner.
    layout.finish();
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("icon"));
    picture->setPixmap(icon.pixmap(32, 32));
    picture->setGeometry(layout.units().x(11), layout.units().y(17), 32, 32);
}

} // namespace velora::config
