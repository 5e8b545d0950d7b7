// The tuner library's operations behind its eleven exports, over injected platform services.
//
// A viewer calls Init once, then the other operations in any order, then Close. The library
// keeps one card from Init to Close and nothing else. Calls outside that window are safe:
// without a card nothing is written, the setters still return the clamped level, getters
// and GotSync return 0, and Configure and SetFrequency return false.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/Clock.h"
#include "platform/DebugOutput.h"
#include "platform/FileSystem.h"
#include "platform/LibraryLoader.h"
#include "platform/Profile.h"
#include "tuner/TunerCard.h"

namespace velora {

struct TunerServices
{
    platform::LibraryLoader& loader;
    platform::Clock& clock;
    platform::DebugOutput& debug;
    platform::Profile& profile;
    platform::FileSystem& files;
};

class TunerLibrary
{
public:
    explicit TunerLibrary(const TunerServices& services) : m_services(services) {}

    // Looks for the card and keeps the new card object, found or not; a card kept from an
    // earlier Init is released first.
    void Init();

    // Reads the tuner and card descriptions named in section "TV" of the profile file at this
    // path, relative to the current directory, and sets the capture resolution. Returns true
    // when the card is present.
    bool Configure(const char* profilePath);

    // Releases the card: the driver library is unloaded.
    void Close();

    // Tunes to a frequency in 10 kHz units; 0 selects external source 1.
    bool SetFrequency(std::int32_t frequency);

    // Picture values on the scale 0.0 to 1.0; the setters return the chip level set.
    std::int32_t SetBrightness(float value);
    std::int32_t SetContrast(float value);
    std::int32_t SetSaturation(float value);
    float GetBrightness();
    float GetContrast();
    float GetSaturation();

    // 1 when a locked video signal is present, else 0.
    std::int32_t GotSync();

    // The library's single card; null outside Init..Close.
    TunerCard* card() const { return m_card.get(); }

private:
    void DebugPrint(const char* format, ...) __attribute__((format(printf, 2, 3)));
    bool readDescription(const char* pattern, const char* name, void (*read)(std::string_view, CaptureCard&));

    TunerServices m_services;
    std::unique_ptr<TunerCard> m_card;
};

// A picture value times the level scale, truncated toward zero; NaN counts as 0 and values
// beyond the integer range saturate, so that the clamping that follows always applies.
std::int32_t pictureLevel(float value, double scale);

} // namespace velora
