#include "ui/dialog_geometry.h"

#include <gtest/gtest.h>

#include <map>

namespace corvid {
namespace {

using F = ResizeFlags;

// The exception dialog's resize map over a plausible pixel layout.
const Size kInitial{412, 393};
const std::vector<ResizeEntry> kExceptionLayout = {
    {kSizeGripId, F::MoveX | F::MoveY | F::Repaint | F::Grip, {395, 376, 412, 393}},
    {209, F::SizeX | F::SizeY, {12, 18, 400, 377}},
    {204, F::None, {24, 42, 56, 74}},
    {210, F::SizeX, {66, 42, 388, 79}},
    {208, F::SizeX | F::SizeY, {24, 88, 388, 253}},
    {211, F::SizeX | F::MoveY, {24, 266, 388, 295}},
    {212, F::SizeX | F::MoveY, {24, 304, 388, 333}},
    {1, F::MoveX | F::MoveY, {229, 341, 304, 364}},
    {2, F::MoveX | F::MoveY, {313, 341, 388, 364}},
};

std::optional<Rect> recordedRect(std::int32_t id) {
    for (const ResizeEntry& entry : kExceptionLayout) {
        if (entry.id == id) return entry.rect;
    }
    return std::nullopt;
}

TEST(DialogGeometry, EnlargingTheExceptionDialogMovesEachControlByItsFlags) {
    // Expected change of each edge (left, top, right, bottom) for +100 x +50.
    const std::map<std::int32_t, Rect> change = {
        {kSizeGripId, {100, 50, 100, 50}}, {209, {0, 0, 100, 50}}, {210, {0, 0, 100, 0}},
        {208, {0, 0, 100, 50}},            {211, {0, 50, 100, 50}}, {212, {0, 50, 100, 50}},
        {1, {100, 50, 100, 50}},           {2, {100, 50, 100, 50}},
    };
    const Size enlarged{kInitial.width + 100, kInitial.height + 50};
    const std::vector<ControlPlacement> plan = planLayout(kExceptionLayout, kInitial, enlarged, recordedRect);
    ASSERT_EQ(plan.size(), kExceptionLayout.size());
    for (std::size_t i = 0; i < plan.size(); ++i) {
        const ResizeEntry& entry = kExceptionLayout[i];
        SCOPED_TRACE(entry.id);
        EXPECT_EQ(plan[i].id, entry.id);
        EXPECT_EQ(plan[i].repaint, entry.id == kSizeGripId);
        const auto expected = change.find(entry.id);
        if (expected == change.end()) {
            EXPECT_FALSE(plan[i].rect) << "the icon stays put";
            continue;
        }
        ASSERT_TRUE(plan[i].rect);
        const Rect& d = expected->second;
        EXPECT_EQ(*plan[i].rect, (Rect{entry.rect.left + d.left, entry.rect.top + d.top, entry.rect.right + d.right,
                                       entry.rect.bottom + d.bottom}));
    }
}

TEST(DialogGeometry, AnchoringRules) {
    // Recorded at 10,20-40,60 in a 100 x 80 client; the control has since
    // been put at 11,21-41,61, which supplies the edges no rule sets.
    const Rect recorded{10, 20, 40, 60};
    const Rect current{11, 21, 41, 61};
    const Size initial{100, 80};
    struct Case {
        const char* name;
        ResizeFlags flags;
        Size client;
        std::optional<Rect> expected;
    };
    const Case cases[] = {
        {"no flags: not moved", F::None, {150, 90}, std::nullopt},
        {"grip bit alone: not moved", F::Grip, {150, 90}, std::nullopt},
        {"repaint alone: put where it is", F::Repaint, {150, 90}, current},
        {"SizeX keeps the current left", F::SizeX, {150, 90}, Rect{11, 21, 90, 61}},
        {"MoveX with SizeX moves, not stretches", F::MoveX | F::SizeX, {150, 90}, Rect{60, 21, 90, 61}},
        {"MoveY keeps the height", F::MoveY, {150, 90}, Rect{11, 30, 41, 70}},
        {"SizeY follows a shrink", F::SizeY, {150, 70}, Rect{11, 21, 41, 50}},
        {"CenterX wins over MoveX and SizeX", F::CenterX | F::MoveX | F::SizeX, {160, 90}, Rect{65, 21, 95, 61}},
        {"CenterX rounds towards zero", F::CenterX, {101, 80}, Rect{35, 21, 65, 61}},
        {"CenterY wins over MoveY", F::CenterY | F::MoveY | F::SizeX, {150, 91}, Rect{11, 25, 90, 65}},
        {"CenterX with MoveY", F::CenterX | F::MoveY, {150, 90}, Rect{60, 30, 90, 70}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(anchoredRect({7, c.flags, recorded}, current, initial, c.client), c.expected) << c.name;
    }
}

TEST(DialogGeometry, ControlsThatVanishedAreSkipped) {
    const auto withoutTrace = [](std::int32_t id) { return id == 208 || id == 2 ? std::nullopt : recordedRect(id); };
    const std::vector<ControlPlacement> plan =
        planLayout(kExceptionLayout, kInitial, {kInitial.width + 10, kInitial.height}, withoutTrace);
    std::vector<std::int32_t> ids;
    for (const ControlPlacement& placement : plan) ids.push_back(placement.id);
    EXPECT_EQ(ids, (std::vector<std::int32_t>{kSizeGripId, 209, 204, 210, 211, 212, 1}));
}

TEST(DialogGeometry, OnlyAChildDialogIsKeptAtItsMinimum) {
    struct Case {
        const char* name;
        Size client;
        bool child;
        std::optional<Size> minimum;
        Size expected;
    };
    const Case cases[] = {
        {"child below both", {50, 40}, true, Size{80, 60}, {80, 60}},
        {"child below in width only", {50, 70}, true, Size{80, 60}, {80, 70}},
        {"child above", {90, 70}, true, Size{80, 60}, {90, 70}},
        {"child without a minimum", {50, 40}, true, std::nullopt, {50, 40}},
        {"top-level dialog", {50, 40}, false, Size{80, 60}, {50, 40}},
    };
    for (const Case& c : cases) EXPECT_EQ(layoutClientSize(c.client, c.child, c.minimum), c.expected) << c.name;
}

TEST(DialogGeometry, Centring) {
    // A work area with the task bar at the top: it starts at y = 30.
    const Rect work{0, 30, 1280, 1024};
    const Rect ownerRect{100, 100, 501, 401};
    struct Case {
        const char* name;
        std::optional<OwnerWindowState> owner;
        Size size;
        Point expected;
    };
    const Case cases[] = {
        {"visible owner", OwnerWindowState{ownerRect, true, false}, {200, 100}, {200, 200}},
        {"hidden owner: work area", OwnerWindowState{ownerRect, false, false}, {200, 100}, {540, 477}},
        {"minimized owner: work area", OwnerWindowState{ownerRect, true, true}, {200, 100}, {540, 477}},
        {"no owner: work area", std::nullopt, {201, 101}, {540, 477}},
        {"owner near the right edge: kept inside",
         OwnerWindowState{{1200, 900, 1280, 1000}, true, false}, {200, 300}, {1080, 724}},
        {"owner above the work area: kept below its top",
         OwnerWindowState{{100, -200, 300, 0}, true, false}, {200, 100}, {100, 30}},
        {"larger than the work area: left and top edges", std::nullopt, {1400, 1100}, {0, 30}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(centredPosition(c.size, centringReference(c.owner, work), work), c.expected) << c.name;
    }
}

}  // namespace
}  // namespace corvid
