// File times under the system's time zone. An entry's MS-DOS time is local
// wall-clock time, so one entry is a different instant east and west of UTC,
// and in summer and winter where daylight saving time is kept. CTest runs
// this program with TZ set to each zone of the table below (Wine takes the
// zone from TZ); the expectations are fixed instants, never the conversion
// under test.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "archive/extract_archive.h"
#include "platform/platform.h"
#include "tests/support/archive_bytes.h"

namespace {

// 2020-01-15 12:30:40 as MS-DOS local time (kTestDosTime is 2020-06-15).
const uint32_t kWinterDosTime = (((2020 - 1980) << 9 | 1 << 5 | 15) << 16) | (12 << 11 | 30 << 5 | 20);

struct Zone {
    const char* tz;
    int64_t summer;  // kTestDosTime in that zone, as seconds since 1970 UTC
    int64_t winter;  // kWinterDosTime in that zone
};

const Zone kZones[] = {
    {"UTC", 1592224240, 1579091440},
    {"Asia/Tokyo", 1592191840, 1579059040},        // UTC+9 all year
    {"America/New_York", 1592238640, 1579109440},  // UTC-4 in June, UTC-5 in January
};

const Zone* CurrentZone() {
    const char* tz = std::getenv("TZ");
    if (tz == nullptr) return nullptr;
    for (const Zone& zone : kZones) {
        if (std::string(tz) == zone.tz) return &zone;
    }
    return nullptr;
}

int64_t LastWriteTime(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    ULARGE_INTEGER value;
    value.LowPart = data.ftLastWriteTime.dwLowDateTime;
    value.HighPart = data.ftLastWriteTime.dwHighDateTime;
    return (static_cast<int64_t>(value.QuadPart) - 116444736000000000LL) / 10000000LL;
}

// Writes every entry as a file of the given folder, under its own name.
int WriteEveryEntry(char* name, const uint8_t* data, uint32_t, void* folder) {
    if (data == nullptr) {
        std::string path = *static_cast<std::string*>(folder) + "\\" + name;
        std::snprintf(name, 260, "%s", path.c_str());
    }
    return 0;
}

class FileTimesTest : public ::testing::Test {
protected:
    void SetUp() override {
        zone = CurrentZone();
        if (zone == nullptr) GTEST_SKIP() << "TZ names none of the zones this test knows";
        folder = MakeTempDir("times");
    }
    void TearDown() override {
        if (!folder.empty()) RemoveTree(folder);
    }

    const Zone* zone = nullptr;
    std::string folder;
};

TEST_F(FileTimesTest, InstalledFilesCarryTheEntrysWallClockTime) {
    TestEntry summer = StoredEntry("summer.txt", "June");
    TestEntry winter = StoredEntry("winter.txt", "January");
    winter.ftime = kWinterDosTime;
    std::string archive = folder + "\\Setup.exe";
    ASSERT_TRUE(WriteFileBytes(archive, StoredArchive({summer, winter})));
    ASSERT_EQ(ExtractArchive(archive.c_str(), WriteEveryEntry, &folder), 0);
    EXPECT_EQ(LastWriteTime(folder + "\\summer.txt"), zone->summer) << zone->tz;
    EXPECT_EQ(LastWriteTime(folder + "\\winter.txt"), zone->winter) << zone->tz;
}

TEST_F(FileTimesTest, ConversionsBothWaysUseTheDatesOwnOffset) {
    EXPECT_EQ(DosTimeToUnixTime(kTestDosTime), zone->summer) << zone->tz;
    EXPECT_EQ(DosTimeToUnixTime(kWinterDosTime), zone->winter) << zone->tz;
    EXPECT_EQ(UnixTimeToDosTime(zone->summer), kTestDosTime) << zone->tz;
    EXPECT_EQ(UnixTimeToDosTime(zone->winter), kWinterDosTime) << zone->tz;
    // Before 1980 there is no MS-DOS time: the earliest one stands in.
    EXPECT_EQ(UnixTimeToDosTime(0), (1u << 21) | (1u << 16)) << zone->tz;
}

}  // namespace
