#pragma once

#include <poll.h>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace virtualevm {

// What the control socket serves: an answer to each command line, and whether the board has
// nothing left to send, which "idle" waits for.
class ControlTarget {
public:
    virtual ~ControlTarget() = default;
    // One line without its line end; returns "ok[ data]" or "error: reason".
    virtual std::string command(std::string_view line) = 0;
    virtual bool idle() const = 0;
};

// The Unix stream socket taking one command per line, one reply line each. "idle" is answered
// here: its "ok" waits until the target is idle, and the client's later lines wait behind it.
class ControlServer {
public:
    // A client whose unfinished line grows beyond this is told so and dropped.
    static constexpr size_t kMaxCommandLine = 4096;

    // path: the socket file; empty for none.
    explicit ControlServer(std::string path);
    ~ControlServer(); // closes the clients and removes the socket file
    ControlServer(const ControlServer&) = delete;
    ControlServer& operator=(const ControlServer&) = delete;

    // Binds and listens; a socket file left by a killed run is taken over, a live one is not.
    // Throws std::runtime_error.
    void open();

    // Appends the listening socket and the clients to poll. A client waiting on "idle" is not
    // read from: its next lines must wait anyway.
    void addPollFds(std::vector<pollfd>& fds) const;
    // Some client's "idle" is not answered yet.
    bool waitsForIdle() const;
    // Reads and answers the clients, then accepts newcomers; `polled` is what addPollFds added,
    // with its results. Call it once the board's output has gone to the pty: an "idle" answered
    // here says the bytes are on the line.
    void serve(std::span<const pollfd> polled, ControlTarget& target);

private:
    struct Client {
        int fd = -1;
        std::string input;
        bool waitingIdle = false; // "idle" not answered yet; later lines wait in `input`
    };

    void acceptClients();
    static bool readClient(Client& client);                           // false: drop the client
    static bool serviceClient(Client& client, ControlTarget& target); // false: drop the client
    static bool reply(Client& client, const std::string& line);       // false: drop the client

    std::string m_path;
    int m_listen = -1;
    bool m_socketMade = false;
    std::vector<Client> m_clients;
};

} // namespace virtualevm
