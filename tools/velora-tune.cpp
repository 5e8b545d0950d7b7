// velora-tune: drives libVeloraTuner.so the way a television viewer does, from the command
// line, and prints every call it makes and what the library answered.
//
// The library is loaded with dlopen by name (so the suite folder's copy is found beside this
// program) and its exports are resolved one by one, exactly as a viewer binds them.
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

namespace {

struct Exports
{
    void (*init)();
    bool (*configure)(const char*);
    void (*close)();
    bool (*setFrequency)(int32_t);
    int32_t (*setBrightness)(float);
    int32_t (*setContrast)(float);
    int32_t (*setSaturation)(float);
    float (*getBrightness)();
    float (*getContrast)();
    float (*getSaturation)();
    int32_t (*gotSync)();
};

struct Options
{
    std::string library = "libVeloraTuner.so";
    std::optional<std::string> ini;
    std::optional<std::string> directory;
    std::vector<int32_t> frequencies; // in 10 kHz units; 0 selects source 1
    std::optional<float> brightness;
    std::optional<float> contrast;
    std::optional<float> saturation;
    int waitSyncMs = 0;
    bool expectSync = false;
    bool scan = false;
    bool quiet = false;
};

void usage(FILE* out)
{
    std::fputs(
        "Usage: velora-tune [options]\n"
        "Loads libVeloraTuner.so as a viewer does and calls its exports in order:\n"
        "Init, Configure, SetFrequency, the picture setters, the getters, GotSync, Close.\n\n"
        "  --ini PATH          profile file handed to VeloraTuner_Configure (default: none, no Configure)\n"
        "  --dir DIR           change to DIR first (Tuners/ and Cards/ are looked up from here)\n"
        "  --mhz F             tune to F MHz (for example 55.25); may be given several times\n"
        "  --freq N            tune to N in units of 10 kHz (5525 is 55.25 MHz)\n"
        "  --source1           select external source 1 (frequency 0)\n"
        "  --scan              tune through the European VHF and UHF channels and report the ones with a signal\n"
        "  --brightness V      set brightness, 0.0 to 1.0\n"
        "  --contrast V        set contrast, 0.0 to 1.0\n"
        "  --saturation V      set saturation, 0.0 to 1.0\n"
        "  --wait-sync MS      poll VeloraTuner_GotSync for up to MS milliseconds after tuning\n"
        "  --expect-sync       exit with status 3 unless the last tuning ends with a locked signal\n"
        "  --library PATH      load this tuner library instead of libVeloraTuner.so\n"
        "  --quiet             do not copy the library's debug texts to standard error\n"
        "  --help              show this text\n",
        out);
}

bool parseFloat(const char* text, float& value)
{
    char* end = nullptr;
    value = std::strtof(text, &end);
    return end != text && *end == '\0' && std::isfinite(value);
}

bool parseInt(const char* text, int32_t& value)
{
    char* end = nullptr;
    const long parsed = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || parsed < INT32_MIN || parsed > INT32_MAX) {
        return false;
    }
    value = static_cast<int32_t>(parsed);
    return true;
}

