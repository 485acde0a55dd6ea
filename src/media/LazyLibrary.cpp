#include "LazyLibrary.h"

#include <dlfcn.h>

namespace zr::media {

std::string LazyLibrary::error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

bool LazyLibrary::load() {
    handle_ = dlopen(soname_, RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* why = dlerror();
        error_ = why ? why : soname_;
    }
    return handle_ != nullptr;
}

void LazyLibrary::unload() {
    if (handle_)
        dlclose(handle_);
    handle_ = nullptr;
}

void* LazyLibrary::symbol(const char* name) {
    void* address = dlsym(handle_, name);
    if (!address)
        error_ = std::string(soname_) + " has no " + name;
    return address;
}

} // namespace zr::media
