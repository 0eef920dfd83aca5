// The built link library for the benchmarks, loaded by path and bound by name the way the
// program binds it. A missing library or entry ends the benchmark.
#pragma once

#include <sundial.h>

#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>

struct LoadedLink {
    void* handle = nullptr;
    int32_t (*init)(int32_t, const SundialChannel*) = nullptr;
    int32_t (*close)() = nullptr;
    int32_t (*readData)(int32_t, int32_t, uint8_t*, int32_t) = nullptr;
    int32_t (*writeData)(int32_t, int32_t, const uint8_t*, int32_t) = nullptr;
};

template <typename Fn> void bindEntry(void* handle, const char* name, Fn& fn) {
    void* symbol = ::dlsym(handle, name);
    if (symbol == nullptr) {
        std::fprintf(stderr, "missing entry %s\n", name);
        std::exit(1);
    }
    fn = reinterpret_cast<Fn>(symbol);
}

inline LoadedLink loadLink(const char* path) {
    LoadedLink link;
    link.handle = ::dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (link.handle == nullptr) {
        std::fprintf(stderr, "cannot load %s: %s\n", path, ::dlerror());
        std::exit(1);
    }
    bindEntry(link.handle, "_init", link.init);
    bindEntry(link.handle, "_close", link.close);
    bindEntry(link.handle, "_readData", link.readData);
    bindEntry(link.handle, "_writeData", link.writeData);
    return link;
}
