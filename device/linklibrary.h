// Loading the link library at run time and binding its five entries by name.
#pragma once

#include "linkentries.h"
#include "linkloader.h"

#include <string>

namespace larkspur {

class LinkLibrary final : public LinkLoader {
public:
    // `programFolder` is where the program lies; empty means the running executable's folder.
    // `prefixLibraryFolder` leads from there to the installation's library folder: a module
    // installed elsewhere in the prefix than bin/ (the Python package) names its own way.
    // `buildLibraryFolder`, when given, leads from there to the build tree's library, for a
    // module that lies in the build tree elsewhere than beside it; it is looked in right after
    // the program's folder, so that a build uses its own library before an installed one.
    explicit LinkLibrary(std::string programFolder = {},
                         std::string prefixLibraryFolder = installedLibraryFolder(),
                         std::string buildLibraryFolder = {});
    ~LinkLibrary() override; // unloads; the caller closes the link first
    LinkLibrary(const LinkLibrary&) = delete;
    LinkLibrary& operator=(const LinkLibrary&) = delete;

    // The library beside the program first (and in the build tree's library folder, when
    // given), then by bare name through the loader's search path, as the platform's own order
    // does it on Windows; then, for an installation under a prefix the loader does not search,
    // the library folder of that prefix. On Invalid (an entry missing) the library has been
    // unloaded again.
    Status load() override;
    void unload() override;

    bool isLoaded() const { return m_handle != nullptr; }
    const LinkEntries* entries() const override { return isLoaded() ? &m_entries : nullptr; }
    // The file name to look for: "libSundial.so" here, "Sundial.dll" on Windows.
    static const char* fileName();
    // The shared object's own name, libSundial.so.1: all an installation without the
    // development package has.
    static const char* versionedFileName();
    // The library folder of an installation, from the program's folder: "../lib/<multiarch>".
    static const char* installedLibraryFolder();
    // Where the loaded library was found (as given to the loader); empty when none is loaded.
    const std::string& loadedFrom() const { return m_loadedFrom; }
    // After CannotLoad: "Sundial's library was looked for as:", then a line per place tried,
    // each with what the loader said ("/opt/x/bin/libSundial.so: not there").
    std::string searchReport() const override { return m_searchReport; }

private:
    std::string m_programFolder;
    std::string m_prefixLibraryFolder;
    std::string m_buildLibraryFolder;
    void* m_handle = nullptr;
    std::string m_loadedFrom;
    std::string m_searchReport;
    LinkEntries m_entries;
};

} // namespace larkspur
