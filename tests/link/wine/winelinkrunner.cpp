// The link table against the Windows build of the library. winelink_test runs this program
// under Wine with a virtual board on one COM port and a silent one on another; it loads
// Sundial.dll by name, as the program does. Board commands go out on stdout as
// "control <words>" and their reply lines come back on stdin; each case ends with a line
// "pass <name>" or "fail <name>: <what went wrong>", the run with "done".
#include "tests/link/linkcases.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

class PipeBench final : public linkcases::Bench {
public:
    PipeBench(int board, int silent, bool rawTcp)
        : m_board(board), m_silent(silent), m_rawTcp(rawTcp) {}

    std::string control(const std::string& command) override {
        return request("control " + command);
    }

    // The library reads its switches with getenv from the same C runtime; an empty value
    // removes the variable there.
    void setEnvironment(const char* name, const char* value) override {
        _putenv_s(name, value != nullptr ? value : "");
    }

    int boardPort() const override { return m_board; }
    int silentPort() const override { return m_silent; }
    bool purgeReachesInFlightBytes() const override { return !m_rawTcp; }

private:
    // One line out on stdout, its reply line back on stdin.
    static std::string request(const std::string& line) {
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
        char text[1024];
        if (std::fgets(text, sizeof text, stdin) == nullptr) {
            return "error: no reply on stdin";
        }
        std::string reply(text);
        while (!reply.empty() && (reply.back() == '\n' || reply.back() == '\r')) {
            reply.pop_back();
        }
        return reply;
    }

    int m_board;
    int m_silent;
    bool m_rawTcp;
};

template <typename Fn> Fn entry(HMODULE library, const char* name) {
    // Through a plain function pointer type: FARPROC to another signature is a deliberate cast.
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(library, name)));
}

} // namespace

int main(int argc, char** argv) {
    // raw-tcp: the ports are tcp:// URLs, whose purges reach only what has arrived.
    if (argc != 3 && !(argc == 4 && std::string(argv[3]) == "raw-tcp")) {
        std::fprintf(stderr, "usage: sundial_wine_runner BOARD_PORT SILENT_PORT [raw-tcp]\n");
        return 2;
    }
    HMODULE library = ::LoadLibraryA("Sundial.dll");
    if (library == nullptr) {
        std::printf("fail load: Sundial.dll did not load (error %lu)\ndone\n", ::GetLastError());
        return 1;
    }
    linkcases::Entries link;
    link.init = entry<decltype(link.init)>(library, "_init");
    link.close = entry<decltype(link.close)>(library, "_close");
    link.readData = entry<decltype(link.readData)>(library, "_readData");
    link.writeData = entry<decltype(link.writeData)>(library, "_writeData");
    link.getVer = entry<decltype(link.getVer)>(library, "_getVer");
    if (!link.init || !link.close || !link.readData || !link.writeData || !link.getVer) {
        std::printf("fail load: an entry is missing\ndone\n");
        return 1;
    }

    PipeBench bench(std::atoi(argv[1]), std::atoi(argv[2]), argc == 4);
    int failed = 0;
    for (const linkcases::Case& test : linkcases::cases()) {
        const std::vector<std::string> failures = linkcases::run(test, link, bench);
        if (failures.empty()) {
            std::printf("pass %s\n", test.name.c_str());
        } else {
            ++failed;
            std::string text;
            for (const std::string& failure : failures) {
                text += (text.empty() ? "" : "; ") + failure;
            }
            std::printf("fail %s: %s\n", test.name.c_str(), text.c_str());
        }
        std::fflush(stdout);
    }
    std::printf("done\n");
    std::fflush(stdout);
    ::FreeLibrary(library);
    return failed == 0 ? 0 : 1;
}
