#include "linklibrary.h"

#include <dlfcn.h>
#include <filesystem>
#include <system_error>

namespace larkspur {

namespace {

std::string executableFolder() {
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : self.parent_path().string();
}

template <typename Fn> Fn lookUp(void* handle, const char* name) {
    return reinterpret_cast<Fn>(::dlsym(handle, name));
}

} // namespace

LinkLibrary::LinkLibrary(std::string programFolder) : m_programFolder(std::move(programFolder)) {}

LinkLibrary::~LinkLibrary() {
    unload();
}

const char* LinkLibrary::fileName() {
    return "libSundial.so";
}

LinkLoader::Status LinkLibrary::load() {
    unload();
    // dlopen() with a bare name would not see this program's folder: look there explicitly.
    const std::string folder = m_programFolder.empty() ? executableFolder() : m_programFolder;
    if (!folder.empty()) {
        const std::string beside = (std::filesystem::path(folder) / fileName()).string();
        m_handle = ::dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    if (m_handle == nullptr) {
        m_handle = ::dlopen(fileName(), RTLD_NOW | RTLD_LOCAL);
    }
    if (m_handle == nullptr) {
        return Status::CannotLoad;
    }
    using InitFn = int32_t (*)(int32_t, const SundialChannel*);
    using CloseFn = int32_t (*)();
    using ReadFn = int32_t (*)(int32_t, int32_t, uint8_t*, int32_t);
    using WriteFn = int32_t (*)(int32_t, int32_t, const uint8_t*, int32_t);
    using VersionFn = int32_t (*)();
    const auto init = lookUp<InitFn>(m_handle, "_init");
    const auto close = lookUp<CloseFn>(m_handle, "_close");
    const auto readData = lookUp<ReadFn>(m_handle, "_readData");
    const auto writeData = lookUp<WriteFn>(m_handle, "_writeData");
    const auto getVer = lookUp<VersionFn>(m_handle, "_getVer");
    if (!init || !close || !readData || !writeData || !getVer) {
        unload();
        return Status::Invalid;
    }
    m_entries = {init, close, readData, writeData, getVer};
    return Status::Loaded;
}

void LinkLibrary::unload() {
    m_entries = {};
    if (m_handle != nullptr) {
        ::dlclose(m_handle);
        m_handle = nullptr;
    }
}

} // namespace larkspur
