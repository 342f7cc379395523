// klikctl interfaces prints the very table the kiosk reads its station mark
// from.

#include <gtest/gtest.h>

#include "KlikctlRunner.h"
#include "foundation/PropertyList.h"
#include "util/GLIMRA_NetStuff.h"

namespace klik::test {
namespace {

TEST(KlikctlInterfaces, PrintsTheKiosksOwnInterfaceTable) {
    Klikctl k;
    ToolResult r = k.run("interfaces");
    ASSERT_EQ(r.status, 0) << r.err;
    auto table = plistFromBytes(r.out);
    ASSERT_TRUE(table.value) << r.out;
    ASSERT_TRUE(table.value->isDictionary()) << r.out;
    // Entry for entry what the library reads on this machine (the table is
    // read afresh by both; interfaces do not come and go during a test).
    EXPECT_EQ(*table.value->dictionary(), GLIMRA_NetStuff::activeInterfaces()) << r.out;
    const Value& order = (*table.value)["INTERFACE_ORDER"];
    ASSERT_TRUE(order.isArray());
    for (const Value& name : *order.array())
        EXPECT_TRUE((*table.value)[name.stringOr()].isDictionary()) << name.stringOr();

    r = k.run("interfaces eth0");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("usage:"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace klik::test