std::optional<Options> parse(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](const char* name) -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "velora-tune: %s needs a value\n", name);
                return nullptr;
            }
            return argv[++i];
        };
        const char* v = nullptr;
        if (arg == "--help" || arg == "-h") {
            usage(stdout);
            std::exit(0);
        } else if (arg == "--ini") {
            if (!(v = value("--ini")))
                return std::nullopt;
            options.ini = v;
        } else if (arg == "--dir") {
            if (!(v = value("--dir")))
                return std::nullopt;
            options.directory = v;
        } else if (arg == "--library") {
            if (!(v = value("--library")))
                return std::nullopt;
            options.library = v;
        } else if (arg == "--mhz") {
            float mhz = 0;
            if (!(v = value("--mhz")))
                return std::nullopt;
            if (!parseFloat(v, mhz) || mhz <= 0 || mhz > 2000) {
                std::fprintf(stderr, "velora-tune: --mhz wants a frequency in MHz such as 55.25, not '%s'\n", v);
                return std::nullopt;
            }
            options.frequencies.push_back(static_cast<int32_t>(std::lround(mhz * 100.0)));
        } else if (arg == "--freq") {
            int32_t frequency = 0;
            if (!(v = value("--freq")))
                return std::nullopt;
            if (!parseInt(v, frequency)) {
                std::fprintf(stderr, "velora-tune: --freq wants an integer in units of 10 kHz, not '%s'\n", v);
                return std::nullopt;
            }
            options.frequencies.push_back(frequency);
        } else if (arg == "--source1") {
            options.frequencies.push_back(0);
        } else if (arg == "--scan") {
            options.scan = true;
        } else if (arg == "--brightness" || arg == "--contrast" || arg == "--saturation") {
            float level = 0;
            if (!(v = value(arg.c_str())))
                return std::nullopt;
            if (!parseFloat(v, level)) {
                std::fprintf(stderr, "velora-tune: %s wants a number from 0.0 to 1.0, not '%s'\n", arg.c_str(), v);
                return std::nullopt;
            }
            (arg == "--brightness" ? options.brightness
             : arg == "--contrast" ? options.contrast
                                   : options.saturation) = level;
        } else if (arg == "--wait-sync") {
            int32_t ms = 0;
            if (!(v = value("--wait-sync")))
                return std::nullopt;
            if (!parseInt(v, ms) || ms < 0) {
                std::fprintf(stderr, "velora-tune: --wait-sync wants milliseconds, not '%s'\n", v);
                return std::nullopt;
            }
            options.waitSyncMs = ms;
        } else if (arg == "--expect-sync") {
            options.expectSync = true;
        } else if (arg == "--quiet") {
            options.quiet = true;
        } else {
            std::fprintf(stderr, "velora-tune: unknown option '%s' (try --help)\n", arg.c_str());
            return std::nullopt;
        }
    }
    return options;
}

template <typename Fn> bool bind(void* library, const char* name, Fn& fn)
{
    fn = reinterpret_cast<Fn>(dlsym(library, name));
    if (fn == nullptr) {
        std::fprintf(stderr, "velora-tune: the tuner library does not export %s\n", name);
        return false;
    }
    return true;
}

std::string mhz(int32_t frequency)
{
    char text[32];
    std::snprintf(text, sizeof text, "%d.%02d MHz", frequency / 100, std::abs(frequency % 100));
    return text;
}

int32_t waitForSync(const Exports& tuner, int waitMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    int32_t sync = tuner.gotSync();
    while (sync == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        sync = tuner.gotSync();
    }
    return sync;
}

// Picture carriers of the European channels E2 to E12 and 21 to 69.
std::vector<int32_t> europeanChannels()
{
    std::vector<int32_t> channels = {4825, 5525, 6225};
    for (int32_t f = 17525; f <= 22425; f += 700) {
        channels.push_back(f);
    }
    for (int32_t f = 47125; f <= 85525; f += 800) {
        channels.push_back(f);
    }
    return channels;
}

} // namespace

