#pragma once

#include <memory>
#include <optional>
#include <string>

#include "app/KeyFaceCache.h"
#include "app/TitleLayer.h"
#include "platform/dispatch/Timer.h"
#include "platform/ui/Button.h"

namespace wv {

// One key of the on-screen keyboard (character keys, Tab, Delete, Return). Its caption is
// drawn by its own caption layer; under the caption an overlay shows the blue pulse of the
// next key, the red fade of a wrong key or a red heat shade. The keyboard view drives it.
class WVKeyboardButton : public Button {
  public:
    // `label` is the title a key carries from the start (Tab, Delete, Return); it is
    // drawn by the cell, not the caption layer, and sets no equivalentKey. Without a cell the
    // key gets a WVKeyboardCell.
    explicit WVKeyboardButton(const Rect& frame = {}, const std::string& label = {},
                              std::unique_ptr<ButtonCell> cell = nullptr);
    ~WVKeyboardButton() override;

    // The caption last set through setTitle, unchanged (not upper-cased).
    std::optional<std::string> equivalentKey;
    bool isError = false;
    // While true the key shows its heat shade and refuses the error flash.
    bool heatMapOn = false;
    std::shared_ptr<Layer> animationLayer;
    std::shared_ptr<TitleLayer> textLayer;
    // The one-shot timer that ends an error flash.
    std::shared_ptr<Timer> timer;
    // The language whose case rules upper-case the caption ("tr" for Turkish; "" for the
    // common rules).
    std::string captionLocale;

    // Builds the caption in the interface's scale, shown upper-cased (see captionText).
    void setTitle(const std::string& title) override;
    // A key's characters as its caption shows them: upper-cased, except a character whose
    // capital does not lead back to it ("ß", whose capital is "SS"; the final "ς", whose
    // capital is the "Σ" of the "σ" key), which would not tell its key from another.
    static std::string captionText(const std::string& text, const std::string& locale);

    virtual void setupLayers();
    // The blue pulse: overlay opacity 0.7 to 0.2 and back, until stopped.
    virtual void startHighlightAnimation();
    // The static red shade of a key with typos: opacity 0.3 to 1.0 by level; none for a key
    // that has no caption.
    virtual void showHeatMap(bool isError, float level);
    // The red fade of a wrong key, hidden after 3 seconds; refused while the heat shade shows.
    virtual void flashError();
    virtual void stopHighlightAnimation();

    // The opacity of the heat shade for a level.
    static float heatOpacity(float level);
    static constexpr double kFlashSeconds = 3.0;

  protected:
    void draw(QPainter& painter, const Rect& dirtyRect) override;

  private:
    KeyFaceCache face_;
};

}  // namespace wv
