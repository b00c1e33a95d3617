#pragma once

#include <string>

namespace wv::net {

// True when the text is an absolute URL a strict parser accepts: a scheme, a host for the
// schemes that need one, and no character that must have been escaped (a blank, a quote).
bool isValidURL(const std::string& text);

}  // namespace wv::net
