#include "base/dos_time.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <utime.h>

#include "support/temp_dir.h"

namespace {

// The packed form is a local time; fix the zone so that the expected numbers hold everywhere.
struct UtcZone {
    UtcZone() {
        const char* tz = std::getenv("TZ");
        if (tz) saved = tz, had = true;
        setenv("TZ", "UTC", 1);
        tzset();
    }
    ~UtcZone() {
        if (had) setenv("TZ", saved.c_str(), 1);
        else unsetenv("TZ");
        tzset();
    }
    std::string saved;
    bool had = false;
};

}  // namespace

TEST(DosTime, PacksAndUnpacksLocalTime) {
    UtcZone utc;
    struct Case {
        std::time_t t;
        uint32_t dos;
    } cases[] = {
        {1767225600, 0x5C210000},  // 2026-01-01 00:00:00
        {315532800, 0x00210000},   // 1980-01-01 00:00:00
        {1767225600 + 13 * 3600 + 45 * 60 + 58, 0x5C216DBD},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DosDateTimeFromTime(c.t), c.dos);
        EXPECT_EQ(TimeFromDosDateTime(c.dos), c.t);
    }
    // Odd seconds are truncated to the even second below.
    EXPECT_EQ(DosDateTimeFromTime(1767225600 + 59), 0x5C21001D);
    // Before 1980 is clamped to the first representable moment.
    EXPECT_EQ(DosDateTimeFromTime(0), 0x00210000u);
}

TEST(DosTime, LaterIsLargerAndFileTimesAreRead) {
    UtcZone utc;
    EXPECT_LT(DosDateTimeFromTime(1767225600), DosDateTimeFromTime(1767225600 + 2));
    EXPECT_LT(DosDateTimeFromTime(1767225600 + 86400 - 2), DosDateTimeFromTime(1767225600 + 86400));

    TempDir dir;
    const std::string file = dir.write("a.wav", "x");
    utimbuf times{1767225600, 1767225600};
    ASSERT_EQ(utime(file.c_str(), &times), 0);
    EXPECT_EQ(FileDosDateTime(file), std::optional<uint32_t>(0x5C210000));
    EXPECT_EQ(FileDosDateTime(dir.str() + "/missing.wav"), std::nullopt);
}
