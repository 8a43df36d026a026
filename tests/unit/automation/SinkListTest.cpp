#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "automation/SinkList.h"

namespace tarvik {
namespace {

std::vector<std::string> Order(const CSinkList& list) {
    std::vector<std::string> paths;
    list.ForEach([&](const SinkRef& sink) { paths.push_back(sink.path); });
    return paths;
}

TEST(SinkList, SlotsGrowOneFourDoubleAndAnEmptiedSlotIsReusedInOrder) {
    CSinkList list;
    const uint32_t a = list.Advise({":1.1", "/a"});
    EXPECT_EQ(list.SlotCount(), 1u);
    const uint32_t b = list.Advise({":1.1", "/b"});
    EXPECT_EQ(list.SlotCount(), 4u) << "the single entry moves to slot 0 and the new one takes slot 1";
    EXPECT_EQ(list.CookieAt(0), a);
    EXPECT_EQ(list.CookieAt(1), b);
    list.Advise({":1.2", "/c"});
    list.Advise({":1.2", "/d"});
    list.Advise({":1.2", "/e"});
    EXPECT_EQ(list.SlotCount(), 8u);

    EXPECT_EQ(list.Unadvise(b, ":1.1"), CSinkList::Removal::Removed);
    EXPECT_EQ(list.Unadvise(b, ":1.1"), CSinkList::Removal::NoConnection);
    EXPECT_EQ(list.SlotCount(), 8u) << "never shrinks";
    const uint32_t f = list.Advise({":1.3", "/f"});
    EXPECT_EQ(list.CookieAt(1), f);
    EXPECT_EQ(Order(list), (std::vector<std::string>{"/a", "/f", "/c", "/d", "/e"}));
    EXPECT_NE(f, b) << "a cookie is never handed out twice";
}

TEST(SinkList, OnlyTheAdvisingConnectionUnadvisesAndRundownEmptiesItsSlots) {
    CSinkList list;
    const uint32_t a = list.Advise({":1.1", "/a"});
    EXPECT_EQ(list.Unadvise(0, ":1.1"), CSinkList::Removal::NoConnection);
    EXPECT_EQ(list.Unadvise(a, ":1.9"), CSinkList::Removal::NotOwner);
    EXPECT_EQ(list.SlotCount(), 1u);
    EXPECT_EQ(list.Unadvise(a, ":1.1"), CSinkList::Removal::Removed);
    EXPECT_EQ(list.SlotCount(), 0u) << "the only sink gone: back to an empty list";

    list.Advise({":1.1", "/a"});
    list.Advise({":1.2", "/b"});
    list.Advise({":1.1", "/c"});
    list.RemoveConnection(":1.1");
    EXPECT_EQ(Order(list), (std::vector<std::string>{"/b"}));
    EXPECT_FALSE(list.HasConnection(":1.1"));
    EXPECT_TRUE(list.HasConnection(":1.2"));
}

TEST(SinkList, StorageIsBounded) {
    CSinkList list;
    size_t accepted = 0;
    while (list.Advise({":1.1", "/s"}) != 0) ++accepted;
    EXPECT_EQ(accepted, CSinkList::kMaxSlots);
    EXPECT_EQ(list.SlotCount(), CSinkList::kMaxSlots);
}

}  // namespace
}  // namespace tarvik
