#include "tuner/Descriptions.h"

#include "hw/CaptureCard.h"
#include "tuner/FormattedInput.h"

namespace velora {
namespace {

// One line of a description file: its format and the field it fills.
struct DescriptionLine
{
    const char* format;
    std::uint32_t CaptureCard::*hexField;
    std::int32_t CaptureCard::*decimalField;
};

constexpr DescriptionLine kTunerLines[] = {
    {"I2CAddress=0x%x\n", &CaptureCard::I2CAddress, nullptr}, {"VHFLow=0x%x\n", &CaptureCard::VHFLow, nullptr},
    {"VHFHigh=0x%x\n", &CaptureCard::VHFHigh, nullptr},       {"UHF=0x%x\n", &CaptureCard::UHF, nullptr},
    {"Threshold1=%d\n", nullptr, &CaptureCard::Threshold1},   {"Threshold2=%d\n", nullptr, &CaptureCard::Threshold2},
};

constexpr DescriptionLine kCardLines[] = {
    {"VideoTuner=0x%x\n", &CaptureCard::VideoTuner, nullptr},
    {"VideoSource1=0x%x\n", &CaptureCard::VideoSource1, nullptr},
    {"VideoSource2=0x%x\n", &CaptureCard::VideoSource2, nullptr},
    {"VideoMask=0x%x\n", &CaptureCard::VideoMask, nullptr},
    {"AudioTuner=0x%x\n", &CaptureCard::AudioTuner, nullptr},
    {"AudioSource1=0x%x\n", &CaptureCard::AudioSource1, nullptr},
    {"AudioSource2=0x%x\n", &CaptureCard::AudioSource2, nullptr},
    {"AudioMute=0x%x\n", &CaptureCard::AudioMute, nullptr},
    {"AudioMask=0x%x\n", &CaptureCard::AudioMask, nullptr},
};

template <std::size_t N> void readLines(std::string_view text, CaptureCard& card, const DescriptionLine (&lines)[N])
{
    FormattedInput input(text);
    for (const DescriptionLine& line : lines) {
        // As with the original reader, the outcome of each line is not looked at: a line
        // that does not match leaves its field alone and the next line reads on from there.
        if (line.hexField != nullptr) {
            input.scan(line.format, &(card.*line.hexField));
        } else {
            input.scan(line.format, &(card.*line.decimalField));
        }
    }
}

} // namespace

void readTunerDescription(std::string_view text, CaptureCard& card)
{
    readLines(text, card, kTunerLines);
}

void readCardDescription(std::string_view text, CaptureCard& card)
{
    readLines(text, card, kCardLines);
}

} // namespace velora
