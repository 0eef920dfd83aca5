// Waiting, behind an interface the tests replace: the sequences and scripts pause through it.
#pragma once

namespace larkspur {

class Sleeper {
public:
    virtual ~Sleeper() = default;
    virtual void sleepMs(int milliseconds) = 0;
};

// Sleeps the calling thread: what the program, the command line and the Python module wait with.
class ThreadSleeper final : public Sleeper {
public:
    void sleepMs(int milliseconds) override;
};

} // namespace larkspur
