// The module list under a flood of reports with ever new macs: it keeps at
// most kMaxModules records, and the heap stops growing there.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/module/ModuleProtocol.h"
#include "support/HeapUse.h"

TEST(ModuleList, TenThousandNewMacsKeepTheFirst4096AndTheHeapStopsGrowingThere) {
    zo::ObjectList<ModleParam> modules;
    auto merge = [&](int k, bool& existed) {
        char text[128];
        snprintf(text, sizeof(text), "{\"mac\":\"DE:AD:%02X:%02X:%02X:%02X\",\"serv_host\":\"flood.example.com\"}",
                 k >> 24 & 255, k >> 16 & 255, k >> 8 & 255, k & 255);
        zo::Json report;
        std::wstring wide(text, text + strlen(text));
        EXPECT_TRUE(report.Parse(wide.c_str(), static_cast<unsigned>(wide.size())));
        return proto::MergeReport(modules, report, existed);
    };
    const size_t start = zotest::HeapBytesInUse();
    size_t atBound = 0;
    int refused = 0;
    for (int k = 0; k < 10000; ++k) {
        bool existed = true;
        ModleParam* record = merge(k, existed);
        if (!record) ++refused;
        EXPECT_FALSE(existed);
        if (k + 1 == static_cast<int>(proto::kMaxModules)) atBound = zotest::HeapBytesInUse();
    }
    const size_t end = zotest::HeapBytesInUse();
    EXPECT_EQ(modules.Count(), proto::kMaxModules);
    EXPECT_EQ(refused, 10000 - static_cast<int>(proto::kMaxModules));
    // A module already known still takes its reports at the bound.
    bool existed = false;
    ModleParam* first = merge(0, existed);
    EXPECT_TRUE(existed);
    EXPECT_EQ(first, modules.Element(0));
    EXPECT_EQ(modules.Element(proto::kMaxModules - 1)->mac, L"DE:AD:00:00:0F:FF");
    printf("heap: %zu bytes for %u records, %zd more after %d refused macs\n", atBound - start, proto::kMaxModules,
           static_cast<ptrdiff_t>(end - atBound), refused);
    EXPECT_LT(atBound - start, proto::kMaxModules * 1024u) << "a record costs about half a kilobyte";
    EXPECT_LT(static_cast<ptrdiff_t>(end - atBound), 64 * 1024) << "refused macs must not grow the heap";
}
