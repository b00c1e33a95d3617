#include "platform/net/curl/CurlErrors.h"

#include <curl/curl.h>

#include "platform/net/Error.h"

namespace wv::net {

int64_t urlErrorCodeForCurlCode(int curlCode) {
    switch (static_cast<CURLcode>(curlCode)) {
        case CURLE_OK:
            return 0;
        case CURLE_UNSUPPORTED_PROTOCOL:
            return URLError::UnsupportedURL;
        case CURLE_URL_MALFORMAT:
            return URLError::BadURL;
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
            return URLError::CannotFindHost;
        case CURLE_COULDNT_CONNECT:
            return URLError::CannotConnectToHost;
        case CURLE_OPERATION_TIMEDOUT:
            return URLError::TimedOut;
        case CURLE_TOO_MANY_REDIRECTS:
            return URLError::HTTPTooManyRedirects;
        case CURLE_PEER_FAILED_VERIFICATION:
            return URLError::ServerCertificateUntrusted;
        case CURLE_SSL_CERTPROBLEM:
            return URLError::ClientCertificateRejected;
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_SSL_ENGINE_NOTFOUND:
        case CURLE_SSL_ENGINE_SETFAILED:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_SHUTDOWN_FAILED:
        case CURLE_SSL_CRL_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_INVALIDCERTSTATUS:
        case CURLE_SSL_CLIENTCERT:
            return URLError::SecureConnectionFailed;
        case CURLE_WEIRD_SERVER_REPLY:
            return URLError::BadServerResponse;
        case CURLE_BAD_CONTENT_ENCODING:
            return URLError::CannotDecodeContentData;
        case CURLE_PARTIAL_FILE:
        case CURLE_GOT_NOTHING:
        case CURLE_SEND_ERROR:
        case CURLE_RECV_ERROR:
        case CURLE_HTTP2:
        case CURLE_HTTP2_STREAM:
        case CURLE_HTTP3:
            return URLError::NetworkConnectionLost;
        case CURLE_OUT_OF_MEMORY:
        case CURLE_FILESIZE_EXCEEDED:
            return URLError::CannotParseResponse;
        case CURLE_WRITE_ERROR:
            return URLError::CannotWriteToFile;
        case CURLE_READ_ERROR:
            return URLError::NoPermissionsToReadFile;
        case CURLE_ABORTED_BY_CALLBACK:
            return URLError::Cancelled;
        default:
            return URLError::Unknown;
    }
}

}  // namespace wv::net
