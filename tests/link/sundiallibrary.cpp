#include "sundiallibrary.h"

#include <dlfcn.h>
#include <stdexcept>

namespace testsupport {

namespace {

template <typename Fn> Fn entry(void* handle, const char* name) {
    void* symbol = ::dlsym(handle, name);
    if (symbol == nullptr) {
        throw std::runtime_error(std::string("missing entry ") + name);
    }
    return reinterpret_cast<Fn>(symbol);
}

} // namespace

std::string SundialLibrary::path() {
    return SUNDIAL_LIBRARY_PATH;
}

SundialLibrary::SundialLibrary() {
    m_handle = ::dlopen(SUNDIAL_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    if (m_handle == nullptr) {
        throw std::runtime_error(std::string("cannot load: ") + ::dlerror());
    }
    init = entry<InitFn>(m_handle, "_init");
    close = entry<CloseFn>(m_handle, "_close");
    readData = entry<ReadFn>(m_handle, "_readData");
    writeData = entry<WriteFn>(m_handle, "_writeData");
    getVer = entry<VersionFn>(m_handle, "_getVer");
}

SundialLibrary::~SundialLibrary() {
    close();
    ::dlclose(m_handle);
}

} // namespace testsupport
