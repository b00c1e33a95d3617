#include <gtest/gtest.h>

#include "platform/foundation/Folders.h"
#include "platform/plist/UserDefaults.h"

namespace wv {
namespace {

TEST(UserDefaults, ValuesOutliveTheObjectAndADomainCanBeForgotten) {
    const auto file = Folders::dataHome() / "defaults-test" / "UserDefaults.plist";
    {
        UserDefaults d("com.wovanu.typing", file);
        d.setObject("WVCloudLogicChangeToken", plist::Data{1, 2, 3});
        d.setObject("count", 3);
        d.removeObjectForKey("count");
    }
    UserDefaults again("com.wovanu.typing", file);
    EXPECT_EQ(again.objectForKey("WVCloudLogicChangeToken"), plist::Value(plist::Data{1, 2, 3}));
    EXPECT_FALSE(again.objectForKey("count"));
    again.removePersistentDomain("some.other.domain");
    EXPECT_TRUE(again.objectForKey("WVCloudLogicChangeToken"));
    again.removePersistentDomain("com.wovanu.typing");
    EXPECT_FALSE(again.objectForKey("WVCloudLogicChangeToken"));
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_FALSE(UserDefaults("com.wovanu.typing", file).objectForKey("WVCloudLogicChangeToken"));
}

}  // namespace
}  // namespace wv
