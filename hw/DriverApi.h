/* The driver library contract: the six functions that a card driver library exports.
 *
 * The suite reaches the card only through these functions of "libvelorahwio.so", which it
 * loads by name at run time. Every argument and result is 32 bits wide. A driver library
 * may be written in C or C++; it exports exactly these names with C linkage.
 *
 * pciGetHardwareResources(vendor, device, r1, r2, r3)
 *     Looks for a PCI device with this vendor and device id. Returns 0 when one is
 *     present, after storing three values that name it through the pointers (the suite
 *     hands the first two back to memoryMap and memoryUnmap and ignores the third); any
 *     other value when there is none.
 * memoryMap(r1, r2)
 *     Maps the register window of the device found; afterwards memoryRead and memoryWrite
 *     reach its registers. Called once, right after a successful discovery. The result is
 *     not looked at.
 * memoryRead(offset)
 *     The 32-bit register at this byte offset of the window.
 * memoryWrite(offset, value)
 *     Writes the 32-bit register at this byte offset. The result is not looked at.
 * memoryUnmap(r1, r2)
 *     Releases the mapping. May be called with values that were never mapped.
 * isDriverOpened()
 *     Must be exported; the suite never calls it. By convention, non-zero while a mapping
 *     is held.
 */
#ifndef VELORA_HW_DRIVER_API_H
#define VELORA_HW_DRIVER_API_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t (*PciGetHardwareResourcesFn)(uint32_t vendor, uint32_t device, uint32_t* resource1, uint32_t* resource2,
                                             uint32_t* resource3);
typedef int32_t (*IsDriverOpenedFn)(void);
typedef int32_t (*MemoryUnmapFn)(uint32_t resource1, uint32_t resource2);
typedef int32_t (*MemoryMapFn)(uint32_t resource1, uint32_t resource2);
typedef uint32_t (*MemoryReadFn)(uint32_t offset);
typedef int32_t (*MemoryWriteFn)(uint32_t offset, uint32_t value);

/* Declarations for driver libraries that implement the contract. */
#if defined(VELORA_DRIVER_IMPLEMENTATION)
#define VELORA_DRIVER_EXPORT __attribute__((visibility("default")))
VELORA_DRIVER_EXPORT int32_t pciGetHardwareResources(uint32_t vendor, uint32_t device, uint32_t* resource1,
                                                     uint32_t* resource2, uint32_t* resource3);
VELORA_DRIVER_EXPORT int32_t isDriverOpened(void);
VELORA_DRIVER_EXPORT int32_t memoryUnmap(uint32_t resource1, uint32_t resource2);
VELORA_DRIVER_EXPORT int32_t memoryMap(uint32_t resource1, uint32_t resource2);
VELORA_DRIVER_EXPORT uint32_t memoryRead(uint32_t offset);
VELORA_DRIVER_EXPORT int32_t memoryWrite(uint32_t offset, uint32_t value);
#endif

#ifdef __cplusplus
}
#endif

#endif /* VELORA_HW_DRIVER_API_H */
