// The eleven exports of libVeloraTuner.so as a viewer binds them: looked up by name in a
// library opened with dlopen, each with the type that tuner/VeloraTuner.h gives it.
#pragma once

#include <type_traits>

#include <dlfcn.h>

#include "tuner/VeloraTuner.h"

namespace velora {

struct TunerExports
{
    decltype(&VeloraTuner_Init) init = nullptr;
    decltype(&VeloraTuner_Configure) configure = nullptr;
    decltype(&VeloraTuner_Close) close = nullptr;
    decltype(&VeloraTuner_SetFrequency) setFrequency = nullptr;
    decltype(&VeloraTuner_SetBrightness) setBrightness = nullptr;
    decltype(&VeloraTuner_SetContrast) setContrast = nullptr;
    decltype(&VeloraTuner_SetSaturation) setSaturation = nullptr;
    decltype(&VeloraTuner_GetBrightness) getBrightness = nullptr;
    decltype(&VeloraTuner_GetContrast) getContrast = nullptr;
    decltype(&VeloraTuner_GetSaturation) getSaturation = nullptr;
    decltype(&VeloraTuner_GotSync) gotSync = nullptr;

    // Looks every export up in library, in the order above. Returns the name of the first
    // one the library lacks (the ones before it are bound), or nullptr when all are there.
    const char* bind(void* library)
    {
        const char* missing = nullptr;
        auto look = [&](const char* name, auto& function) {
            if (missing == nullptr) {
                function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(library, name));
                missing = function == nullptr ? name : nullptr;
            }
        };
        look("VeloraTuner_Init", init);
        look("VeloraTuner_Configure", configure);
        look("VeloraTuner_Close", close);
        look("VeloraTuner_SetFrequency", setFrequency);
        look("VeloraTuner_SetBrightness", setBrightness);
        look("VeloraTuner_SetContrast", setContrast);
        look("VeloraTuner_SetSaturation", setSaturation);
        look("VeloraTuner_GetBrightness", getBrightness);
        look("VeloraTuner_GetContrast", getContrast);
        look("VeloraTuner_GetSaturation", getSaturation);
        look("VeloraTuner_GotSync", gotSync);
        return missing;
    }
};

} // namespace velora
