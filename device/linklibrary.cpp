#include "linklibrary.h"

#include <dlfcn.h>
#include <filesystem>
#include <system_error>
#include <vector>

namespace larkspur {

namespace {

#ifdef LARKSPUR_LIBRARY_FOLDER_FROM_PROGRAM
constexpr const char* kLibraryFolderFromProgram = LARKSPUR_LIBRARY_FOLDER_FROM_PROGRAM;
#else
constexpr const char* kLibraryFolderFromProgram = "../lib";
#endif

std::string executableFolder() {
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : self.parent_path().string();
}

template <typename Fn> Fn lookUp(void* handle, const char* name) {
    return reinterpret_cast<Fn>(::dlsym(handle, name));
}

// One place tried, with what the loader said of it: a missing file in few words, anything else
// (a file of another architecture, a library it needs) as the loader put it.
std::string triedLine(const std::string& candidate, const char* error) {
    const std::string said = error != nullptr ? error : "not loaded";
    const bool missing = said.find("No such file or directory") != std::string::npos;
    if (candidate.find('/') == std::string::npos) {
        return candidate +
               " through the loader's search path (LD_LIBRARY_PATH, the system's "
               "library folders): " +
               (missing ? std::string("not found") : said);
    }
    if (missing) {
        return candidate + ": not there";
    }
    // The loader names the file first: "/x/libSundial.so: wrong ELF class: ELFCLASS32".
    const std::string lead = candidate + ": ";
    return lead + (said.rfind(lead, 0) == 0 ? said.substr(lead.size()) : said);
}

} // namespace

LinkLibrary::LinkLibrary(std::string programFolder, std::string prefixLibraryFolder,
                         std::string buildLibraryFolder)
    : m_programFolder(std::move(programFolder)),
      m_prefixLibraryFolder(std::move(prefixLibraryFolder)),
      m_buildLibraryFolder(std::move(buildLibraryFolder)) {}

LinkLibrary::~LinkLibrary() {
    unload();
}

const char* LinkLibrary::fileName() {
    return "libSundial.so";
}

const char* LinkLibrary::installedLibraryFolder() {
    return kLibraryFolderFromProgram;
}

const char* LinkLibrary::versionedFileName() {
    return "libSundial.so." SUNDIAL_SOVERSION_TEXT;
}

LinkLoader::Status LinkLibrary::load() {
    unload();
    // dlopen() with a bare name would not see this program's folder: look there explicitly.
    const std::string folder = m_programFolder.empty() ? executableFolder() : m_programFolder;
    std::vector<std::string> candidates;
    if (!folder.empty()) {
        candidates.push_back((std::filesystem::path(folder) / fileName()).string());
        if (!m_buildLibraryFolder.empty()) {
            candidates.push_back((std::filesystem::path(folder) / m_buildLibraryFolder / fileName())
                                     .lexically_normal()
                                     .string());
        }
    }
    // The loader's search: the development link, then the shared object's own name, which is
    // all a system without the development package has.
    candidates.push_back(fileName());
    candidates.push_back(versionedFileName());
    // Installed under a prefix the loader does not search (~/.local): the library folder beside
    // the program's.
    if (!folder.empty()) {
        candidates.push_back(
            (std::filesystem::path(folder) / m_prefixLibraryFolder / versionedFileName())
                .lexically_normal()
                .string());
    }
    std::string tried;
    for (const std::string& candidate : candidates) {
        m_handle = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (m_handle != nullptr) {
            m_loadedFrom = candidate;
            break;
        }
        tried += '\n' + triedLine(candidate, ::dlerror());
    }
    if (m_handle == nullptr) {
        m_searchReport = "Sundial's library was looked for as:" + tried;
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
    m_loadedFrom.clear();
    m_searchReport.clear();
    if (m_handle != nullptr) {
        ::dlclose(m_handle);
        m_handle = nullptr;
    }
}

} // namespace larkspur
