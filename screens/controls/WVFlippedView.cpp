#include "screens/controls/WVFlippedView.h"
