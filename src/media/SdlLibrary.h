#pragma once
// SDL2, loaded the first time a stream goes through it (LazyLibrary). Playing through the sound
// server's own stream never needs it, and linking it would load its video stack (X11, Wayland,
// libdecor, gbm) into every process at start.

#include <SDL.h>

#include <string>

namespace zr::media {

struct SdlLibrary {
    decltype(&::SDL_InitSubSystem) InitSubSystem;
    decltype(&::SDL_QuitSubSystem) QuitSubSystem;
    decltype(&::SDL_WasInit) WasInit;
    decltype(&::SDL_GetError) GetError;
    decltype(&::SDL_GetHint) GetHint;
    decltype(&::SDL_SetHint) SetHint;
    decltype(&::SDL_SetHintWithPriority) SetHintWithPriority;
    decltype(&::SDL_ResetHint) ResetHint;
    decltype(&::SDL_AudioInit) AudioInit;
    decltype(&::SDL_AudioQuit) AudioQuit;
    decltype(&::SDL_GetCurrentAudioDriver) GetCurrentAudioDriver;
    decltype(&::SDL_OpenAudioDevice) OpenAudioDevice;
    decltype(&::SDL_CloseAudioDevice) CloseAudioDevice;
    decltype(&::SDL_PauseAudioDevice) PauseAudioDevice;
    decltype(&::SDL_LockAudioDevice) LockAudioDevice;
    decltype(&::SDL_UnlockAudioDevice) UnlockAudioDevice;
    decltype(&::SDL_CreateThread) CreateThread;
    decltype(&::SDL_WaitThread) WaitThread;

    // The library, loaded on the first call; nullptr when it cannot be loaded or lacks a
    // function (loadError() says why).
    static const SdlLibrary* get();
    // The library if an earlier get() loaded it, without loading it.
    static const SdlLibrary* loaded();
    static std::string loadError();
};

} // namespace zr::media
