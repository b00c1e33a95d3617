#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/View.h"
#include "platform/ui/values/AttributedString.h"

namespace wv {

enum class WVHintIconStyle { email = 0, info = 1, award = 2, retry = 3, admit = 4 };
// leading: the key row sits between the icon and the text, 10 points from the top;
// bottom: the key row sits under the text.
enum class WVKeyContainerPosition { leading = 0, bottom = 1 };

// The text of a tip: rich text laid out from the top at the view's width, wrapping.
class WVHintTextView : public View {
  public:
    explicit WVHintTextView(const Rect& frame = {});
    const AttributedString& textStorage() const { return text_; }
    void setTextStorage(AttributedString text);
    // The rectangle the laid-out text takes at `width`.
    Rect usedRect(double width) const;

  protected:
    void draw(QPainter& painter, const Rect& dirtyRect) override;

  private:
    AttributedString text_;
};

// The tip panel of the typing screen: an icon at the left, white rich text beside it, and
// either a row of key caps or two buttons. It only lays a tip out; the typing screen shows and
// hides it. Coordinates inside grow downward. All parts are public so that the screen (and
// tests) can place or leave them out; a part set to nullptr is skipped where it is optional.
class WVHintView : public View {
  public:
    // Makes the panel with its parts: backgrounds over the whole frame, a 40-point icon at the
    // top left, the text, the key row and the two (hidden) alert buttons.
    explicit WVHintView(const Rect& frame);

    ImageView* backgroundImage = nullptr;       // behind tips without buttons
    ImageView* backgroundImageSmall = nullptr;  // behind alerts with buttons
    ImageView* iconView = nullptr;
    ScrollView* scrollView = nullptr;
    WVHintTextView* textView = nullptr;
    Button* leftButton = nullptr;
    Button* rightButton = nullptr;
    View* keyContainer = nullptr;
    WVKeyContainerPosition keyPosition = WVKeyContainerPosition::leading;
    std::optional<std::vector<std::string>> keysArray;
    std::optional<AttributedString> text;
    bool hasAlertButtons = false;
    bool hasKeys = false;
    double containerHeight = 23.0;

    bool isFlipped() const override { return true; }

    virtual Size textAreaSize() const;
    virtual Point textOrigin() const;
    virtual void setIcon(WVHintIconStyle style);
    virtual void layoutText();
    virtual void layoutHint();
    // True when the tip shows keys and its first key is "Enter".
    virtual bool isEnterHint() const;

    void showHint(WVHintIconStyle icon, const AttributedString& text,
                  const std::vector<std::string>& keys, WVKeyContainerPosition keyPosition);
    // Switches to two buttons; the caller sets the text and icon, lays out and shows the panel.
    void showAlert(const std::string& leftTitle, std::function<void(Control&)> leftAction,
                   const std::string& rightTitle, std::function<void(Control&)> rightAction);
    void removeKeyViews();

    static const char* iconName(WVHintIconStyle style);
};

}  // namespace wv
