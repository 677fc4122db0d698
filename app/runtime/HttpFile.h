#pragma once
// Reads a file over HTTP or HTTPS: a GET with "HTTP/1.0", the runtime's own user agent
// and "Accept: */*", bypassing the cache, directly without a proxy. The runtime keeps
// one internet handle for the whole process.

#include "app/runtime/Text.h"

struct HttpFile {
    Bytes body;          // what arrived of the body
    unsigned status = 0; // the response status; 0 when no response came
    bool complete = false;  // the body arrived whole (as long as announced, or to its end)

    // A picture a caller can keep: a whole body of a successful (2xx) response.
    bool Succeeded() const { return complete && status >= 200 && status < 300; }
};

// Empty result when the address cannot be parsed or no connection or request can be
// made; the bytes received so far, not complete, when the transfer breaks off.
HttpFile ReadHttpFile(TextView address);

inline constexpr char HttpFileUserAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
