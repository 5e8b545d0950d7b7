// The exports of libVeloraTuner.so: thin C entry points over the process's one TunerLibrary,
// bound to this system's services. Loading and unloading the library does no work; the
// card exists only between VeloraTuner_Init and VeloraTuner_Close.
#include "tuner/VeloraTuner.h"

#include "tuner/TunerLibrary.h"

namespace {

velora::TunerLibrary& library()
{
    static velora::TunerLibrary instance(velora::TunerServices{
        velora::platform::systemLibraryLoader(),
        velora::platform::systemClock(),
        velora::platform::systemDebugOutput(),
        velora::platform::systemProfile(),
        velora::platform::systemFileSystem(),
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
