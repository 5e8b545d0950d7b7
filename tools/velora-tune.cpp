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
#include <string_view>
#include <thread>
#include <vector>

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include "VeloraVersion.h"
#include "tools/TunerExports.h"

namespace {

using velora::TunerExports;

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
        "  -h, --help          show this text and exit\n"
        "  -v, --version       show the version and exit\n",
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

// One command-line option: whether a value follows it, and how it changes the options.
// apply gets the option's name and its value (nullptr for an option without one) and says
// what is wrong on standard error when it returns false.
struct Option
{
    const char* name;
    bool takesValue;
    bool (*apply)(Options& options, const char* name, const char* value);
};

bool addMhz(Options& options, const char*, const char* value)
{
    float mhz = 0;
    if (!parseFloat(value, mhz) || mhz <= 0 || mhz > 2000) {
        std::fprintf(stderr, "velora-tune: --mhz wants a frequency in MHz such as 55.25, not '%s'\n", value);
        return false;
    }
    options.frequencies.push_back(static_cast<int32_t>(std::lround(mhz * 100.0)));
    return true;
}

bool addFrequency(Options& options, const char*, const char* value)
{
    int32_t frequency = 0;
    if (!parseInt(value, frequency)) {
        std::fprintf(stderr, "velora-tune: --freq wants an integer in units of 10 kHz, not '%s'\n", value);
        return false;
    }
    options.frequencies.push_back(frequency);
    return true;
}

template <std::optional<float> Options::*level> bool setLevel(Options& options, const char* name, const char* value)
{
    float number = 0;
    if (!parseFloat(value, number)) {
        std::fprintf(stderr, "velora-tune: %s wants a number from 0.0 to 1.0, not '%s'\n", name, value);
        return false;
    }
    options.*level = number;
    return true;
}

bool setWaitSync(Options& options, const char*, const char* value)
{
    int32_t ms = 0;
    if (!parseInt(value, ms) || ms < 0) {
        std::fprintf(stderr, "velora-tune: --wait-sync wants milliseconds, not '%s'\n", value);
        return false;
    }
    options.waitSyncMs = ms;
    return true;
}

template <auto text> bool setText(Options& options, const char*, const char* value)
{
    options.*text = value;
    return true;
}

template <bool Options::*flag> bool setFlag(Options& options, const char*, const char*)
{
    options.*flag = true;
    return true;
}

bool addSource1(Options& options, const char*, const char*)
{
    options.frequencies.push_back(0);
    return true;
}

const Option kOptions[] = {
    {"--ini", true, setText<&Options::ini>},
    {"--dir", true, setText<&Options::directory>},
    {"--library", true, setText<&Options::library>},
    {"--mhz", true, addMhz},
    {"--freq", true, addFrequency},
    {"--source1", false, addSource1},
    {"--scan", false, setFlag<&Options::scan>},
    {"--brightness", true, setLevel<&Options::brightness>},
    {"--contrast", true, setLevel<&Options::contrast>},
    {"--saturation", true, setLevel<&Options::saturation>},
    {"--wait-sync", true, setWaitSync},
    {"--expect-sync", false, setFlag<&Options::expectSync>},
    {"--quiet", false, setFlag<&Options::quiet>},
};

const Option* findOption(std::string_view name)
{
    for (const Option& option : kOptions) {
        if (name == option.name) {
            return &option;
        }
    }
    return nullptr;
}

std::optional<Options> parse(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            usage(stdout);
            std::exit(0);
        }
        if (arg == "--version" || arg == "-v") {
            std::printf("velora-tune %s\n", velora::kSuiteVersion);
            std::exit(0);
        }
        const Option* option = findOption(arg);
        if (option == nullptr) {
            std::fprintf(stderr, "velora-tune: unknown option '%s' (try --help)\n", argv[i]);
            return std::nullopt;
        }
        if (option->takesValue && i + 1 >= argc) {
            std::fprintf(stderr, "velora-tune: %s needs a value\n", option->name);
            return std::nullopt;
        }
        const char* value = option->takesValue ? argv[++i] : nullptr;
        if (!option->apply(options, option->name, value)) {
            return std::nullopt;
        }
    }
    return options;
}

std::string mhz(int32_t frequency)
{
    char text[32];
    std::snprintf(text, sizeof text, "%d.%02d MHz", frequency / 100, std::abs(frequency % 100));
    return text;
}

