// The exports' names and tables, from the field description.
#include "catalogue/registerexport.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace larkspur;

namespace {

TEST(RegisterExport, EachFieldHasItsOwnNameInOneScheme) {
    const struct {
        const char* control;
        const char* name;
    } cases[] = {
        {"cbDACFMT", "DACFMT"},
        {"cInvDAC2", "INVDAC2"},
        {"rgDACAttMode", "DACATTMODE"},
        {"tkDAC1", "ATT_DAC1"},
        {"cDAC1", "DAC1"},
        {"cbAMuteoZero", "AMUTEOZERO"},
        {"cOPEDA0", "OPEDA0"},
        {"cbDACMasterSlave", "DACMASTERSLAVE"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(exportName(*findControl(c.control)), c.name) << c.control;
    }
    std::set<std::string> names;
    for (const BoundControl& row : controlCatalogue()) {
        EXPECT_TRUE(names.insert(exportName(row)).second) << exportName(row) << " twice";
    }
}

TEST(RegisterExport, TheDefinitionsNameEveryFieldAndItem) {
    const std::string header = exportDefinitions();
    for (const char* line : {
             "#define TESSALY_REG_10H 0x10\n",
             "#define TESSALY_DACFMT_REG 0x11\n",
             "#define TESSALY_DEMP_SHIFT 4\n",
             "#define TESSALY_DEMP_MASK 0x30\n",
             "#define TESSALY_DEMP_44_1KHZ 2 /* 44.1kHz */\n",
             "#define TESSALY_DACMASTERSLAVE_MASTER_768FS 1 /* Master (768fs) */\n",
             "#define TESSALY_ATT_DAC1_MASK 0xFF\n",
         }) {
        EXPECT_NE(header.find(line), std::string::npos) << line;
    }
    EXPECT_EQ(header.find("tessaly_init"), std::string::npos) << "no setup in the definitions";
}

TEST(RegisterExport, TheTablesCarryTheSetupInRegisterOrder) {
    RegisterImage image = kDefaultRegisters;
    image[1] = 0x05;
    const std::string c = exportC(image);
    EXPECT_NE(c.find("    {0x10, 0xC0}, /* DAC Sampling mode = Auto"), std::string::npos);
    EXPECT_NE(c.find("    {0x11, 0x05}, /* "), std::string::npos);
    EXPECT_LT(c.find("{0x10, "), c.find("{0x19, "));
    EXPECT_EQ(c.rfind("#endif /* TESSALY_H */\n"), c.size() - 23)
        << "the table is inside the guard";
    const std::string regmap = exportLinux(image);
    EXPECT_NE(regmap.find("\t{ 0x11, 0x05, 0 }, /* "), std::string::npos);
    EXPECT_NE(regmap.find("tessaly_reg_defaults[] = {\n\t{ 0x10, 0xC0 },\n\t{ 0x11, 0x00 },"),
              std::string::npos)
        << "the defaults are the codec's, not the setup's";
}

} // namespace
