#pragma once
// One complete HTTP or HTTPS exchange over WinInet.

#include "app/runtime/Text.h"

#include <optional>

// Method codes of WebRequest; any other code sends GET.
enum WebMethod : int {
    WebGet = 0, WebPost = 1, WebHead = 2, WebPut = 3, WebDelete = 4, WebOptions = 5, WebTrace = 6, WebConnect = 7,
};

// The agent sent when the caller's header text names none.
inline constexpr const char* DefaultUserAgent =
    "Mozilla/5.0 (Windows NT 10.0; WOW64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/50.0.2661.102 Safari/537.36";

// Sends one request and returns the response body, expanded when the server compressed
// it (or the caller asked for gzip) and the decoder could expand it. Empty Bytes when no
// internet handle, connection or request could be opened. Omitted optional arguments
// differ from supplied empty ones; pointer arguments are written when given:
//   address          in/out  "http://" is put in front when it names no scheme
//   method                   a WebMethod code (default GET)
//   bodyText                 the body as text, used when bodyBytes is empty
//   cookies          in/out  cookies to send; supplying it at all (even empty) switches
//                            WinInet's own cookie store off, and with mergeCookies it
//                            takes the merged cookies afterwards
//   returnedCookies  out     "name=value; name=value" from the response's Set-Cookie lines
//   headers          in/out  extra request header lines (CR LF separated); keeps the
//                            header text that was sent
//   responseHeaders  out     the raw response header block, "Set-Cookie" spelled so
//   noRedirect               do not follow redirects (default false)
//   bodyBytes        in/out  the body as bytes; filled from bodyText when empty
//   proxy                    "host:port", empty for a direct connection
//   mergeCookies             merge the returned cookies into cookies (default true)
//   completeHeaders          add Accept, Referer, Accept-Language and Content-Type lines
//                            the header text lacks (default true)
//   normaliseHeaderNames     capitalise the header names first (default true)
Bytes WebRequest(Text& address, std::optional<int> method = {}, std::optional<Text> bodyText = {},
                 Text* cookies = nullptr, Text* returnedCookies = nullptr, Text* headers = nullptr,
                 Text* responseHeaders = nullptr, std::optional<bool> noRedirect = {},
                 Bytes* bodyBytes = nullptr, std::optional<Text> proxy = {},
                 std::optional<bool> mergeCookies = {}, std::optional<bool> completeHeaders = {},
                 std::optional<bool> normaliseHeaderNames = {});
