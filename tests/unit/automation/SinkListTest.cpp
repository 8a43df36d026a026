#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "automation/SinkList.h"

namespace tarvik {
namespace {

std::vector<std::string> Order(const SinkList& list) {
    std::vector<std::string> paths;
    list.forEach([&](const SinkRef& sink) { paths.push_back(sink.path); });
    return paths;
}

TEST(SinkList, SlotsGrowOneFourDoubleAndAnEmptiedSlotIsReusedInOrder) {
    SinkList list;
    const uint32_t a = list.advise({":1.1", "/a"});
    EXPECT_EQ(list.slotCount(), 1u);
    const uint32_t b = list.advise({":1.1", "/b"});
    EXPECT_EQ(list.slotCount(), 4u) << "the single entry moves to slot 0 and the new one takes slot 1";
    EXPECT_EQ(list.cookieAt(0), a);
    EXPECT_EQ(list.cookieAt(1), b);
    list.advise({":1.2", "/c"});
    list.advise({":1.2", "/d"});
    list.advise({":1.2", "/e"});
    EXPECT_EQ(list.slotCount(), 8u);

    EXPECT_EQ(list.unadvise(b, ":1.1"), SinkList::Removal::Removed);
    EXPECT_EQ(list.unadvise(b, ":1.1"), SinkList::Removal::NoConnection);
    EXPECT_EQ(list.slotCount(), 8u) << "never shrinks";
    const uint32_t f = list.advise({":1.3", "/f"});
    EXPECT_EQ(list.cookieAt(1), f);
    EXPECT_EQ(Order(list), (std::vector<std::string>{"/a", "/f", "/c", "/d", "/e"}));
    EXPECT_NE(f, b) << "a cookie is never handed out twice";
}

TEST(SinkList, OnlyTheAdvisingConnectionUnadvisesAndRundownEmptiesItsSlots) {
    SinkList list;
    const uint32_t a = list.advise({":1.1", "/a"});
    EXPECT_EQ(list.unadvise(0, ":1.1"), SinkList::Removal::NoConnection);
    EXPECT_EQ(list.unadvise(a, ":1.9"), SinkList::Removal::NotOwner);
    EXPECT_EQ(list.slotCount(), 1u);
    EXPECT_EQ(list.unadvise(a, ":1.1"), SinkList::Removal::Removed);
    EXPECT_EQ(list.slotCount(), 0u) << "the only sink gone: back to an empty list";

    list.advise({":1.1", "/a"});
    list.advise({":1.2", "/b"});
    list.advise({":1.1", "/c"});
    list.removeConnection(":1.1");
    EXPECT_EQ(Order(list), (std::vector<std::string>{"/b"}));
    EXPECT_FALSE(list.hasConnection(":1.1"));
    EXPECT_TRUE(list.hasConnection(":1.2"));
}

TEST(SinkList, StorageIsBounded) {
    SinkList list;
    size_t accepted = 0;
    while (list.advise({":1.1", "/s"}) != 0) ++accepted;
    EXPECT_EQ(accepted, SinkList::MaxSlots);
    EXPECT_EQ(list.slotCount(), SinkList::MaxSlots);
}

}  // namespace
}  // namespace tarvik
