// The virtual board's faults as the control socket arms them: the words of each kind, the words
// refused, and which request takes which armed fault.
#include "tools/virtual-evm/faultplan.h"
#include "tools/virtual-evm/protocol.h"

#include "tests/support/casenames.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

using namespace virtualevm;

namespace {

Fault parse(const std::string& text) {
    return Fault::parse(splitWords(text));
}

// Every field, so that a case states what it changes and any other field left as it was shows.
std::string fieldsOf(const Fault& f) {
    std::string text =
        "kind=" + std::to_string(static_cast<int>(f.kind)) + " pieces=" + std::to_string(f.pieces) +
        " first=" + std::to_string(f.firstMs) + " gap=" + std::to_string(f.gapMs) +
        " late=" + std::to_string(f.lateMs) + (f.lateHeld ? " held" : "") +
        " split=" + std::to_string(f.splitAt) + " babble=" + std::to_string(f.babbleMs) +
        " stall=" + std::to_string(f.stallMs) + " slow=" + std::to_string(f.slowMs) +
        " again=" + std::to_string(f.againMs) + (f.behind ? " behind" : "") +
        " remaining=" + std::to_string(f.remaining);
    if (f.only) {
        text += " only=" + std::to_string(static_cast<int>(*f.only));
    }
    if (f.onlyRegister) {
        text += " reg=" + std::to_string(*f.onlyRegister);
    }
    return text;
}

Request request(Request::Kind kind, uint8_t regField = 0x10) {
    Request r;
    r.kind = kind;
    r.regField = regField;
    return r;
}

// ---------------------------------------------------------------------------------------------
// The words of each kind

struct ParseCase {
    const char* name;
    const char* words;
    void (*expect)(Fault&); // applied to a default fault
};

void PrintTo(const ParseCase& c, std::ostream* os) {
    *os << c.name;
}

class ParseFault : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseFault, SetsItsFieldsAndNoOthers) {
    Fault expected;
    GetParam().expect(expected);
    const Fault fault = parse(GetParam().words);
    EXPECT_EQ(fieldsOf(fault), fieldsOf(expected));
    // What "fault" shows is read back as the same fault.
    EXPECT_EQ(fieldsOf(parse(fault.describe())), fieldsOf(fault)) << fault.describe();
}

using K = Fault::Kind;
using R = Request::Kind;

