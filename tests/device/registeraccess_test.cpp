#include "device/registeraccess.h"
#include "tests/support/fakes.h"
#include "tests/support/scratchsettings.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <functional>
#include <unistd.h>
#include <utility>
#include <variant>

using namespace larkspur;
using namespace testsupport;

namespace {

class RegisterAccessTest : public ::testing::Test {
protected:
    RegisterAccessTest() {
        m_access.setLink(&m_link.entries);
        m_access.setWriteMasks();
        m_access.LoadDefaultRegisters();
    }

    // Linked on port 3, writes sent, history on.
    void goLive() {
        m_access.setLinkPort(3);
        m_access.setWriteSuppressed(false);
        m_access.setHistoryEnabled(true);
    }

    RecordingDialogs m_dialogs;
    RecordingMap m_map;
    RecordingHistory m_history;
    FakeLink m_link;
    RegisterAccess m_access{m_dialogs, m_map, m_history};
};

TEST_F(RegisterAccessTest, StartsAsTheWindowIsCreated) {
    RegisterAccess fresh(m_dialogs, m_map, m_history);
    EXPECT_EQ(fresh.linkPort(), 0);
    EXPECT_TRUE(fresh.writeSuppressed());
    EXPECT_FALSE(fresh.historyEnabled());
    EXPECT_FALSE(fresh.errorLatch());
    EXPECT_EQ(fresh.DeviceAddress(), 76);
    EXPECT_EQ(fresh.DeviceBits(), 0);
    for (int reg = 0x10; reg <= 0x19; ++reg) {
        EXPECT_EQ(fresh.shadowRegister(reg), 0) << reg;
    }
    EXPECT_EQ(fresh.channels()[7].type, 3);
    EXPECT_EQ(fresh.channels()[0].type, 0);
}

TEST_F(RegisterAccessTest, WithoutLinkNothingHappens) {
    m_access.setWriteSuppressed(false);
    m_access.setHistoryEnabled(true);
    m_access.WriteRegister(0x16, 0x80);
    m_access.WriteBoardRegister(0x37, 1);
    m_link.readValue = 0x77;
    EXPECT_EQ(m_access.ReadRegister(0x16), 0);
    EXPECT_TRUE(m_link.calls.empty());
    EXPECT_EQ(m_access.shadowRegister(0x16), 0x00);
    EXPECT_TRUE(m_map.rows.empty());
    EXPECT_TRUE(m_history.lines.empty());
}

struct WriteCase {
    const char* name;
    int spiDevice; // -1: I2C
    std::uint32_t address;
    std::int32_t value;
    int shadowReg; // 0: no shadow change
    int shadowValue;
    int mapRow; // -1: no map update
    int mapValue;
    const char* history;
};

class RegisterWrites : public RegisterAccessTest,
                       public ::testing::WithParamInterface<WriteCase> {};

TEST_P(RegisterWrites, SendStoreShowAndLog) {
    const WriteCase& c = GetParam();
    SettingsFile settings(testsupport::scratchSettingsPath());
    if (c.spiDevice >= 0) {
        m_access.addressChanged(c.spiDevice, kInterfaceSpi, settings);
    }
    goLive();
    const auto before = [this] {
        std::vector<int> values;
        for (int reg = 0x10; reg <= 0x19; ++reg) {
            values.push_back(m_access.shadowRegister(reg));
        }
        return values;
    }();

    m_access.WriteRegister(c.address, c.value);

    ASSERT_EQ(m_link.calls.size(), 1u);
    EXPECT_EQ(m_link.calls[0].entry, "write");
    EXPECT_EQ(m_link.calls[0].channel, 0);
    EXPECT_EQ(m_link.calls[0].reg, static_cast<int>(c.address));
    EXPECT_EQ(m_link.calls[0].value, c.value & 0xFF);
    EXPECT_EQ(m_link.calls[0].count, 1);
    for (int reg = 0x10; reg <= 0x19; ++reg) {
        const int expected =
            reg == c.shadowReg ? c.shadowValue : before[static_cast<std::size_t>(reg - 0x10)];
        EXPECT_EQ(m_access.shadowRegister(reg), expected) << "register " << reg;
    }
    if (c.mapRow < 0) {
        EXPECT_TRUE(m_map.rows.empty());
    } else {
        EXPECT_EQ(m_map.rows, (std::vector<std::pair<int, int>>{{c.mapRow, c.mapValue}}));
    }
    EXPECT_EQ(m_history.lines, std::vector<std::string>{c.history});
}

INSTANTIATE_TEST_SUITE_P(
    Registers, RegisterWrites,
    ::testing::Values(
        WriteCase{"plain", -1, 0x16, 0x80, 0x16, 0x80, 6, 0x80, "0x16, 0x80"},
        WriteCase{"commandBitsAlwaysSet", -1, 0x10, 0x05, 0x10, 0xC5, 0, 0xC5, "0x10, 0x05"},
        WriteCase{"register10ShowsBitsSevenAndSix", -1, 0x10, 0x01, 0x10, 0xC1, 0, 0xC1,
                  "0x10, 0x01"},
        WriteCase{"flagsStayZeroButShow", -1, 0x15, 0x33, 0x15, 0x00, 5, 0x33, "0x15, 0x33"},
        WriteCase{"i2cAlias30IsRegister10", -1, 0x30, 0x02, 0x10, 0xC2, 0, 0xC2, "0x30, 0x02"},
        WriteCase{"i2cAlias50IsRegister10", -1, 0x50, 0x00, 0x10, 0xC0, 0, 0xC0, "0x50, 0x00"},
        WriteCase{"beyondTheCodec", -1, 0x1A, 0x11, 0, 0, -1, 0, "0x1A, 0x11"},
        WriteCase{"belowTheCodec", -1, 0x05, 0x11, 0, 0, -1, 0, "0x05, 0x11"},
        WriteCase{"otherDeviceInI2c", -1, 0x36, 0x11, 0, 0, -1, 0, "0x36, 0x11"},
        WriteCase{"spiDevice2", 2, 0x56, 0x80, 0x16, 0x80, 6, 0x80, "0x56, 0x80"},
        WriteCase{"spiDevice2WithoutItsBits", 2, 0x16, 0x80, 0, 0, -1, 0, "0x16, 0x80"},
        WriteCase{"spiDevice3LastRegister", 3, 0x79, 0x12, 0x19, 0x12, 9, 0x12, "0x79, 0x12"},
        WriteCase{"spiRegister10AnyDevice", 2, 0x10, 0x3F, 0x10, 0xFF, 0, 0xFF, "0x10, 0x3F"},
        WriteCase{"wideValueLogsWhole", -1, 0x11, 0x1FF, 0x11, 0xFF, 1, 0xFF, "0x11, 0x1FF"},
        WriteCase{"negativeValueLogsItsPattern", -1, 0x11, -1, 0x11, 0xFF, 1, 0xFF,
                  "0x11, 0xFFFFFFFF"},
        WriteCase{"bigAddressLogsWhole", -1, 0x123, 0x01, 0, 0, -1, 0, "0x123, 0x01"}),
    [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

TEST_F(RegisterAccessTest, SuppressedWritesStoreShowAndLogButSendNothing) {
    goLive();
    m_access.setWriteSuppressed(true);
    m_access.WriteRegister(0x13, 0x02);
    m_access.WriteBoardRegister(0x37, 1);
    EXPECT_TRUE(m_link.calls.empty());
    EXPECT_EQ(m_access.shadowRegister(0x13), 0x02);
    EXPECT_EQ(m_map.rows.size(), 1u);
    EXPECT_EQ(m_history.lines, std::vector<std::string>{"0x13, 0x02"});
}

TEST_F(RegisterAccessTest, HistoryOnlyWhileItsFlagIsSet) {
    goLive();
    m_access.setHistoryEnabled(false);
    m_access.WriteRegister(0x13, 0x02);
    EXPECT_TRUE(m_history.lines.empty());
    EXPECT_EQ(m_access.shadowRegister(0x13), 0x02);
}

TEST_F(RegisterAccessTest, OneCodecErrorIsShownUntilTheLatchIsCleared) {
    goLive();
    m_link.writeResult = 3;
    m_access.WriteRegister(0x13, 0x01);
    m_access.WriteRegister(0x13, 0x02);
    EXPECT_EQ(m_dialogs.messages, std::vector<std::string>{"Communication error: WRERR0003"});
    EXPECT_TRUE(m_access.errorLatch());
    // The failure changes nothing else.
    EXPECT_EQ(m_access.shadowRegister(0x13), 0x02);
    EXPECT_EQ(m_history.lines.size(), 2u);

    m_link.readResult = 4;
    m_link.readValue = 0x5A;
    EXPECT_EQ(m_access.ReadRegister(0x16), 0x00)
        << "a failed read passes for no value of the link's";
    EXPECT_FALSE(m_access.readCodecRegister(0x16).has_value());
    EXPECT_EQ(m_dialogs.messages.size(), 1u);

    m_access.setErrorLatch(false);
    EXPECT_EQ(m_access.ReadRegister(0x16), 0x00);
    ASSERT_EQ(m_dialogs.messages.size(), 2u);
    EXPECT_EQ(m_dialogs.messages[1],
              "Communication error: RDERR0004\nPlease check interface setting.");
}

TEST_F(RegisterAccessTest, EveryBoardErrorIsShown) {
    goLive();
    m_link.writeResult = 2;
    m_access.setErrorLatch(true);
    m_access.WriteBoardRegister(0x37, 1);
    m_access.WriteBoardRegister(53, 1);
    EXPECT_EQ(m_dialogs.messages, (std::vector<std::string>{"Communication error: SPERR0002",
                                                            "Communication error: SPERR0002"}));
    EXPECT_TRUE(m_access.errorLatch());
    m_access.setErrorLatch(false);
    m_access.WriteBoardRegister(0, 0);
    EXPECT_FALSE(m_access.errorLatch()) << "board errors neither consult nor set the latch";
    ASSERT_EQ(m_link.calls.size(), 3u);
    EXPECT_EQ(m_link.calls[0].channel, 7);
    EXPECT_EQ(m_link.calls[0].reg, 0x37);
    EXPECT_EQ(m_link.calls[1].reg, 53);
    EXPECT_TRUE(m_map.rows.empty());
    EXPECT_TRUE(m_history.lines.empty());
}

// The transactions as values: each says how it ended, and shows nothing; the window's
// operations show the same failure in the program's words.
// A failure points into its outcome: asking a temporary outcome for it would leave the pointer
// dangling once the statement ends, so that does not compile.
template <typename Outcome>
concept FailureOfTemporary = requires {
    std::declval<Outcome>().failure();
};
static_assert(!FailureOfTemporary<WriteOutcome> && !FailureOfTemporary<ReadOutcome>);
static_assert(requires(const WriteOutcome& kept) { kept.failure(); });

TEST_F(RegisterAccessTest, TransactionsGiveTheirOutcomeAsAValue) {
    using Step = LinkFailure::Step;
    struct Case {
        const char* name;
        int port;
        int result; // the library's code for the call
        std::function<std::variant<WriteOutcome, ReadOutcome>(RegisterAccess&)> call;
        std::optional<LinkFailure> failure;
        bool noLink;
        const char* shown; // by the window's operation, or empty
    };
    const auto write = [](RegisterAccess& a) -> std::variant<WriteOutcome, ReadOutcome> {
        return a.writeCodec(0x16, 0x80);
    };
    const auto read = [](RegisterAccess& a) -> std::variant<WriteOutcome, ReadOutcome> {
        return a.readCodec(0x12);
    };
    const auto board = [](RegisterAccess& a) -> std::variant<WriteOutcome, ReadOutcome> {
        return a.writeBoard(0x37, 1);
    };
    const Case cases[] = {
        {"write done", 3, 0, write, std::nullopt, false, ""},
        {"write failed", 3, 2, write, LinkFailure{Step::CodecWrite, 2, 0x16}, false,
         "Communication error: WRERR0002"},
        {"write without link", 0, 0, write, std::nullopt, true, ""},
        {"read done", 3, 0, read, std::nullopt, false, ""},
        {"read failed", 3, 4, read, LinkFailure{Step::CodecRead, 4, 0x12}, false,
         "Communication error: RDERR0004\nPlease check interface setting."},
        {"read without link", 0, 0, read, std::nullopt, true, ""},
        {"board write failed", 3, 3, board, LinkFailure{Step::BoardWrite, 3, 0x37}, false,
         "Communication error: SPERR0003"},
        {"board write done", 3, 0, board, std::nullopt, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RegisterAccess access(m_dialogs, m_map, m_history);
        access.setLink(&m_link.entries);
        access.setLinkPort(c.port);
        access.setWriteSuppressed(false);
        m_link.readValue = 0x5A;
        m_link.readResult = m_link.writeResult = c.result;
        m_dialogs.messages.clear();
        const auto outcome = c.call(access);
        const LinkFailure* failure = std::visit([](const auto& o) { return o.failure(); }, outcome);
        EXPECT_EQ(failure != nullptr, c.failure.has_value());
        if (failure != nullptr && c.failure) {
            EXPECT_EQ(*failure, *c.failure);
            EXPECT_EQ(failureText(*failure), c.shown);
            access.report(*failure);
            EXPECT_EQ(m_dialogs.messages, std::vector<std::string>{c.shown});
        } else {
            EXPECT_TRUE(m_dialogs.messages.empty());
        }
        EXPECT_EQ(std::visit([](const auto& o) { return o.noLink(); }, outcome), c.noLink);
        if (const auto* value = std::get_if<ReadOutcome>(&outcome); value && value->done()) {
            EXPECT_EQ(value->value(), 0x5A);
        }
    }
}

TEST_F(RegisterAccessTest, ReadsGoOutEvenWhileWritesAreSuppressed) {
    goLive();
    m_access.setWriteSuppressed(true);
    m_link.readValue = 0x42;
    EXPECT_EQ(m_access.ReadRegister(0x55), 0x42);
    ASSERT_EQ(m_link.calls.size(), 1u);
    EXPECT_EQ(m_link.calls[0].entry, "read");
    EXPECT_EQ(m_link.calls[0].channel, 0);
    EXPECT_EQ(m_link.calls[0].reg, 0x55);
    EXPECT_EQ(m_link.calls[0].count, 1);
    EXPECT_EQ(m_access.shadowRegister(0x15), 0) << "reads never touch the shadow";
    EXPECT_TRUE(m_history.lines.empty());
}

TEST_F(RegisterAccessTest, DefaultsAndMasks) {
    const int defaults[] = {0xC0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    const int masks[] = {0x3F, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0xFF, 0xFF, 0xFF, 0xFF};
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(m_access.shadowRegister(0x10 + i), defaults[i]) << i;
        EXPECT_EQ(m_access.writeMask(0x10 + i), masks[i]) << i;
    }
}

TEST_F(RegisterAccessTest, InterfaceTypeFillsTheCodecChannel) {
    SettingsFile settings(testsupport::scratchSettingsPath());
    m_access.addressChanged(2, kInterfaceI2c, settings);
    m_access.SetInterfaceType(0);
    EXPECT_EQ(m_access.channels()[0].type, 1);
    EXPECT_EQ(m_access.channels()[0].address, 78);
    for (int index : {1, 2, -1}) {
        m_access.SetInterfaceType(index);
        EXPECT_EQ(m_access.channels()[0].type, 3) << index;
        EXPECT_EQ(m_access.channels()[0].address, 0) << index;
    }
    EXPECT_EQ(m_access.channels()[7].type, 3);
}

class SettingsTest : public RegisterAccessTest {
protected:
    void SetUp() override {
        char dir[] = "/tmp/larkspur-ini.XXXXXX";
        ASSERT_NE(::mkdtemp(dir), nullptr);
        m_dir = dir;
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }
    std::filesystem::path file() const { return m_dir / "Larkspur.ini"; }
    std::string contents() const {
        std::ifstream in(file(), std::ios::binary);
        std::ostringstream all;
        all << in.rdbuf();
        return all.str();
    }
    std::filesystem::path m_dir;
};

struct LoadCase {
    const char* name;
    const char* file; // null: no file
    int interfaceIndex;
    int addressIndex;
    int deviceAddress;
    int deviceBits;
    SundialChannel codec;
    bool corrupted;
};

class SettingsLoad : public SettingsTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(SettingsLoad, SelectsInterfaceAndAddress) {
    const LoadCase& c = GetParam();
    if (c.file != nullptr) {
        std::ofstream(file(), std::ios::binary) << c.file;
    }
    const SettingsFile settings(file());
    const InterfaceSelection selection = m_access.loadSettings(settings);
    EXPECT_EQ(selection.interfaceIndex, c.interfaceIndex);
    EXPECT_EQ(selection.addressIndex, c.addressIndex);
    EXPECT_EQ(m_access.DeviceAddress(), c.deviceAddress);
    EXPECT_EQ(m_access.DeviceBits(), c.deviceBits);
    EXPECT_EQ(m_access.channels()[0].type, c.codec.type);
    EXPECT_EQ(m_access.channels()[0].address, c.codec.address);
    EXPECT_EQ(m_access.channels()[7].type, 3);
    EXPECT_EQ(m_dialogs.messages, c.corrupted
                                      ? std::vector<std::string>{"Initial file was corrupted!!"}
                                      : std::vector<std::string>{});
    // Loading writes nothing and creates nothing.
    if (c.file == nullptr) {
        EXPECT_FALSE(std::filesystem::exists(file()));
    } else {
        EXPECT_EQ(contents(), c.file);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Registers, SettingsLoad,
    ::testing::Values(
        LoadCase{"noFile", nullptr, 1, 0, 0, 0, {3, 0}, false},
        LoadCase{"emptyFile", "", 1, 0, 0, 0, {3, 0}, false},
        LoadCase{"i2c78", "[SerialInterface]\nType=0\nAddr=0x4E\n", 0, 2, 78, 0, {1, 78}, false},
        LoadCase{
            "i2cOutOfRange", "[SerialInterface]\nType=0\nAddr=5\n", 0, 0, 76, 0, {1, 76}, false},
        LoadCase{"i2cAbove79", "[SerialInterface]\nType=0\nAddr=80\n", 0, 0, 76, 0, {1, 76}, false},
        LoadCase{"anyNonzeroTypeIsSpi",
                 "[SerialInterface]\nType=7\nAddr=76\n",
                 1,
                 0,
                 0,
                 0,
                 {3, 0},
                 false},
        LoadCase{"negativeTypeIsSpi",
                 "[SerialInterface]\nType=-1\nAddr=2\n",
                 1,
                 2,
                 2,
                 0x40,
                 {3, 0},
                 false},
        LoadCase{
            "spiDevice3", "[SerialInterface]\nType=1\nAddr=0x03\n", 1, 3, 3, 0x60, {3, 0}, false},
        LoadCase{"spiNegative", "[SerialInterface]\nType=1\nAddr=-1\n", 1, 0, 0, 0, {3, 0}, false},
        LoadCase{
            "dollarNotation", "[SerialInterface]\nType=0\nAddr=$4D\n", 0, 1, 77, 0, {1, 77}, false},
        LoadCase{
            "decimalNotation", "[SerialInterface]\nType=0\nAddr=77\n", 0, 1, 77, 0, {1, 77}, false},
        LoadCase{
            "missingAddrDefaults76", "[SerialInterface]\nType=0\n", 0, 0, 76, 0, {1, 76}, false},
        LoadCase{
            "typeOfLetters", "[SerialInterface]\nType=abc\nAddr=0x4E\n", 1, 0, 76, 0, {3, 0}, true},
        LoadCase{"emptyType", "[SerialInterface]\nType=\n", 1, 0, 76, 0, {3, 0}, true},
        LoadCase{"badAddrAfterGoodType",
                 "[SerialInterface]\nType=0\nAddr=0x4E;\n",
                 0,
                 0,
                 76,
                 0,
                 {1, 76},
                 true},
        LoadCase{"overflowingAddr",
                 "[SerialInterface]\nType=1\nAddr=4294967296\n",
                 1,
                 0,
                 76,
                 0,
                 {3, 0},
                 true},
        LoadCase{"caseAndBlanks",
                 "[serialINTERFACE]\r\n type = 0 \r\n ADDR = 0x4F \r\n",
                 0,
                 3,
                 79,
                 0,
                 {1, 79},
                 false}),
    [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

// A settings file that cannot be read is said to be one and counts as none; a change of
// interface then does not replace it.
TEST_F(SettingsTest, AnUnreadableFileIsReportedAndCountsAsNone) {
    std::filesystem::create_directory(file());
    SettingsFile settings(file());
    const InterfaceSelection selection = m_access.loadSettings(settings);
    EXPECT_EQ(selection.interfaceIndex, kInterfaceSpi);
    EXPECT_EQ(selection.addressIndex, 0);
    EXPECT_EQ(m_access.channels()[0].type, 3);
    EXPECT_TRUE(m_dialogs.messages.empty()) << "not a corrupted file";
    EXPECT_EQ(m_dialogs.errors,
              (std::vector<std::pair<std::string, std::string>>{
                  {"EVM control application",
                   "The settings file \"" + file().string() +
                       "\" cannot be read (it is a folder); using the default interface."}}));

    m_dialogs.errors.clear();
    EXPECT_TRUE(m_access.interfaceChanged(kInterfaceI2c, settings));
    ASSERT_EQ(m_dialogs.errors.size(), 1u);
    EXPECT_EQ(m_dialogs.errors[0].second,
              "The setting was not saved to \"" + file().string() + "\": it is a folder.");
    EXPECT_TRUE(std::filesystem::is_directory(file()));
}

TEST_F(SettingsTest, InterfaceChangeWithoutLibraryChangesNothing) {
    m_access.setLink(nullptr);
    SettingsFile settings(file());
    EXPECT_FALSE(m_access.interfaceChanged(kInterfaceI2c, settings));
    EXPECT_FALSE(std::filesystem::exists(file()));
    EXPECT_EQ(m_access.channels()[0].type, 0);
}

TEST_F(SettingsTest, SwitchingInterfaceSavesAndReopensTheLink) {
    SettingsFile settings(file());
    m_access.setLinkPort(3);
    EXPECT_TRUE(m_access.interfaceChanged(kInterfaceI2c, settings));
    EXPECT_EQ(contents(), "[SerialInterface]\nType=0\nAddr=0x4C\n");
    ASSERT_EQ(m_link.calls.size(), 2u);
    EXPECT_EQ(m_link.calls[0].entry, "close");
    EXPECT_EQ(m_link.calls[1].entry, "init");
    EXPECT_EQ(m_link.calls[1].value, 3);
    EXPECT_EQ(m_link.calls[1].codec.type, 1);
    EXPECT_EQ(m_link.calls[1].codec.address, 76);
    EXPECT_EQ(m_access.linkPort(), 3) << "the result of _init is not used";

    m_link.calls.clear();
    EXPECT_TRUE(m_access.interfaceChanged(kInterfaceSpi, settings));
    EXPECT_EQ(contents(), "[SerialInterface]\nType=1\nAddr=0x00\n");
    ASSERT_EQ(m_link.calls.size(), 2u);
    EXPECT_EQ(m_link.calls[1].codec.type, 3);
    EXPECT_EQ(m_access.DeviceBits(), 0);
}

TEST_F(SettingsTest, SwitchingWithoutLinkNeverSearchesThePorts) {
    SettingsFile settings(file());
    EXPECT_TRUE(m_access.interfaceChanged(kInterfaceI2c, settings));
    for (const auto& call : m_link.calls) {
        EXPECT_NE(call.entry, "init");
    }
    EXPECT_EQ(m_access.channels()[0].type, 1);
    EXPECT_EQ(contents(), "[SerialInterface]\nType=0\nAddr=0x4C\n");
}

// A setting that cannot be saved is reported in the general error display, once per action.
TEST_F(SettingsTest, ASaveThatFailsIsReported) {
    std::ofstream(file()) << "[SerialInterface]\nType=1\nAddr=0x00\n";
    ASSERT_EQ(::chmod(file().c_str(), 0444), 0);
    SettingsFile settings(file());
    goLive();
    const std::pair<std::string, std::string> report = {
        "EVM control application",
        "The setting was not saved to \"" + file().string() + "\": the file is read-only."};

    EXPECT_TRUE(m_access.interfaceChanged(kInterfaceI2c, settings));
    EXPECT_EQ(m_dialogs.errors, (std::vector<std::pair<std::string, std::string>>{report}));
    m_access.addressChanged(1, kInterfaceI2c, settings);
    EXPECT_EQ(m_dialogs.errors, (std::vector<std::pair<std::string, std::string>>{report, report}));
    EXPECT_EQ(contents(), "[SerialInterface]\nType=1\nAddr=0x00\n");
    EXPECT_EQ(m_access.DeviceAddress(), 77) << "the choice holds for this run";
}

TEST_F(SettingsTest, AddressChangeSavesAndSetsDeviceBits) {
    SettingsFile settings(file());
    m_access.SetInterfaceType(kInterfaceSpi);
    m_access.addressChanged(3, kInterfaceSpi, settings);
    EXPECT_EQ(m_access.DeviceBits(), 0x60);
    EXPECT_EQ(m_access.DeviceAddress(), 3);
    EXPECT_EQ(contents(), "[SerialInterface]\nAddr=0x03\n");

    m_access.SetInterfaceType(kInterfaceI2c);
    const SundialChannel before = m_access.channels()[0];
    m_access.addressChanged(3, kInterfaceI2c, settings);
    EXPECT_EQ(m_access.DeviceBits(), 0);
    EXPECT_EQ(m_access.DeviceAddress(), 79);
    EXPECT_EQ(contents(), "[SerialInterface]\nAddr=0x4F\n");
    EXPECT_EQ(m_access.channels()[0].address, before.address) << "takes effect at the next connect";
    EXPECT_TRUE(m_link.calls.empty());
}

} // namespace
