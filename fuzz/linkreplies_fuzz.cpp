// Fuzz target for what the link takes from a board: a scripted port hands the link fuzz-chosen
// bytes in fuzz-chosen pieces while it searches, reads 1 to 255 registers, writes and brings the
// line back in step. Never crashes or touches memory outside the caller's buffers; every code is
// one the header names; a read that fails leaves its buffer as it was; no call waits longer
// than the header allows. The trace, when on, decodes every piece whatever it holds.
#include "link/boardlink.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

using namespace sundial;

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// The fuzzer's bytes, taken from the front: the calls to make and the board's answers.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    bool empty() const { return m_at >= m_size; }
    std::uint8_t byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    std::size_t take(std::span<std::uint8_t> out) {
        const std::size_t n = std::min(out.size(), m_size - std::min(m_at, m_size));
        std::copy_n(m_data + m_at, n, out.begin());
        m_at += n;
        return n;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

Input* g_input = nullptr;
long long g_now = 0;

long long fakeClock() {
    return g_now;
}

void fakeWait(std::span<BoardPort* const>, int waitMs) {
    g_now += waitMs;
}

// Each read call brings one piece: a length byte, then that many bytes (at most what was asked
// for; the rest of the piece stays for the next call). 0 is a call that times out, 0xFF a call
// that fails.
class FuzzedPort final : public BoardPort {
public:
    int read(std::span<std::uint8_t> buffer) override { return piece(buffer, kReadTimeoutMs); }
    int readSoon(std::span<std::uint8_t> buffer, int waitMs) override {
        return piece(buffer, waitMs);
    }
    bool write(std::span<const std::uint8_t> bytes) override {
        require(!bytes.empty() && bytes.size() <= Frame::kMaxSize);
        return (g_input->byte() & 0x3F) != 0x3F; // a send fails now and then
    }
    void purgeReceive() override { m_left.clear(); }
    void drainReceive(int quietMs, int limitMs) override {
        require(quietMs > 0 && limitMs >= quietMs);
        m_left.clear();
        g_now += quietMs;
    }
    int close() override { return 1; }
    WaitHandle waitHandle() const override { return {}; }

private:
    int piece(std::span<std::uint8_t> buffer, int waitMs) {
        if (buffer.empty()) {
            return 0;
        }
        if (m_left.empty()) {
            const std::uint8_t length = g_input->byte();
            if (length == 0xFF) {
                return -1;
            }
            m_left.resize(length);
            m_left.resize(g_input->take(m_left));
            if (m_left.empty()) {
                g_now += waitMs;
                return 0;
            }
        }
        const std::size_t n = std::min(buffer.size(), m_left.size());
        std::copy_n(m_left.begin(), n, buffer.begin());
        m_left.erase(m_left.begin(), m_left.begin() + static_cast<std::ptrdiff_t>(n));
        return static_cast<int>(n);
    }

    std::vector<std::uint8_t> m_left;
};

std::unique_ptr<BoardPort> openFuzzed(int) {
    return std::make_unique<FuzzedPort>();
}

// The longest a call may take (the header's figures): a probe first, two awaited pieces of
// three read waits each, a drain, the write time-outs of the request and two acknowledgements.
constexpr long long kLongestCallMs =
    kResyncLimitMs + 2 * AwaitedPiece::kLongestWaitMs + kDrainLimitMs + 3 * kWriteTimeoutMs;

constexpr Channel kTable[kChannels] = {{1, 76}, {}, {}, {}, {}, {}, {}, {3, 0}};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input input(data, size);
    g_input = &input;
    g_now = 0;
    const std::uint8_t setup = input.byte();
    if ((setup & 0x01) != 0) {
        ::setenv("SUNDIAL_LENIENT_REPLIES", "1", 1);
    } else {
        ::unsetenv("SUNDIAL_LENIENT_REPLIES");
    }
    // The trace decodes every piece the board sends, whatever it is.
    if ((setup & 0x04) != 0) {
        ::setenv("SUNDIAL_TRACE", "/dev/null", 1);
    } else {
        ::unsetenv("SUNDIAL_TRACE");
    }
    BoardLink link(&openFuzzed, &fakeClock, &fakeWait);
    Channel table[kChannels];
    std::copy(std::begin(kTable), std::end(kTable), table);
    if ((setup & 0x02) != 0) {
        table[0] = {3, 0};
    }
    if (link.init(1, table) != 1) {
        link.close();
        return 0;
    }
    for (int calls = 0; calls < 64 && !input.empty(); ++calls) {
        const std::uint8_t what = input.byte();
        const int channel = (what & 0x01) != 0 ? 7 : 0;
        const int reg = input.byte();
        const long long before = g_now;
        int code = 0;
        if ((what & 0x02) != 0) {
            const int count = 1 + input.byte(); // 1 to 256; 256 is refused
            std::vector<std::uint8_t> values(static_cast<std::size_t>(count), 0xA5);
            code = link.readData(channel, reg, values.data(), count);
            require(code >= 0 && code <= 5);
            require(count <= kMaxReadCount || code == 1);
            if (code != 0) {
                require(std::all_of(values.begin(), values.end(),
                                    [](std::uint8_t v) { return v == 0xA5; }));
            }
        } else {
            const int count = 1 + (input.byte() % 8) + ((what & 0x04) != 0 ? 243 : 0);
            const std::vector<std::uint8_t> values(static_cast<std::size_t>(count), 0x5A);
            code = link.writeData(channel, reg, values.data(), count);
            require(code >= 0 && code <= 4);
        }
        require(g_now - before <= kLongestCallMs);
    }
    link.close();
    return 0;
}