INSTANTIATE_TEST_SUITE_P(
    FaultPlan, ParseFault,
    ::testing::Values(
        ParseCase{"silent", "silent", [](Fault& f) { f.kind = K::Silent; }},
        ParseCase{"noAck", "no-ack", [](Fault& f) { f.kind = K::NoAck; }},
        ParseCase{"wrongAck", "wrong-ack", [](Fault& f) { f.kind = K::WrongAck; }},
        ParseCase{"noReply", "no-reply", [](Fault& f) { f.kind = K::NoReply; }},
        ParseCase{"garbage", "garbage", [](Fault& f) { f.kind = K::Garbage; }},
        ParseCase{"badStart", "bad-start", [](Fault& f) { f.kind = K::BadStart; }},
        ParseCase{"badLength", "bad-length", [](Fault& f) { f.kind = K::BadLength; }},
        ParseCase{"badSum", "bad-sum", [](Fault& f) { f.kind = K::BadSum; }},
        ParseCase{"piecesCount", "pieces 3",
                  [](Fault& f) {
                      f.kind = K::Pieces;
                      f.pieces = 3;
                  }},
        ParseCase{"piecesTimed", "pieces 4 0x10 20",
                  [](Fault& f) {
                      f.kind = K::Pieces;
                      f.pieces = 4;
                      f.firstMs = 16;
                      f.gapMs = 20;
                  }},
        ParseCase{"piecesAsManyAsTheLongestFrame", "pieces 259 0",
                  [](Fault& f) {
                      f.kind = K::Pieces;
                      f.pieces = 259;
                      f.firstMs = 0;
                  }},
        ParseCase{"lateDefault", "late", [](Fault& f) { f.kind = K::Late; }},
        ParseCase{"lateTimed", "late 250",
                  [](Fault& f) {
                      f.kind = K::Late;
                      f.lateMs = 250;
                  }},
        ParseCase{"lateAtTheLongestDelay", "late 600000",
                  [](Fault& f) {
                      f.kind = K::Late;
                      f.lateMs = 600000;
                  }},
        ParseCase{"lateHeld", "late held",
                  [](Fault& f) {
                      f.kind = K::Late;
                      f.lateHeld = true;
                  }},
        ParseCase{"splitHalf", "split", [](Fault& f) { f.kind = K::Split; }},
        ParseCase{"splitAtTheLongestFrameLessOne", "split 258",
                  [](Fault& f) {
                      f.kind = K::Split;
                      f.splitAt = 258;
                  }},
        ParseCase{"babbleDefault", "babble", [](Fault& f) { f.kind = K::Babble; }},
        ParseCase{"babbleTimed", "babble 5",
                  [](Fault& f) {
                      f.kind = K::Babble;
                      f.babbleMs = 5;
                  }},
        ParseCase{"stallDefault", "stall", [](Fault& f) { f.kind = K::Stall; }},
        ParseCase{"stallTimed", "stall 100",
                  [](Fault& f) {
                      f.kind = K::Stall;
                      f.stallMs = 100;
                  }},
        ParseCase{"slowDefault", "slow", [](Fault& f) { f.kind = K::Slow; }},
        ParseCase{"slowTwice", "slow 250 100",
                  [](Fault& f) {
                      f.kind = K::Slow;
                      f.slowMs = 250;
                      f.againMs = 100;
                  }},
        ParseCase{"slowBehind", "slow 150 behind",
                  [](Fault& f) {
                      f.kind = K::Slow;
                      f.slowMs = 150;
                      f.behind = true;
                  }},
        ParseCase{"repeatDefault", "repeat",
                  [](Fault& f) {
                      f.kind = K::Repeat;
                      f.againMs = 100;
                  }},
        ParseCase{"repeatBehind", "repeat 0 behind",
                  [](Fault& f) {
                      f.kind = K::Repeat;
                      f.againMs = 0;
                      f.behind = true;
                  }},
        // A number after the kind's own arguments is the count, not another argument.
        ParseCase{"countAfterTheArguments", "late 250 4",
                  [](Fault& f) {
                      f.kind = K::Late;
                      f.lateMs = 250;
                      f.remaining = 4;
                  }},
        ParseCase{"countAfterEveryPiecesArgument", "pieces 2 10 20 7",
                  [](Fault& f) {
                      f.kind = K::Pieces;
                      f.pieces = 2;
                      f.firstMs = 10;
                      f.gapMs = 20;
                      f.remaining = 7;
                  }},
        ParseCase{"countOfAKindWithoutArguments", "no-reply 3",
                  [](Fault& f) {
                      f.kind = K::NoReply;
                      f.remaining = 3;
                  }},
        ParseCase{"always", "silent always",
                  [](Fault& f) {
                      f.kind = K::Silent;
                      f.remaining = Fault::kAlways;
                  }},
        ParseCase{"theLargestCount", "silent 1000000",
                  [](Fault& f) {
                      f.kind = K::Silent;
                      f.remaining = 1000000;
                  }},
        ParseCase{"probeOnly", "no-reply probe", [](Fault& f) {
                      f.kind = K::NoReply;
                      f.only = R::Probe;
                  }},
        ParseCase{"setupOnly", "wrong-ack setup", [](Fault& f) {
                      f.kind = K::WrongAck;
                      f.only = R::Setup;
                  }},
        ParseCase{"readOnly", "no-reply read", [](Fault& f) {
                      f.kind = K::NoReply;
                      f.only = R::Read;
                  }},
        ParseCase{"writeOnly", "no-reply write", [](Fault& f) {
                      f.kind = K::NoReply;
                      f.only = R::Write;
                  }},
        ParseCase{"anyRequest", "no-reply any", [](Fault& f) { f.kind = K::NoReply; }},
        ParseCase{"oneRegister", "bad-sum reg 0x18",
                  [](Fault& f) {
                      f.kind = K::BadSum;
                      f.onlyRegister = 0x18;
                  }},
        // After the kind and its arguments, filters and count come in any order.
        ParseCase{"everythingAtOnce", "slow 300 50 behind always reg 255 write",
                  [](Fault& f) {
                      f.kind = K::Slow;
                      f.slowMs = 300;
                      f.againMs = 50;
                      f.behind = true;
                      f.remaining = Fault::kAlways;
                      f.onlyRegister = 0xFF;
                      f.only = R::Write;
                  }}),
    testsupport::ByCaseName());

