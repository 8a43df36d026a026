#include "x11/OpenOnFirstUse.h"

#include <gtest/gtest.h>

#include "tests/support/FakeMouseDevice.h"

namespace tarvik::mouse {
namespace {

TEST(OpenOnFirstUseTest, OpensAtTheFirstAcquireAndHandsTheEarlierHandlerOn) {
    int opened = 0;
    test::FakeMouseDevice* fake = nullptr;
    const auto device = OpenOnFirstUse([&]() -> std::unique_ptr<IMouseDevice> {
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
    EXPECT_FALSE(device->GetDeviceState(state, more));
    EXPECT_FALSE(device->ReadSystemSettings(settings));
    EXPECT_EQ(settings.speed, 7);
    EXPECT_EQ(opened, 0) << "nothing is opened before mouse mode";

    ASSERT_TRUE(device->Acquire());
    EXPECT_TRUE(device->Acquire());
    EXPECT_EQ(opened, 1);
    fake->move(3, 0);
    EXPECT_TRUE(fake->deliver()) << "the handler set before the open reaches the device";
    EXPECT_EQ(handled, 1);
    ASSERT_TRUE(device->GetDeviceState(state, more));
    EXPECT_EQ(state.lX, 3);
    device->Unacquire();
    EXPECT_FALSE(fake->acquired);
}

TEST(OpenOnFirstUseTest, ADisplayWithNoCaptureIsAskedOnce) {
    int opened = 0;
    const auto none = OpenOnFirstUse([&]() -> std::unique_ptr<IMouseDevice> {
        ++opened;
        return nullptr;
    });
    none->setInputHandler([] {});
    EXPECT_FALSE(none->Acquire());
    EXPECT_FALSE(none->Acquire());
    EXPECT_EQ(opened, 1);
    none->Unacquire();
}

}  // namespace
}  // namespace tarvik::mouse
