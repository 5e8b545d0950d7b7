// The exports of libVeloraTuner.so: thin C entry points over the process's one TunerLibrary,
// bound to this system's services. Loading and unloading the library does no work; the
// card exists only between VeloraTuner_Init and VeloraTuner_Close.
#include "tuner/VeloraTuner.h"

#include "platform/ExecutablePath.h"
#include "platform/SearchPathFileSystem.h"
#include "platform/UserFolders.h"
#include "tuner/TunerLibrary.h"

#include <string>
#include <vector>

namespace {

// Descriptions are looked up from the viewer's current folder. When this library belongs to a
// system-wide install, a description not found there comes from the suite folder (the
// library's own) and then from the user's data folder.
std::vector<std::string> descriptionFolders()
{
    const std::string folder = velora::platform::moduleDirectory();
    if (!velora::platform::isSystemWideInstall(folder)) {
        return {};
    }
    return {folder, velora::platform::userDataFolder()};
}

velora::platform::FileSystem& files()
{
    static velora::platform::SearchPathFileSystem instance(velora::platform::systemFileSystem(), descriptionFolders());
    return instance;
}

velora::TunerLibrary& library()
{
    static velora::TunerLibrary instance(velora::TunerServices{
        velora::platform::systemLibraryLoader(),
        velora::platform::systemClock(),
        velora::platform::systemDebugOutput(),
        velora::platform::systemProfile(),
        files(),
    });
    return instance;
}

} // namespace

extern "C" {

void VeloraTuner_Init(void)
{
    library().Init();
}

bool VeloraTuner_Configure(const char* profilePath)
{
    return library().Configure(profilePath);
}

void VeloraTuner_Close(void)
{
    library().Close();
}

bool VeloraTuner_SetFrequency(int32_t frequency)
{
    return library().SetFrequency(frequency);
}

int32_t VeloraTuner_SetBrightness(float value)
{
    return library().SetBrightness(value);
}

int32_t VeloraTuner_SetContrast(float value)
{
    return library().SetContrast(value);
}

int32_t VeloraTuner_SetSaturation(float value)
{
    return library().SetSaturation(value);
}

float VeloraTuner_GetBrightness(void)
{
    return library().GetBrightness();
}

float VeloraTuner_GetContrast(void)
{
    return library().GetContrast();
}

float VeloraTuner_GetSaturation(void)
{
    return library().GetSaturation();
}

int32_t VeloraTuner_GotSync(void)
{
    return library().GotSync();
}

} // extern "C"