// ---------------------------------------------------------------------------------------------
// Words refused: they come from whoever holds the control socket.

struct RefusalCase {
    const char* name;
    const char* words;
    const char* reason;
};

void PrintTo(const RefusalCase& c, std::ostream* os) {
    *os << c.name;
}

class RefuseFault : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(RefuseFault, WithItsReason) {
    try {
        const Fault fault = parse(GetParam().words);
        ADD_FAILURE() << "taken as " << fault.describe();
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), GetParam().reason);
    }
}

INSTANTIATE_TEST_SUITE_P(
    FaultPlan, RefuseFault,
    ::testing::Values(
        RefusalCase{"nothing", "", "missing fault kind"},
        RefusalCase{"unknownKind", "bogus", "unknown fault 'bogus'"},
        RefusalCase{"kindsAreLowerCase", "SILENT", "unknown fault 'SILENT'"},
        RefusalCase{"piecesWithoutCount", "pieces", "pieces needs a count"},
        RefusalCase{"noPieces", "pieces 0", "piece count must be 1 to 259"},
        RefusalCase{"morePiecesThanTheLongestFrame", "pieces 260", "piece count must be 1 to 259"},
        // Past 32 bits: a count or delay cut to unsigned would come out small and be taken.
        RefusalCase{"piecesPast32Bits", "pieces 4294967299", "piece count must be 1 to 259"},
        RefusalCase{"piecesFirstTooLong", "pieces 3 600001", "bad delay '600001'"},
        RefusalCase{"piecesGapTooLong", "pieces 3 10 0x927C1", "bad delay '0x927C1'"},
        RefusalCase{"lateTooLong", "late 600001", "bad delay '600001'"},
        RefusalCase{"latePast32Bits", "late 4294967546", "bad delay '4294967546'"},
        RefusalCase{"lateNegative", "late -1", "bad repeat count '-1'"},
        RefusalCase{"heldIsNoDelay", "late 100 held", "bad repeat count 'held'"},
        RefusalCase{"heldOnlyForLate", "slow held", "bad repeat count 'held'"},
        RefusalCase{"splitPastTheLongestFrame", "split 259", "split size must be 0 to 258"},
        RefusalCase{"splitPast32Bits", "split 4294967297", "split size must be 0 to 258"},
        RefusalCase{"babbleTooLong", "babble 600001", "bad delay '600001'"},
        RefusalCase{"stallTooLong", "stall 600001", "bad delay '600001'"},
        RefusalCase{"slowTooLong", "slow 600001", "bad delay '600001'"},
        RefusalCase{"slowAgainTooLong", "slow 1 600001", "bad delay '600001'"},
        RefusalCase{"repeatTooLong", "repeat 600001", "bad delay '600001'"},
        RefusalCase{"behindOnlyForSlowAndRepeat", "late 100 behind", "bad repeat count 'behind'"},
        RefusalCase{"noCount", "silent 0", "bad repeat count '0'"},
        RefusalCase{"countTooLarge", "silent 1000001", "bad repeat count '1000001'"},
        RefusalCase{"countPast64Bits", "silent 0x10000000000000000",
                    "bad repeat count '0x10000000000000000'"},
        RefusalCase{"countNotANumber", "silent soon", "bad repeat count 'soon'"},
        RefusalCase{"twoCounts", "silent once always", "unexpected 'always'"},
        RefusalCase{"numberAfterTheCount", "pieces 3 10 20 30 40", "unexpected '40'"},
        RefusalCase{"twoFilters", "silent read write", "more than one request filter"},
        RefusalCase{"anyAndAFilter", "silent any probe", "more than one request filter"},
        RefusalCase{"regWithoutRegister", "no-reply reg", "reg needs one register, 0 to 0xFF"},
        RefusalCase{"regPastAByte", "no-reply reg 0x100", "reg needs one register, 0 to 0xFF"},
        RefusalCase{"regNotANumber", "no-reply reg read", "reg needs one register, 0 to 0xFF"},
        RefusalCase{"twoRegisters", "no-reply reg 1 reg 2", "reg needs one register, 0 to 0xFF"}),
    testsupport::ByCaseName());

