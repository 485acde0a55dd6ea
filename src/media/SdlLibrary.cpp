#include "SdlLibrary.h"

#include "LazyLibrary.h"

namespace zr::media {
namespace {

LazyLibrary sdl("libSDL2-2.0.so.0");
SdlLibrary table{};

} // namespace

const SdlLibrary* SdlLibrary::get() {
    const bool ok = sdl.open([](LazyLibrary& lib) {
        return lib.resolve(table.InitSubSystem, "SDL_InitSubSystem") &&
               lib.resolve(table.QuitSubSystem, "SDL_QuitSubSystem") &&
               lib.resolve(table.WasInit, "SDL_WasInit") &&
               lib.resolve(table.GetError, "SDL_GetError") &&
               lib.resolve(table.GetHint, "SDL_GetHint") &&
               lib.resolve(table.SetHint, "SDL_SetHint") &&
               lib.resolve(table.SetHintWithPriority, "SDL_SetHintWithPriority") &&
               lib.resolve(table.ResetHint, "SDL_ResetHint") &&
               lib.resolve(table.AudioInit, "SDL_AudioInit") &&
               lib.resolve(table.AudioQuit, "SDL_AudioQuit") &&
               lib.resolve(table.GetCurrentAudioDriver, "SDL_GetCurrentAudioDriver") &&
               lib.resolve(table.OpenAudioDevice, "SDL_OpenAudioDevice") &&
               lib.resolve(table.CloseAudioDevice, "SDL_CloseAudioDevice") &&
               lib.resolve(table.PauseAudioDevice, "SDL_PauseAudioDevice") &&
               lib.resolve(table.LockAudioDevice, "SDL_LockAudioDevice") &&
               lib.resolve(table.UnlockAudioDevice, "SDL_UnlockAudioDevice") &&
               lib.resolve(table.CreateThread, "SDL_CreateThread") &&
               lib.resolve(table.WaitThread, "SDL_WaitThread");
    });
    return ok ? &table : nullptr;
}

const SdlLibrary* SdlLibrary::loaded() {
    return sdl.isOpen() ? &table : nullptr;
}

std::string SdlLibrary::loadError() {
    return sdl.error();
}

} // namespace zr::media
