#include "tuner/TunerLibrary.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <string>

#include "tuner/Descriptions.h"

namespace velora {
namespace {

// Paths and texts live in 512-byte buffers: at most 511 characters.
constexpr std::size_t kMaxPath = 511;

constexpr float kBrightnessScale = 0.003921569f; // 1/255 in single precision
constexpr float kLevel511Scale = 0.0019569471f;  // 1/511 in single precision

} // namespace

std::int32_t pictureLevel(float value, double scale)
{
    const double scaled = static_cast<double>(value) * scale;
    if (std::isnan(scaled)) {
        return 0;
    }
    if (scaled >= 2147483647.0) {
        return 2147483647;
    }
    if (scaled <= -2147483648.0) {
        return -2147483647 - 1;
    }
    return static_cast<std::int32_t>(scaled);
}

void TunerLibrary::DebugPrint(const char* format, ...)
{
    char buffer[4096];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    m_services.debug.write(buffer);
}

void TunerLibrary::Init()
{
    m_card.reset();
    m_card = std::make_unique<TunerCard>(m_services.loader, m_services.clock);
    DebugPrint(m_card->IsFound() ? "BT8x8 found!\n" : "BT8x8 not found!\n");
}

void TunerLibrary::Close()
{
    m_card.reset();
}

bool TunerLibrary::readDescription(const char* pattern, const char* name, void (*read)(std::string_view, CaptureCard&))
{
    char path[kMaxPath + 1];
    const int length = std::snprintf(path, sizeof path, pattern, name);
    // A name too long for the buffer counts as a file that cannot be opened.
    if (length < 0 || static_cast<std::size_t>(length) > kMaxPath) {
        return false;
    }
    const auto found = m_services.files.findIgnoringCase(path);
    if (!found) {
        return false;
    }
    const auto text = m_services.files.readText(*found);
    if (!text) {
        return false;
    }
    read(*text, *m_card);
    return true;
}

bool TunerLibrary::Configure(const char* profilePath)
{
    if (!m_card) {
        return false;
    }
    const std::string_view path = profilePath != nullptr ? profilePath : "";
    const std::string tuner = m_services.profile.readString(path, "TV", "Tuner", "Default", kMaxPath);
    if (!readDescription("Tuners/%s.tun", tuner.c_str(), readTunerDescription)) {
        DebugPrint("Cannot read tuner information.\n");
    }
    const std::string card = m_services.profile.readString(path, "TV", "Card", "Generic", kMaxPath);
    if (!readDescription("Cards/%s.crd", card.c_str(), readCardDescription)) {
        DebugPrint("Cannot read card information.\n");
    }
    if (m_services.profile.readInt(path, "TV", "Quality", 0) == 1) {
        return m_card->SetHighResolution();
    }
    return m_card->SetLowResolution();
}

bool TunerLibrary::SetFrequency(std::int32_t frequency)
{
    return m_card ? m_card->SetFrequency(frequency) : false;
}

std::int32_t TunerLibrary::SetBrightness(float value)
{
    const std::int32_t level = pictureLevel(value, 255.0);
    return m_card ? m_card->SetBrightnessLevel(level) : clampLevel(level, 255);
}

std::int32_t TunerLibrary::SetContrast(float value)
{
    const std::int32_t level = pictureLevel(value, 511.0);
    return m_card ? m_card->SetContrastLevel(level) : clampLevel(level, 511);
}

std::int32_t TunerLibrary::SetSaturation(float value)
{
    const std::int32_t level = pictureLevel(value, 511.0);
    return m_card ? m_card->SetSaturationLevel(level) : clampLevel(level, 511);
}

float TunerLibrary::GetBrightness()
{
    return m_card ? static_cast<float>(m_card->GetBrightnessLevel()) * kBrightnessScale : 0.0f;
}

float TunerLibrary::GetContrast()
{
    return m_card ? static_cast<float>(m_card->GetContrastLevel()) * kLevel511Scale : 0.0f;
}

float TunerLibrary::GetSaturation()
{
    return m_card ? static_cast<float>(m_card->GetSaturationLevel()) * kLevel511Scale : 0.0f;
}

std::int32_t TunerLibrary::GotSync()
{
    return m_card && m_card->HasSync() ? 1 : 0;
}

} // namespace velora
