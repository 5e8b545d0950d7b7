// Tuner and card description files: small text files of fixed key=value lines, chosen by
// name in velora.ini and read into a card's description fields.
//
// A tuner file holds, in this order: I2CAddress=0x.., VHFLow=0x.., VHFHigh=0x.., UHF=0x..,
// Threshold1=<decimal>, Threshold2=<decimal>. A card file: VideoTuner, VideoSource1,
// VideoSource2, VideoMask, AudioTuner, AudioSource1, AudioSource2, AudioMute, AudioMask, all
// "=0x" hexadecimal. Each line is read with formatted input (see FormattedInput); reading
// stops being useful at the first line that does not match, and a field whose line was not
// read keeps the value it had.
#pragma once

#include <string_view>

namespace velora {

class CaptureCard;

void readTunerDescription(std::string_view text, CaptureCard& card);
void readCardDescription(std::string_view text, CaptureCard& card);

} // namespace velora
