/* A driver library for tests: it keeps registers in memory and appends every call it gets,
 * with a millisecond time stamp, to the file named by VELORA_RECORD_LOG:
 *   "<ms> loaded", "<ms> pci 109e:350 -> 1", "<ms> map 1 8", "<ms> read 0x4 -> 0x0",
 *   "<ms> write 0x4 0x40", "<ms> unmap 1 8", "<ms> unloaded".
 * VELORA_RECORD_DEVICE names the device id that answers discovery (hexadecimal, default
 * 36e, "none" for none); VELORA_RECORD_DSTATUS the value DSTATUS reads. Built once as a
 * complete driver and once without isDriverOpened. */
#define VELORA_DRIVER_IMPLEMENTATION
#include "hw/DriverApi.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static uint32_t registers[1024];

static void record(const char* format, uint32_t a, uint32_t b, uint32_t c)
{
    const char* path = getenv("VELORA_RECORD_LOG");
    if (path == NULL) {
        return;
    }
    FILE* file = fopen(path, "a");
    if (file == NULL) {
        return;
    }
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    fprintf(file, "%lld ", (long long)now.tv_sec * 1000 + now.tv_nsec / 1000000);
    fprintf(file, format, a, b, c);
    fputc('\n', file);
    fclose(file);
}

__attribute__((constructor)) static void loaded(void)
{
    record("loaded", 0, 0, 0);
}

__attribute__((destructor)) static void unloaded(void)
{
    record("unloaded", 0, 0, 0);
}

int32_t pciGetHardwareResources(uint32_t vendor, uint32_t device, uint32_t* r1, uint32_t* r2, uint32_t* r3)
{
    const char* wanted = getenv("VELORA_RECORD_DEVICE");
    uint32_t present = 0x36E;
    if (wanted != NULL) {
        present = strcmp(wanted, "none") == 0 ? 0 : (uint32_t)strtoul(wanted, NULL, 16);
    }
    const int32_t result = (vendor == 0x109E && device == present) ? 0 : 1;
    record("pci %x:%x -> %u", vendor, device, (uint32_t)result);
    if (result == 0) {
        *r1 = 1;
        *r2 = 8;
        *r3 = device;
    }
    return result;
}

#ifndef RECORDING_WITHOUT_IS_DRIVER_OPENED
int32_t isDriverOpened(void)
{
    record("isDriverOpened", 0, 0, 0);
    return 1;
}
#endif

int32_t memoryMap(uint32_t r1, uint32_t r2)
{
    record("map %u %u", r1, r2, 0);
    const char* dstatus = getenv("VELORA_RECORD_DSTATUS");
    registers[0] = dstatus != NULL ? (uint32_t)strtoul(dstatus, NULL, 16) : 0;
    return 1;
}

int32_t memoryUnmap(uint32_t r1, uint32_t r2)
{
    record("unmap %u %u", r1, r2, 0);
    return 1;
}

uint32_t memoryRead(uint32_t offset)
{
    const uint32_t value = offset < 0x1000 ? registers[offset / 4] : 0;
    record("read 0x%x -> 0x%x", offset, value, 0);
    return value;
}

int32_t memoryWrite(uint32_t offset, uint32_t value)
{
    record("write 0x%x 0x%x", offset, value, 0);
    if (offset < 0x1000) {
        registers[offset / 4] = value;
    }
    return 1;
}
