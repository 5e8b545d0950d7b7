#include "config/ui/AppIcon.h"

// Resources of a static library must be registered by hand.
static void initialiseResources()
{
    Q_INIT_RESOURCE(veloraconfig);
}

namespace velora::config {

QIcon applicationIcon()
{
    initialiseResources();
    return QIcon(QStringLiteral(":/veloraconfig/veloraconfig.svg"));
}

} // namespace velora::config
