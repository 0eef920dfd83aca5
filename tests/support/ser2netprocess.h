// ser2net as a child process serving devices (the virtual board's pseudo-terminals) on TCP ports
// of 127.0.0.1, for tests and benchmarks of the link through a network serial server.
#pragma once

#include <cstddef>
#include <string>
#include <sys/types.h>
#include <vector>

namespace testsupport {

class Ser2netProcess {
public:
    // The kind of accepter a device is served on.
    enum class Kind {
        Raw,     // the port's bytes as they are: "tcp://"
        Rfc2217, // telnet with the serial port option: "rfc2217://"
    };
    struct Served {
        std::string device;
        Kind kind = Kind::Raw;
    };
    struct Options {
        // chardelay: false, the configuration the README gives; false leaves ser2net's default,
        // which holds back what the board sends for a character time or more.
        bool noCharDelay = true;
    };

    // Writes the configuration into a fresh private directory under /tmp, picks free ports of
    // 127.0.0.1, starts ser2net (SER2NET_PATH) and waits (at most 10 s) until each port listens in
    // ser2net and takes a connection. Ports another program took meanwhile are picked again.
    // Throws std::runtime_error on failure, with what ser2net printed.
    explicit Ser2netProcess(std::vector<Served> served);
    Ser2netProcess(std::vector<Served> served, Options options);
    ~Ser2netProcess(); // stop(), remove the directory
    Ser2netProcess(const Ser2netProcess&) = delete;
    Ser2netProcess& operator=(const Ser2netProcess&) = delete;

    std::size_t size() const { return m_served.size(); }
    int port(std::size_t i) const { return m_ports.at(i); }
    // "tcp://127.0.0.1:N" or "rfc2217://127.0.0.1:N"
    std::string url(std::size_t i) const;
    pid_t pid() const { return m_pid; }
    const std::string& configPath() const { return m_configPath; }
    // Everything ser2net wrote to its standard output and error so far.
    std::string output() const;

    // SIGTERM, then SIGKILL when it has not gone within a bound; waits for it. Idempotent.
    void stop();
    // SIGSTOP / SIGCONT; each returns once the change has taken effect. A stopped ser2net still
    // has its ports, so the kernel completes connections, but nothing moves.
    void pause();
    void resume();
    // stop(), then start again on the same ports and wait as the constructor does.
    void restart();
    // Returns once ser2net holds none of its devices open. A client that closes right after
    // sending is let go only once ser2net has passed those bytes on; one that connects sooner
    // is turned away ("Port already in use", or "Port's device already in use" on another
    // accepter of the same device). Throws when that takes more than 10 s.
    void waitUntilDevicesClosed() const;

private:
    // Starts ser2net on m_ports and waits for it; false when one of them was taken by another
    // program (ser2net then stopped again). Throws on any other failure.
    bool start();
    bool waitUntilServing();
    void writeConfig() const;
    void cleanUp();

    std::vector<Served> m_served;
    Options m_options;
    std::vector<int> m_ports;
    std::string m_dir;
    std::string m_configPath;
    std::string m_outputPath;
    pid_t m_pid = -1;
    bool m_paused = false;
};

} // namespace testsupport
