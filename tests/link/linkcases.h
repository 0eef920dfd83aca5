// The link library's end-to-end table. The same cases run against the Linux build on a
// pseudo-terminal and against the Windows build under Wine, each time with a virtual board on
// the other end. Plain C++ and the public header only, so that both compilers take it.
#pragma once

#include <sundial.h>

#include <functional>
#include <string>
#include <vector>

namespace linkcases {

// The library's five entries, however they were loaded.
struct Entries {
    int32_t (*init)(int32_t, const SundialChannel*) = nullptr;
    int32_t (*close)() = nullptr;
    int32_t (*readData)(int32_t, int32_t, uint8_t*, int32_t) = nullptr;
    int32_t (*writeData)(int32_t, int32_t, const uint8_t*, int32_t) = nullptr;
    int32_t (*getVer)() = nullptr;
};

// What a case needs of its surroundings.
class Bench {
public:
    virtual ~Bench() = default;
    // One control command to the virtual board; its reply line ("ok", "ok 0x55", "error: ...").
    virtual std::string control(const std::string& command) = 0;
    // Sets (or, with a null value, removes) an environment variable the library reads.
    virtual void setEnvironment(const char* name, const char* value) = 0;
    // The board's port number.
    virtual int boardPort() const = 0;
    // A port that opens and never answers, numbered below the board's.
    virtual int silentPort() const = 0;
    // Whether discarding the input also reaches bytes already on their way from the board (a
    // serial port's queue, a server that purges on request), rather than only those received
    // (raw TCP, where the guard against late bytes brings the link back within a few calls).
    virtual bool purgeReachesInFlightBytes() const { return true; }
};

class Context {
public:
    Context(const Entries& link, Bench& bench) : m_link(link), m_bench(bench) {}

    const Entries& link() const { return m_link; }
    Bench& bench() { return m_bench; }

    void expect(bool ok, const std::string& what);
    // A control command that must succeed; returns its reply.
    std::string control(const std::string& command);

    const std::vector<std::string>& failures() const { return m_failures; }

private:
    const Entries& m_link;
    Bench& m_bench;
    std::vector<std::string> m_failures;
};

struct Case {
    std::string name;
    std::function<void(Context&)> run;
};

// Every case starts from a board with its defaults and distinct codec values, no fault armed and
// no port open, and leaves no port open.
const std::vector<Case>& cases();

// Runs one case in a fresh context; the failures it found.
std::vector<std::string> run(const Case& test, const Entries& link, Bench& bench);

} // namespace linkcases
