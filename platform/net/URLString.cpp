#include "platform/net/URLString.h"

#include <curl/curl.h>

namespace wv::net {

bool isValidURL(const std::string& text) {
    if (text.empty()) return false;
    CURLU* url = curl_url();
    if (!url) return false;
    const bool ok = curl_url_set(url, CURLUPART_URL, text.c_str(), 0) == CURLUE_OK;
    curl_url_cleanup(url);
    return ok;
}

}  // namespace wv::net
