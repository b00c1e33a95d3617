#pragma once

#include "sdk/core/QXURLSessionDataTask.h"

namespace wv {

// A data task whose body streams from a file (the request's body file).
class QXURLSessionUploadTask : public QXURLSessionDataTask {};

}  // namespace wv
