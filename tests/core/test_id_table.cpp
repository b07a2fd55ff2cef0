#include "core/KeIdTable.h"
#include "core/KeIdTableKinds.h"
#include "core/KeError.h"
#include "support/log_capture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kolm;

namespace {

struct Table {
    explicit Table(int capacity) : t(keIdTableCreate<int>(capacity)) {}
    ~Table() { keIdTableFree(t); }
    KeIdTable<int>* t;
};

int recA, recB;

TEST(IdTable, AddRespectsRangeAndReportsWhy) {
    struct Case {
        int capacity;
        int id;
        int result;
        const char* detail;  // expected detail after the call (nullptr: unchanged)
    };
    const Case cases[] = {
        {1000, 999, 0, nullptr},
        {1000, 0, 0, nullptr},
        {1000, 1000, -1, "invalid ID 1000 greater or equals than 1000"},
        {1000, -1, -1, "invalid negative ID -1"},
        {50, 49, 0, nullptr},
        {50, 50, -1, "invalid ID 50 greater or equals than 50"},
        {100, 100, -1, "invalid ID 100 greater or equals than 100"},
        {1000, -2147483647 - 1, -1, "invalid negative ID -2147483648"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "capacity " << c.capacity << " id " << c.id);
        Table table(c.capacity);
        ASSERT_NE(table.t, nullptr);
        keIdTableAdd(table.t, 5, &recB);  // a failure-free call first: detail must not change
        const std::string before = keIdTableMessage();
        EXPECT_EQ(keIdTableAdd(table.t, c.id, &recA), c.result);
        EXPECT_STREQ(keIdTableMessage(), c.detail ? c.detail : before.c_str());
        EXPECT_EQ(keIdTableGet(table.t, c.id), c.result == 0 ? &recA : nullptr);
    }
}

TEST(IdTable, AddTwiceKeepsFirstRecordAndRemoveTwiceFails) {
    Table table(1000);
    ASSERT_EQ(keIdTableAdd(table.t, 12, &recA), 0);
    EXPECT_EQ(keIdTableAdd(table.t, 12, &recB), -1);
    EXPECT_STREQ(keIdTableMessage(), "id 12 already exist");
    EXPECT_EQ(keIdTableGet(table.t, 12), &recA);

    EXPECT_EQ(keIdTableRemove(table.t, 12), 0);
    EXPECT_EQ(keIdTableGet(table.t, 12), nullptr);
    EXPECT_EQ(keIdTableRemove(table.t, 12), -1);
    EXPECT_STREQ(keIdTableMessage(), "id 12 does not exist");
    EXPECT_EQ(keIdTableRemove(table.t, 1000), -1);
    EXPECT_STREQ(keIdTableMessage(), "invalid ID 1000 greater or equals than 1000");

    // The slot is free again: it can be reused.
    EXPECT_EQ(keIdTableAdd(table.t, 12, &recB), 0);
    EXPECT_EQ(keIdTableGet(table.t, 12), &recB);
}

TEST(IdTable, HighestIdIsNeverLowered) {
    Table table(1000);
    EXPECT_EQ(keIdTableHighestId(table.t), 0);
    keIdTableAdd(table.t, 3, &recA);
    keIdTableAdd(table.t, 7, &recB);
    keIdTableRemove(table.t, 7);
    EXPECT_EQ(keIdTableHighestId(table.t), 7);
    keIdTableAdd(table.t, 5, &recB);
    EXPECT_EQ(keIdTableHighestId(table.t), 7);
    keIdTableAdd(table.t, 2000, &recB);  // a failed add does not raise it
    EXPECT_EQ(keIdTableHighestId(table.t), 7);

    // Walking a kind: 0 .. highest inclusive, skipping free slots.
    std::vector<int> ids;
    for (int id = 0; id <= keIdTableHighestId(table.t); ++id)
        if (keIdTableGet(table.t, id)) ids.push_back(id);
    EXPECT_EQ(ids, (std::vector<int>{3, 5}));
}

TEST(IdTable, EmptySlotLookupLeavesDetailAlone) {
    Table table(1000);
    keIdTableGet(table.t, -4);
    EXPECT_STREQ(keIdTableMessage(), "invalid negative ID -4");
    EXPECT_EQ(keIdTableGet(table.t, 7), nullptr);
    EXPECT_STREQ(keIdTableMessage(), "invalid negative ID -4");
}

TEST(IdTable, RefusesWhatWouldCorruptIt) {
    EXPECT_EQ(keIdTableCreate<int>(0), nullptr);
    EXPECT_EQ(keIdTableCreate<int>(-5), nullptr);
    EXPECT_EQ(keIdTableFree<int>(nullptr), 0);
    // A null record would look like a free slot: not stored, highest ID untouched.
    Table table(10);
    EXPECT_EQ(keIdTableAdd(table.t, 4, nullptr), -1);
    EXPECT_EQ(keIdTableHighestId(table.t), 0);
    EXPECT_EQ(keIdTableAdd(table.t, 4, &recA), 0);
    // No table at all fails cleanly.
    EXPECT_EQ(keIdTableAdd<int>(nullptr, 1, &recA), -1);
    EXPECT_STREQ(keIdTableMessage(), "no ID table");
    EXPECT_EQ(keIdTableGet<int>(nullptr, 1), nullptr);
    EXPECT_EQ(keIdTableRemove<int>(nullptr, 1), -1);
}

// --- the object API's message families ---------------------------------------------------------

class IdMessages : public ::testing::Test {
protected:
    void SetUp() override { capture.install(); }
    std::string lastError(int* index) {
        const char* text = takeLastError(index);
        return text ? text : "";
    }
    kolmtest::LogCapture capture;
    std::vector<std::string>& lines = capture.lines;
};

TEST_F(IdMessages, LookupOfMissingIdRecordsKindMessageWithLastDetail) {
    Table objects(keIdKindCapacity(KeIdKind::Object));
    keIdTableRemove(objects.t, 3);  // leaves "id 3 does not exist"
    int index = 0;
    // An empty slot in range keeps the detail of the last table operation.
    EXPECT_EQ(keIdLookup(objects.t, KeIdKind::Object, 7, 1), nullptr);
    EXPECT_EQ(lastError(&index), "Object ID 7 does not exist. id 3 does not exist");
    EXPECT_EQ(index, 1);

    Table music(keIdKindCapacity(KeIdKind::Music));
    EXPECT_EQ(keIdLookup(music.t, KeIdKind::Music, 50, 1), nullptr);
    EXPECT_EQ(lastError(&index), "Music ID 50 does not exist. invalid ID 50 greater or equals than 50");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], "ERROR : Music ID 50 does not exist. invalid ID 50 greater or equals than 50\n");

    keIdTableAdd(objects.t, 7, &recA);
    clearLastError();
    EXPECT_EQ(keIdLookup(objects.t, KeIdKind::Object, 7, 1), &recA);
    EXPECT_EQ(takeLastError(&index), nullptr);
}

