// VeloraConfig: the settings tool of the Velora suite, one dialog over velora.ini.
#include "config/ui/CSettingsApp.h"

int main(int argc, char** argv)
{
    velora::config::CSettingsApp app(argc, argv);
    app.InitInstance();
    return 0;
}
