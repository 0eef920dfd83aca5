// The built link library, loaded the way the program loads it: by path, entries by name.
#pragma once

#include <sundial.h>

#include <string>

namespace testsupport {

class SundialLibrary {
public:
    using InitFn = int32_t (*)(int32_t, const SundialChannel*);
    using CloseFn = int32_t (*)();
    using ReadFn = int32_t (*)(int32_t, int32_t, uint8_t*, int32_t);
    using WriteFn = int32_t (*)(int32_t, int32_t, const uint8_t*, int32_t);
    using VersionFn = int32_t (*)();

    // Loads SUNDIAL_LIBRARY_PATH; throws std::runtime_error when it or an entry is missing.
    SundialLibrary();
    ~SundialLibrary(); // closes any port left open, then unloads
    SundialLibrary(const SundialLibrary&) = delete;
    SundialLibrary& operator=(const SundialLibrary&) = delete;

    void* handle() const { return m_handle; }
    static std::string path();

    InitFn init = nullptr;
    CloseFn close = nullptr;
    ReadFn readData = nullptr;
    WriteFn writeData = nullptr;
    VersionFn getVer = nullptr;

private:
    void* m_handle = nullptr;
};

} // namespace testsupport
