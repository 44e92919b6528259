#include "finder/records/cache_source.h"

#include <gtest/gtest.h>

namespace {

TEST(CacheSourceTest, WhereAResponseCameFrom) {
  const double now = HttpDateMs("Wed, 09 Dec 2026 10:00:00 GMT");
  const HeaderFields fresh = {{"Date", "Wed, 09 Dec 2026 09:00:00 GMT"},
                              {"Cache-Control", "max-age=86400"}};
  const HeaderFields justNow = {{"Date", "Wed, 09 Dec 2026 10:00:00 GMT"},
                                {"Cache-Control", "max-age=60"}};
  const struct {
    const char* what;
    int status;
    bool fromMemory;
    HeaderFields headers;
    const char* seenDate;
    CacheSource source;
  } cases[] = {
      {"a 304", 304, false, {}, "", CacheSource::kRevalidated},
      {"the page's memory cache", 200, true, justNow, "", CacheSource::kMemory},
      {"an hour-old fresh copy", 200, false, fresh, "", CacheSource::kDisk},
      {"the copy seen before", 200, false, justNow, "Wed, 09 Dec 2026 10:00:00 GMT",
       CacheSource::kDisk},
      {"a new answer", 200, false, justNow, "", CacheSource::kNetwork},
      // A proxy's old copy is as old as its Age says.
      {"a proxy's copy",
       200,
       false,
       {{"Date", "Wed, 09 Dec 2026 09:00:00 GMT"},
        {"Age", "3600"},
        {"Cache-Control", "max-age=7200"}},
       "",
       CacheSource::kNetwork},
      {"no-store cannot be cached",
       200,
       false,
       {{"Date", "Wed, 09 Dec 2026 09:00:00 GMT"}, {"Cache-Control", "no-store"}},
       "",
       CacheSource::kNetwork},
      {"an error", 404, false, fresh, "", CacheSource::kNetwork},
      {"no date", 200, false, {{"Cache-Control", "max-age=60"}}, "", CacheSource::kNetwork},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CacheSourceOf(c.status, c.fromMemory, c.headers, now, c.seenDate), c.source)
        << c.what;
  }
  EXPECT_EQ(HttpDateMs("Thu, 01 Jan 1970 00:00:01 GMT"), 1000);
  EXPECT_EQ(HttpDateMs("yesterday"), -1);
}

}  // namespace