// ---------------------------------------------------------------------------------------------
// Which request takes which armed fault

// A fault spoils only the requests it names; a register filter passes over probes and set-ups,
// which name no register, and compares the register without the read flag in bit 7.
TEST(FaultPlan, AFilteredFaultMatchesOnlyItsRequests) {
    struct Match {
        const char* fault;
        Request request;
        bool matches;
    };
    const Match table[] = {
        {"silent", request(R::Probe), true},
        {"silent", request(R::Unknown), true},
        {"silent read", request(R::Read), true},
        {"silent read", request(R::Write), false},
        {"silent write", request(R::Write), true},
        {"silent probe", request(R::Setup), false},
        {"silent setup", request(R::Setup), true},
        {"silent reg 0x10", request(R::Read, 0x10), true},
        {"silent reg 0x10", request(R::Write, 0x10), true},
        {"silent reg 0x10", request(R::Read, 0x90), true},
        {"silent reg 0x10", request(R::Read, 0x11), false},
        {"silent reg 0", request(R::Probe, 0), false},
        {"silent reg 0", request(R::Setup, 0), false},
        {"silent write reg 0x10", request(R::Read, 0x10), false},
    };
    for (const Match& m : table) {
        EXPECT_EQ(parse(m.fault).matches(m.request), m.matches)
            << m.fault << " on kind " << static_cast<int>(m.request.kind) << " reg "
            << static_cast<int>(m.request.regField);
    }
}

struct TakeCase {
    const char* name;
    std::vector<std::string> armed; // in the order armed
    std::vector<Request::Kind> requests;
    std::vector<std::string> taken; // per request: the fault it took, "-" for none
};

void PrintTo(const TakeCase& c, std::ostream* os) {
    *os << c.name;
}

class TakeFault : public ::testing::TestWithParam<TakeCase> {};

TEST_P(TakeFault, InTheOrderArmed) {
    FaultPlan plan;
    for (const std::string& fault : GetParam().armed) {
        plan.add(parse(fault));
    }
    std::vector<std::string> taken;
    for (const Request::Kind kind : GetParam().requests) {
        const std::optional<Fault> fault = plan.take(request(kind));
        taken.push_back(fault ? fault->describe() : "-");
    }
    EXPECT_EQ(taken, GetParam().taken);
}

