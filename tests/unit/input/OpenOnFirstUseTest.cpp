#include "x11/OpenOnFirstUse.h"

#include <gtest/gtest.h>

#include "tests/support/FakeMouseDevice.h"

namespace tarvik::mouse {
namespace {

TEST(OpenOnFirstUseTest, OpensAtTheFirstAcquireAndHandsTheEarlierHandlerOn) {
    int opened = 0;
    test::FakeMouseDevice* fake = nullptr;
    const auto device = openOnFirstUse([&]() -> std::unique_ptr<MouseDevice> {
        ++opened;
        auto made = std::make_unique<test::FakeMouseDevice>();
        fake = made.get();
        return made;
    });
    int handled = 0;
    device->setInputHandler([&] { ++handled; });
    MouseDeviceState state;
    bool more = false;
    SystemMouseSettings settings;
    settings.speed = 7;
    EXPECT_FALSE(device->getDeviceState(state, more));
    EXPECT_FALSE(device->readSystemSettings(settings));
    EXPECT_EQ(settings.speed, 7);
    EXPECT_EQ(opened, 0) << "nothing is opened before mouse mode";

    ASSERT_TRUE(device->acquire());
    EXPECT_TRUE(device->acquire());
    EXPECT_EQ(opened, 1);
    fake->move(3, 0);
    EXPECT_TRUE(fake->deliver()) << "the handler set before the open reaches the device";
    EXPECT_EQ(handled, 1);
    ASSERT_TRUE(device->getDeviceState(state, more));
    EXPECT_EQ(state.lX, 3);
    device->unacquire();
    EXPECT_FALSE(fake->acquired);
}

TEST(OpenOnFirstUseTest, ADisplayWithNoCaptureIsAskedOnce) {
    int opened = 0;
    const auto none = openOnFirstUse([&]() -> std::unique_ptr<MouseDevice> {
        ++opened;
        return nullptr;
    });
    none->setInputHandler([] {});
    EXPECT_FALSE(none->acquire());
    EXPECT_FALSE(none->acquire());
    EXPECT_EQ(opened, 1);
    none->unacquire();
}

}  // namespace
}  // namespace tarvik::mouse
