// Loading and binding the link library, behind an interface the tests replace; LinkLibrary is
// the real one.
#pragma once

#include "linkentries.h"

namespace larkspur {

class LinkLoader {
public:
    enum class Status { Loaded, CannotLoad, Invalid };
    virtual ~LinkLoader() = default;
    virtual Status load() = 0;
    virtual void unload() = 0;
    // Null while nothing is loaded.
    virtual const LinkEntries* entries() const = 0;
};

} // namespace larkspur
