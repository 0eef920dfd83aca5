// The panel's layout against the catalogue: every field has its one place, on a sheet that
// exists, inside a group box of that sheet when it names a group.
#include "catalogue/controlcatalogue.h"
#include "panel/panellayout.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace larkspur;

namespace {

TEST(PanelLayout, EveryFieldHasOnePlaceOnASheetThatHoldsItsGroup) {
    const std::vector<BoundControl>& fields = controlCatalogue();
    const std::vector<ControlPlacement>& places = controlPlacements();
    ASSERT_EQ(places.size(), fields.size());
    std::map<std::string_view, int> sheetOfGroup;
    for (const GroupBoxInfo& group : groupBoxes()) {
        EXPECT_TRUE(sheetOfGroup.emplace(group.caption, group.sheet).second) << group.caption;
    }
    std::set<std::string_view> editNames;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const BoundControl& field = fields[i];
        const ControlPlacement& place = places[i];
        SCOPED_TRACE(std::string(field.name));
        // The catalogue's order is the creation order, which assistive technology follows.
        EXPECT_EQ(place.name, field.name);
        EXPECT_EQ(&placementOf(field.name), &place);
        EXPECT_GE(place.sheet, 0);
        EXPECT_LT(place.sheet, kTabCount);
        EXPECT_GT(place.at.width, 0);
        if (!field.group.empty()) {
            ASSERT_TRUE(sheetOfGroup.contains(field.group));
            EXPECT_EQ(sheetOfGroup.at(field.group), place.sheet);
        }
        EXPECT_EQ(field.kind == ControlKind::Track, !place.editName.empty());
        if (!place.editName.empty()) {
            EXPECT_TRUE(editNames.insert(place.editName).second);
        }
    }
    EXPECT_EQ(placementOf("tkDAC2").editName, "edDAC2");
    EXPECT_EQ(placementOf("nothing").name, "");
    EXPECT_TRUE(sheetOfGroup.contains(zeroFlagRow().group));
    for (const NoteInfo& note : notes()) {
        EXPECT_TRUE(sheetOfGroup.contains(note.group)) << note.text;
    }
}

TEST(PanelLayout, SheetsInTabOrder) {
    const auto& sheets = tabSheets();
    EXPECT_EQ(sheets[0].caption, "DAC Inteface and Sampling Mode");
    EXPECT_EQ(sheets[4].name, "AnalogPath");
}

} // namespace