INSTANTIATE_TEST_SUITE_P(
    FaultPlan, TakeFault,
    ::testing::Values(
        TakeCase{"nothingArmed", {}, {R::Read}, {"-"}},
        TakeCase{"onceIsUsedUp", {"no-reply"}, {R::Read, R::Read}, {"no-reply 1", "-"}},
        // What is taken carries the count it was taken with.
        TakeCase{"aCountIsUsedUpOneByOne",
                 {"no-reply 3"},
                 {R::Read, R::Read, R::Read, R::Read},
                 {"no-reply 3", "no-reply 2", "no-reply 1", "-"}},
        TakeCase{"alwaysIsNeverUsedUp",
                 {"no-reply always", "silent"},
                 {R::Read, R::Write, R::Probe},
                 {"no-reply always", "no-reply always", "no-reply always"}},
        TakeCase{"theFirstArmedGoesFirst",
                 {"late 100", "late 200", "late 300"},
                 {R::Read, R::Read, R::Read, R::Read},
                 {"late 100 1", "late 200 1", "late 300 1", "-"}},
        // A request passes over a fault it does not match, which waits for its own.
        TakeCase{"eachRequestTakesTheFirstThatMatches",
                 {"slow 2000 0 write", "slow 300 0 probe", "silent write"},
                 {R::Read, R::Probe, R::Write, R::Probe, R::Write, R::Write},
                 {"-", "slow 300 0 probe 1", "slow 2000 0 write 1", "-", "silent write 1", "-"}},
        TakeCase{"aFaultPassedOverKeepsItsPlace",
                 {"no-reply read 2", "garbage"},
                 {R::Probe, R::Read, R::Probe, R::Read, R::Read},
                 {"garbage 1", "no-reply read 2", "-", "no-reply read 1", "-"}}),
    testsupport::ByCaseName());

TEST(FaultPlan, StacksAtMostSixteenFaults) {
    FaultPlan plan;
    for (unsigned i = 0; i < FaultPlan::kMaxFaults; ++i) {
        ASSERT_NO_THROW(plan.add(parse("late " + std::to_string(i)))) << i;
    }
    EXPECT_EQ(FaultPlan::kMaxFaults, 16u);
    try {
        plan.add(parse("silent"));
        ADD_FAILURE() << "a 17th fault was armed";
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "at most 16 faults armed");
    }
    EXPECT_FALSE(plan.silentArmed()) << "the refused fault is not armed in front";

    // The bound is on the faults armed at once: one used up makes room for one more.
    EXPECT_EQ(plan.take(request(R::Read))->lateMs, 0u);
    ASSERT_NO_THROW(plan.add(parse("silent")));
    EXPECT_THROW(plan.add(parse("silent")), std::invalid_argument);

    // The sixteen come out in the order armed, the one that made room last.
    for (unsigned i = 1; i < FaultPlan::kMaxFaults; ++i) {
        const std::optional<Fault> fault = plan.take(request(R::Read));
        ASSERT_TRUE(fault) << i;
        EXPECT_EQ(fault->lateMs, i);
    }
    EXPECT_TRUE(plan.silentArmed());
    ASSERT_TRUE(plan.take(request(R::Read)));
    EXPECT_FALSE(plan.take(request(R::Read)));
    EXPECT_FALSE(plan.current());
}

TEST(FaultPlan, ArmReplacesEveryFaultAndClearDropsThem) {
    FaultPlan plan;
    for (unsigned i = 0; i < FaultPlan::kMaxFaults; ++i) {
        plan.add(parse("no-reply"));
    }
    plan.arm(parse("silent always"));
    EXPECT_TRUE(plan.silentArmed());
    EXPECT_EQ(plan.current()->describe(), "silent always");
    ASSERT_NO_THROW(plan.add(parse("garbage"))) << "room again after arm";
    EXPECT_EQ(plan.current()->describe(), "silent always") << "add goes behind";
    plan.clear();
    EXPECT_FALSE(plan.current());
    EXPECT_FALSE(plan.silentArmed());
    EXPECT_FALSE(plan.take(request(R::Read)));
}

// Only the fault in front counts: a silent board behind another fault is not silent yet.
TEST(FaultPlan, SilentArmedOnlyInFront) {
    FaultPlan plan;
    plan.add(parse("no-reply"));
    plan.add(parse("silent"));
    EXPECT_FALSE(plan.silentArmed());
    plan.take(request(R::Read));
    EXPECT_TRUE(plan.silentArmed());
}

} // namespace
