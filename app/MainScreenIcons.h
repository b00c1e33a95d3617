#pragma once

namespace wv {

// The pictures of the typing screen's own buttons ("mainStatisticsIcon", "mainSettingsIcon",
// "mainHelpIcon"), drawn in code. Registering again changes nothing.
void registerMainScreenIcons();

}  // namespace wv