const char* syncText(int32_t sync)
{
    return sync ? "signal locked" : "no signal";
}

int32_t waitForSync(const TunerExports& tuner, int waitMs)
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

// The library's debug texts on standard error unless --quiet, and the folder of --dir.
bool prepare(const Options& options)
{
    if (!options.quiet) {
        setenv("VELORA_DEBUG", "1", 0);
    }
    if (options.directory && chdir(options.directory->c_str()) != 0) {
        std::fprintf(stderr, "velora-tune: cannot change to '%s': %s\n", options.directory->c_str(),
                     std::strerror(errno));
        return false;
    }
    return true;
}

// The tuner library loaded and bound, or null after saying why not.
void* load(const std::string& path, TunerExports& tuner)
{
    void* library = dlopen(path.c_str(), RTLD_NOW);
    if (library == nullptr) {
        std::fprintf(stderr, "velora-tune: cannot load %s: %s\n", path.c_str(), dlerror());
        return nullptr;
    }
    if (const char* missing = tuner.bind(library)) {
        std::fprintf(stderr, "velora-tune: the tuner library does not export %s\n", missing);
        dlclose(library);
        return nullptr;
    }
    return library;
}

// Configure with the profile file; true when the library found the card.
bool configure(const TunerExports& tuner, std::string ini)
{
    // The library resolves the profile path itself: a bare name would mean the per-user
    // configuration folder, so a file in the current folder is named with "./".
    if (ini.find('/') == std::string::npos) {
        ini = "./" + ini;
    }
    const bool configured = tuner.configure(ini.c_str());
    std::fflush(stderr);
    std::printf("VeloraTuner_Configure(\"%s\") -> %s\n", ini.c_str(), configured ? "true" : "false (no card)");
    return configured;
}

// Tunes to each frequency in turn; true when every tuning found the card.
bool tuneAll(const TunerExports& tuner, const Options& options)
{
    bool present = true;
    for (const int32_t frequency : options.frequencies) {
        const bool tuned = tuner.setFrequency(frequency);
        present = present && tuned;
        std::printf("VeloraTuner_SetFrequency(%d) -> %s   [%s]\n", frequency, tuned ? "true" : "false (no card)",
                    frequency == 0 ? "external source 1" : mhz(frequency).c_str());
        const int32_t sync = waitForSync(tuner, options.waitSyncMs);
        std::printf("VeloraTuner_GotSync() -> %d   [%s]\n", sync, syncText(sync));
    }
    return present;
}

void scanChannels(const TunerExports& tuner, int waitSyncMs)
{
    std::printf("Scanning %zu channels...\n", europeanChannels().size());
    int found = 0;
    for (const int32_t frequency : europeanChannels()) {
        tuner.setFrequency(frequency);
        if (waitForSync(tuner, waitSyncMs) != 0) {
            std::printf("  signal at %s\n", mhz(frequency).c_str());
            ++found;
        }
    }
    std::printf("Scan done: %d channel%s with a signal\n", found, found == 1 ? "" : "s");
}

// The picture setters asked for, then every getter; returns the final GotSync.
int32_t picture(const TunerExports& tuner, const Options& options)
{
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
    std::printf("VeloraTuner_GotSync() -> %d   [%s]\n", sync, syncText(sync));
    return sync;
}

} // namespace

int main(int argc, char** argv)
{
    // Line by line, so that the calls and the library's debug texts on standard error stay
    // in order when both go to one pipe.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const auto parsed = parse(argc, argv);
    if (!parsed || !prepare(*parsed)) {
        return 2;
    }
    const Options& options = *parsed;
    TunerExports tuner;
    void* library = load(options.library, tuner);
    if (library == nullptr) {
        return 1;
    }

    std::printf("VeloraTuner_Init()\n");
    std::fflush(stdout);
    tuner.init();
    std::fflush(stderr);
    bool present = options.ini ? configure(tuner, *options.ini) : true;
    present = tuneAll(tuner, options) && present;
    if (options.scan) {
        scanChannels(tuner, options.waitSyncMs);
    }
    const int32_t sync = picture(tuner, options);
    tuner.close();
    std::printf("VeloraTuner_Close()\n");
    dlclose(library);

    if (!present) {
        std::fprintf(stderr, "velora-tune: the card was not found (is a driver library libvelorahwio.so installed?)\n");
    }
    if (options.expectSync && sync == 0) {
        return 3;
    }
    return present ? 0 : 1;
}
