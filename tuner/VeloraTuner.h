/* libVeloraTuner.so: the tuner library a television viewer loads to control the card.
 *
 * Call VeloraTuner_Init once before anything else and VeloraTuner_Close once at the end;
 * the other functions in any order between them, from one thread at a time. In normal use
 * VeloraTuner_Configure comes before the first tuning: it reads the tuner and card
 * descriptions named in velora.ini and sets the capture resolution.
 *
 * Frequencies are in units of 10 kHz (5525 is 55.25 MHz); 0 selects external source 1.
 * Picture values are on the scale 0.0 to 1.0; out-of-range values are clamped, and the
 * setters return the chip level actually set (brightness 0..255, contrast and saturation
 * 0..511). Diagnostics go to the system's debug channel (syslog; standard error as well
 * with VELORA_DEBUG=1).
 */
#ifndef VELORA_TUNER_H
#define VELORA_TUNER_H

#include <stdint.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

#define VELORA_TUNER_API __attribute__((visibility("default")))

VELORA_TUNER_API void VeloraTuner_Init(void);
VELORA_TUNER_API bool VeloraTuner_Configure(const char* profilePath);
VELORA_TUNER_API void VeloraTuner_Close(void);
VELORA_TUNER_API bool VeloraTuner_SetFrequency(int32_t frequency);
VELORA_TUNER_API int32_t VeloraTuner_SetBrightness(float value);
VELORA_TUNER_API int32_t VeloraTuner_SetContrast(float value);
VELORA_TUNER_API int32_t VeloraTuner_SetSaturation(float value);
VELORA_TUNER_API float VeloraTuner_GetBrightness(void);
VELORA_TUNER_API float VeloraTuner_GetContrast(void);
VELORA_TUNER_API float VeloraTuner_GetSaturation(void);
VELORA_TUNER_API int32_t VeloraTuner_GotSync(void);

#ifdef __cplusplus
}
#endif

#endif /* VELORA_TUNER_H */
