// The HttpRequest record behind the operations of http/request.h; tests
// include it to look at the phase and the transport after an execution.
#pragma once

#include "http/connection.h"
#include "http/request.h"
#include "http/request_writer.h"
#include "http/response.h"
#include "http/uri.h"

namespace zcv {

// Room for the standard message of an error number.
constexpr int kErrorTextBytes = 256;

// Phases of an exchange.
constexpr int kStateIdle = 0;
constexpr int kStateSending = 1;
constexpr int kStateReadingHead = 2;
constexpr int kStateReadingBody = 3;

struct HttpRequest {
  HttpUri uri;
  HttpOutgoingRequest outgoing;
  HttpResponse response;
  HttpConnection connection;
  const char* failureReason = nullptr;  // a static text or `errorText`
  int connected = 0;
  int state = kStateIdle;
  char errorText[kErrorTextBytes];  // unset until an error number is written into it
};

}  // namespace zcv