int main(int argc, char** argv)
{
    // Line by line, so that the calls and the library's debug texts on standard error stay
    // in order when both go to one pipe.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const auto parsed = parse(argc, argv);
    if (!parsed) {
        return 2;
    }
    const Options& options = *parsed;
    if (!options.quiet) {
        setenv("VELORA_DEBUG", "1", 0);
    }
    if (options.directory && chdir(options.directory->c_str()) != 0) {
        std::fprintf(stderr, "velora-tune: cannot change to '%s': %s\n", options.directory->c_str(),
                     std::strerror(errno));
        return 2;
    }

    void* library = dlopen(options.library.c_str(), RTLD_NOW);
    if (library == nullptr) {
        std::fprintf(stderr, "velora-tune: cannot load %s: %s\n", options.library.c_str(), dlerror());
        return 1;
    }
    Exports tuner{};
    if (!bind(library, "VeloraTuner_Init", tuner.init) || !bind(library, "VeloraTuner_Configure", tuner.configure) ||
        !bind(library, "VeloraTuner_Close", tuner.close) ||
        !bind(library, "VeloraTuner_SetFrequency", tuner.setFrequency) ||
        !bind(library, "VeloraTuner_SetBrightness", tuner.setBrightness) ||
        !bind(library, "VeloraTuner_SetContrast", tuner.setContrast) ||
        !bind(library, "VeloraTuner_SetSaturation", tuner.setSaturation) ||
        !bind(library, "VeloraTuner_GetBrightness", tuner.getBrightness) ||
        !bind(library, "VeloraTuner_GetContrast", tuner.getContrast) ||
        !bind(library, "VeloraTuner_GetSaturation", tuner.getSaturation) ||
        !bind(library, "VeloraTuner_GotSync", tuner.gotSync)) {
        dlclose(library);
        return 1;
    }

    std::printf("VeloraTuner_Init()\n");
    std::fflush(stdout);
    tuner.init();
    std::fflush(stderr);

    int status = 0;
    bool present = true;
    if (options.ini) {
        // The library resolves the profile path itself: a bare name would mean the per-user
        // configuration folder, so a file in the current folder is named with "./".
        std::string ini = *options.ini;
        if (ini.find('/') == std::string::npos) {
            ini = "./" + ini;
        }
        const bool configured = tuner.configure(ini.c_str());
        std::fflush(stderr);
        std::printf("VeloraTuner_Configure(\"%s\") -> %s\n", ini.c_str(), configured ? "true" : "false (no card)");
        present = configured;
    }

    int32_t lastSync = -1;
    for (const int32_t frequency : options.frequencies) {
        const bool tuned = tuner.setFrequency(frequency);
        present = present && tuned;
        std::printf("VeloraTuner_SetFrequency(%d) -> %s   [%s]\n", frequency, tuned ? "true" : "false (no card)",
                    frequency == 0 ? "external source 1" : mhz(frequency).c_str());
        lastSync = waitForSync(tuner, options.waitSyncMs);
        std::printf("VeloraTuner_GotSync() -> %d   [%s]\n", lastSync, lastSync ? "signal locked" : "no signal");
    }
    if (options.scan) {
        std::printf("Scanning %zu channels...\n", europeanChannels().size());
        int found = 0;
        for (const int32_t frequency : europeanChannels()) {
            tuner.setFrequency(frequency);
            if (waitForSync(tuner, options.waitSyncMs) != 0) {
                std::printf("  signal at %s\n", mhz(frequency).c_str());
                ++found;
            }
        }
        std::printf("Scan done: %d channel%s with a signal\n", found, found == 1 ? "" : "s");
    }

    if (options.brightness) {
        std::printf("VeloraTuner_SetBrightness(%.3f) -> level %d\n", *options.brightness,
                    tuner.setBrightness(*options.brightness));
    }
    if (options.contrast) {
        std::printf("VeloraTuner_SetContrast(%.3f) -> level %d\n", *options.contrast,
                    tuner.setContrast(*options.contrast));
    }
    if (options.saturation) {
        std::printf("VeloraTuner_SetSaturation(%.3f) -> level %d\n", *options.saturation,
                    tuner.setSaturation(*options.saturation));
    }
    std::printf("VeloraTuner_GetBrightness() -> %.4f\n", tuner.getBrightness());
    std::printf("VeloraTuner_GetContrast() -> %.4f\n", tuner.getContrast());
    std::printf("VeloraTuner_GetSaturation() -> %.4f\n", tuner.getSaturation());
    const int32_t sync = tuner.gotSync();
    std::printf("VeloraTuner_GotSync() -> %d   [%s]\n", sync, sync ? "signal locked" : "no signal");

    tuner.close();
    std::printf("VeloraTuner_Close()\n");
    dlclose(library);

    if (!present) {
        std::fprintf(stderr, "velora-tune: the card was not found (is a driver library libvelorahwio.so installed?)\n");
        status = 1;
    }
    if (options.expectSync && sync == 0) {
        status = 3;
    }
    return status;
}
