#include <gtest/gtest.h>

#include "platform/foundation/AlertPresenter.h"
#include "platform/foundation/ClassRegistry.h"

namespace wv {
namespace {

class FixedAnswer : public AlertPresenter {
  public:
    explicit FixedAnswer(long answer) : answer_(answer) {}
    long runModal(const Alert&) override { return answer_; }

  private:
    long answer_;
};

TEST(AlertPresenter, IsFoundByTheAlertClassNameAndOnlyItsOwnerUnlinksIt) {
    ScopedClassRegistration clean{std::string(kAlertClassName), std::any()};
    EXPECT_EQ(registeredAlertPresenter(), nullptr);

    auto first = std::make_shared<FixedAnswer>(kAlertFirstButtonReturn);
    auto second = std::make_shared<FixedAnswer>(kAlertSecondButtonReturn);
    registerAlertPresenter(first);
    EXPECT_TRUE(ClassRegistry::shared().isLinked("NSAlert"));
    EXPECT_EQ(registeredAlertPresenter(), first);

    registerAlertPresenter(second);
    EXPECT_EQ(registeredAlertPresenter(), second);
    unregisterAlertPresenter(first);  // no longer the linked one: nothing changes
    EXPECT_EQ(registeredAlertPresenter(), second);
    unregisterAlertPresenter(second);
    EXPECT_EQ(registeredAlertPresenter(), nullptr);
}

TEST(AlertPresenter, SomethingElseLinkedUnderTheNameIsNoPresenter) {
    ScopedClassRegistration other{std::string(kAlertClassName), std::string("not a presenter")};
    EXPECT_EQ(registeredAlertPresenter(), nullptr);
    registerAlertPresenter(nullptr);  // nothing to link
    EXPECT_EQ(registeredAlertPresenter(), nullptr);
}

}  // namespace
}  // namespace wv
