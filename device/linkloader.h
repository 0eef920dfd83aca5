// Loading and binding the link library, behind an interface the tests replace; LinkLibrary is
// the real one.
#pragma once

#include "linkentries.h"

#include <string>

namespace larkspur {

class LinkLoader {
public:
    enum class Status { Loaded, CannotLoad, Invalid };
    virtual ~LinkLoader() = default;
    virtual Status load() = 0;
    virtual void unload() = 0;
    // Null while nothing is loaded.
    virtual const LinkEntries* entries() const = 0;
    // After a load that found no library: the file looked for and each place tried, a line
    // each, for the user to act on. Empty when there is nothing to tell.
    virtual std::string searchReport() const { return {}; }
};

} // namespace larkspur
