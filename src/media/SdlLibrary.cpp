#include "SdlLibrary.h"

#include <dlfcn.h>

#include <atomic>
#include <mutex>
#include <string>

namespace zr::media {
namespace {

constexpr const char* kSoname = "libSDL2-2.0.so.0";

std::mutex loadMutex;
std::atomic<const SdlLibrary*> library{nullptr};
bool tried = false; // under loadMutex
std::string error;  // under loadMutex; fixed once tried is set

template <typename F> bool resolve(void* handle, F& slot, const char* name) {
    slot = reinterpret_cast<F>(dlsym(handle, name));
    if (!slot)
        error = std::string(kSoname) + " has no " + name;
    return slot != nullptr;
}

} // namespace

const SdlLibrary* SdlLibrary::get() {
    if (const SdlLibrary* lib = library.load(std::memory_order_acquire))
        return lib;
    std::lock_guard lock(loadMutex);
    if (tried)
        return library.load(std::memory_order_relaxed);
    tried = true;
    void* handle = dlopen(kSoname, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        error = why ? why : kSoname;
        return nullptr;
    }
    static SdlLibrary lib{};
    const bool ok = resolve(handle, lib.InitSubSystem, "SDL_InitSubSystem") &&
                    resolve(handle, lib.QuitSubSystem, "SDL_QuitSubSystem") &&
                    resolve(handle, lib.WasInit, "SDL_WasInit") &&
                    resolve(handle, lib.GetError, "SDL_GetError") &&
                    resolve(handle, lib.GetHint, "SDL_GetHint") &&
                    resolve(handle, lib.SetHint, "SDL_SetHint") &&
                    resolve(handle, lib.SetHintWithPriority, "SDL_SetHintWithPriority") &&
                    resolve(handle, lib.ResetHint, "SDL_ResetHint") &&
                    resolve(handle, lib.AudioInit, "SDL_AudioInit") &&
                    resolve(handle, lib.AudioQuit, "SDL_AudioQuit") &&
                    resolve(handle, lib.GetCurrentAudioDriver, "SDL_GetCurrentAudioDriver") &&
                    resolve(handle, lib.OpenAudioDevice, "SDL_OpenAudioDevice") &&
                    resolve(handle, lib.CloseAudioDevice, "SDL_CloseAudioDevice") &&
                    resolve(handle, lib.PauseAudioDevice, "SDL_PauseAudioDevice") &&
                    resolve(handle, lib.LockAudioDevice, "SDL_LockAudioDevice") &&
                    resolve(handle, lib.UnlockAudioDevice, "SDL_UnlockAudioDevice") &&
                    resolve(handle, lib.CreateThread, "SDL_CreateThread") &&
                    resolve(handle, lib.WaitThread, "SDL_WaitThread");
    if (!ok) {
        dlclose(handle);
        return nullptr;
    }
    library.store(&lib, std::memory_order_release);
    return &lib;
}

const SdlLibrary* SdlLibrary::loaded() {
    return library.load(std::memory_order_acquire);
}

const char* SdlLibrary::loadError() {
    std::lock_guard lock(loadMutex);
    return error.c_str();
}

} // namespace zr::media
