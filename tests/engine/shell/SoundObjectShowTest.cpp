#include <gtest/gtest.h>

#include "aCmdDevices.h"
#include "aGrfObj.h"
#include "aSndObj.h"

namespace {

// Command 1406 on a sound object: bit 0 of the value shows its status box.
TEST(SoundObjectShow, BitZeroSetsRunVisible) {
    CComPtr<IUnknown> unknown;
    ASSERT_EQ(CreateSoundObject(&unknown), S_OK);
    CComPtr<ISoundDispObj> sound;
    ASSERT_EQ(unknown->QueryInterface(__uuidof(ISoundDispObj), reinterpret_cast<void**>(&sound)),
              S_OK);
    CCmdDevices devices;
    const struct {
        SHORT value;
        LONG visible;
    } cases[] = {{1, 1}, {2, 0}, {3, 1}, {0, 0}};
    for (const auto& c : cases) {
        EXPECT_TRUE(devices.SoundObjectShow(unknown, c.value)) << c.value;
        LONG v = -1;
        sound->get_ObjRunVisible(&v);
        EXPECT_EQ(v, c.visible) << c.value;
    }
    // Something that is no sound object is left alone.
    CComPtr<IUnknown> other;
    ASSERT_EQ(CreateGraphObject(&other), S_OK);
    EXPECT_FALSE(devices.SoundObjectShow(other, 1));
    EXPECT_FALSE(devices.SoundObjectShow(nullptr, 1));
}

}  // namespace
