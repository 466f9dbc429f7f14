// Sound on SDL2_mixer: the sound device, with our wave mixer added to SDL2_mixer's output
// through its post-mix hook, and SDL2_mixer's decoders (MIDI through FluidSynth with a
// General MIDI sound font, MP3, OGG, FLAC, MOD and the rest) turning music files into
// samples for that mixer.
#include "platform/sdl/Sdl_Audio.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>

#include "platform/Libraries.h"

namespace kelvane {

namespace {

// SDL2_mixer is loaded when sound is first opened or decoded, not when the program starts:
// with its decoders (FluidSynth and its GLib, FLAC, Vorbis, MP3, MOD) it is some thirty
// libraries that a run without sound would carry for nothing.
#define KELVANE_MIXER_FUNCTIONS(X)                                                                 \
    X(Mix_SetSoundFonts)                                                                           \
    X(Mix_Init)                                                                                    \
    X(Mix_OpenAudioDevice)                                                                         \
    X(Mix_CloseAudio)                                                                              \
    X(Mix_Quit)                                                                                    \
    X(Mix_LoadWAV)                                                                                 \
    X(Mix_FreeChunk)                                                                               \
    X(Mix_LoadMUS)                                                                                 \
    X(Mix_MusicDuration)                                                                           \
    X(Mix_FreeMusic)                                                                               \
    X(Mix_SetPostMix)

struct Mixer {
#define KELVANE_MIXER_POINTER(name) decltype(&::name) name = nullptr;
    KELVANE_MIXER_FUNCTIONS(KELVANE_MIXER_POINTER)
#undef KELVANE_MIXER_POINTER
};

const Mixer* mix = nullptr;
std::string mix_error;
std::once_flag mix_once;

void load_mixer() {
    static LateLibrary library;
    std::string why;
    if (!library.open("libSDL2_mixer-2.0.so.0", why)) {
        mix_error = "SDL2_mixer cannot be loaded (" + why + ")";
        return;
    }
    static Mixer loaded;
#define KELVANE_MIXER_FIND(name)                                                                   \
    if (!library.find(loaded.name, #name, "SDL2_mixer", mix_error)) return;
    KELVANE_MIXER_FUNCTIONS(KELVANE_MIXER_FIND)
#undef KELVANE_MIXER_FIND
    mix = &loaded;
}

// True once SDL2_mixer is loaded; else false with the reason.
bool have_mixer(std::string* error) {
    std::call_once(mix_once, load_mixer);
    if (!mix && error) *error = mix_error;
    return mix != nullptr;
}

} // namespace

namespace {

// SDL2_mixer is one per process: opened on the sound device for a windowed run, or on
// SDL's silent driver when it only decodes.
struct MixerState {
    bool open = false;
    bool on_device = false;
};
MixerState mixer_state;

// Where Debian puts its General MIDI sound fonts; SDL_SOUNDFONTS overrides.
void choose_sound_font() {
    if (std::getenv("SDL_SOUNDFONTS")) return;
    for (const char* f :
         {"/usr/share/sounds/sf2/FluidR3_GM.sf2", "/usr/share/sounds/sf2/default-GM.sf2",
          "/usr/share/soundfonts/default.sf2", "/usr/share/sounds/sf3/default-GM.sf3"}) {
        std::error_code ec;
        if (std::filesystem::is_regular_file(f, ec)) {
            mix->Mix_SetSoundFonts(f);
            return;
        }
    }
}

bool open_mixer(bool device, std::string* error) {
    if (mixer_state.open) return mixer_state.on_device == device || !device;
    if (!have_mixer(error)) return false;
    if (!device) SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        if (error) *error = SDL_GetError();
        return false;
    }
    mix->Mix_Init(MIX_INIT_FLAC | MIX_INIT_MOD | MIX_INIT_MP3 | MIX_INIT_OGG | MIX_INIT_MID |
                  MIX_INIT_OPUS);
    choose_sound_font();
    // No format changes allowed: SDL converts to the device, our mixer sees one format.
    if (mix->Mix_OpenAudioDevice(audio_rate, AUDIO_S16SYS, 2, 1024, nullptr, 0) != 0) {
        if (error) *error = Mix_GetError();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    mixer_state = {true, device};
    return true;
}

void close_mixer() {
    if (!mixer_state.open) return;
    mix->Mix_CloseAudio();
    mix->Mix_Quit();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    mixer_state = {};
}

// Opens SDL2_mixer for decoding only, closed again when the program ends.
bool open_decoder() {
    if (mixer_state.open) return true;
    if (!open_mixer(false, nullptr)) return false;
    std::atexit(close_mixer);
    return true;
}

WavePtr decode_file(const std::string& path) {
    if (!open_decoder()) return nullptr;
    Mix_Chunk* chunk = mix->Mix_LoadWAV(path.c_str());
    if (!chunk) return nullptr;
    auto wave = std::make_shared<RWave>();
    wave->rate = audio_rate;
    wave->channels = 2;
    const size_t samples = chunk->alen / sizeof(int16_t);
    wave->samples.resize(samples);
    std::memcpy(wave->samples.data(), chunk->abuf, samples * sizeof(int16_t));
    mix->Mix_FreeChunk(chunk);
    if (wave->frames() == 0) return nullptr;
    return wave;
}

// SDL2_mixer knows the length of most music files without decoding them; MIDI it does not.
int64_t file_length_ms(const std::string& path) {
    if (!open_decoder()) return 0;
    if (Mix_Music* music = mix->Mix_LoadMUS(path.c_str())) {
        const double seconds = mix->Mix_MusicDuration(music);
        mix->Mix_FreeMusic(music);
        if (seconds > 0) return int64_t(seconds * 1000);
    }
    WavePtr w = decode_file(path);
    return w ? w->frames() * 1000 / w->rate : 0;
}

// The device output: SDL2_mixer's stream gets our voices added, clipped once.
class SdlAudio : public Audio {
  public:
    SdlAudio() { mix->Mix_SetPostMix(&SdlAudio::post_mix, this); }
    ~SdlAudio() override {
        mix->Mix_SetPostMix(nullptr, nullptr);
        close_mixer();
    }
    WavePtr decode(const std::string& path) override { return decode_file(path); }
    int64_t length_ms(const std::string& path) override { return file_length_ms(path); }
    void step(int32_t) override {}

  private:
    std::vector<float> mix_;

    static void post_mix(void* self, Uint8* stream, int length) {
        auto* a = static_cast<SdlAudio*>(self);
        const size_t samples = size_t(length) / sizeof(int16_t);
        a->mix_.resize(samples);
        a->mixer_.mix(a->mix_.data(), samples / 2);
        auto* out = reinterpret_cast<int16_t*>(stream);
        for (size_t i = 0; i < samples; ++i) a->mix_[i] += float(out[i]) / 32768.0f;
        clip_to_s16(a->mix_.data(), out, samples);
    }
};

} // namespace

AudioDecoder make_sdl_decoder() {
    return decode_file;
}

std::unique_ptr<Audio> open_sdl_audio(std::string* error) {
    if (!open_mixer(true, error)) return nullptr;
    return std::make_unique<SdlAudio>();
}

} // namespace kelvane