TEST_F(IdMessages, RegisterFailureRecordsInvalidMessageAtGivenIndex) {
    struct Case {
        KeIdKind kind;
        int id;
        const char* message;
    };
    const Case cases[] = {
        {KeIdKind::Object, 1000, "invalid Object ID 1000 : invalid ID 1000 greater or equals than 1000"},
        {KeIdKind::Effect, -1, "invalid effect ID -1 : invalid negative ID -1"},
        {KeIdKind::Music, 50, "invalid Music ID 50 : invalid ID 50 greater or equals than 50"},
        {KeIdKind::FileWatch, 100, "invalid FileWatch ID 100 : invalid ID 100 greater or equals than 100"},
        {KeIdKind::FolderWatch, 100, "invalid FileWatch ID 100 : invalid ID 100 greater or equals than 100"},
        {KeIdKind::CameraEffect, 1000,
         "invalid Camera Effect ID 1000 : invalid ID 1000 greater or equals than 1000"},
    };
    for (const Case& c : cases) {
        Table table(keIdKindCapacity(c.kind));
        int index = 0;
        EXPECT_EQ(keIdRegister(table.t, c.kind, c.id, &recA, 2), -1);
        EXPECT_EQ(lastError(&index), c.message);
        EXPECT_EQ(index, 2);
    }
    Table images(keIdKindCapacity(KeIdKind::Image));
    ASSERT_EQ(keIdRegister(images.t, KeIdKind::Image, 4, &recA, 2), 0);
    EXPECT_EQ(keIdRegister(images.t, KeIdKind::Image, 4, &recB, 2), -1);
    EXPECT_EQ(lastError(nullptr), "invalid Image ID 4 : id 4 already exist");
}

TEST_F(IdMessages, ExistsNeverRecordsAndCapacitiesMatchTheKinds) {
    Table music(keIdKindCapacity(KeIdKind::Music));
    keIdTableAdd(music.t, 49, &recA);
    EXPECT_TRUE(keIdExists(music.t, 49));
    const std::string detail = keIdTableMessage();
    for (int id : {-1, 0, 50, 1 << 30}) EXPECT_FALSE(keIdExists(music.t, id));
    EXPECT_EQ(keIdTableMessage(), detail);
    EXPECT_EQ(takeLastError(nullptr), nullptr);
    EXPECT_TRUE(lines.empty());

    EXPECT_EQ(keIdKindCapacity(KeIdKind::Music), 50);
    EXPECT_EQ(keIdKindCapacity(KeIdKind::FileWatch), 100);
    EXPECT_EQ(keIdKindCapacity(KeIdKind::FolderWatch), 100);
    EXPECT_EQ(keIdKindCapacity(KeIdKind::CubeMap), 1000);
}

TEST(EngineIdTables, CreatedTogetherAndFreedTogether) {
    KeEngineIdTables tables;
    ASSERT_EQ(keCreateEngineIdTables(tables), nullptr);
    ASSERT_TRUE(tables.image && tables.object && tables.light && tables.fxEmitter && tables.cameraEffect &&
                tables.effect && tables.cubeMap);
    for (int capacity : {tables.image->capacity(), tables.object->capacity(), tables.light->capacity(),
                         tables.fxEmitter->capacity(), tables.cameraEffect->capacity(), tables.effect->capacity(),
                         tables.cubeMap->capacity()})
        EXPECT_EQ(capacity, 1000);
    EXPECT_NE(static_cast<void*>(tables.object), static_cast<void*>(tables.light));
    keFreeEngineIdTables(tables);
    EXPECT_EQ(tables.cubeMap, nullptr);
    EXPECT_EQ(tables.image, nullptr);
}

}  // namespace
