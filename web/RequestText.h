#pragma once
// The text work of one request, apart from the exchange itself: choosing the agent,
// completing the header text, adding the cookie line, and reading the cookies out of
// the response header block.

#include "app/runtime/Text.h"

// The agent named by a "User-Agent:" line of the header text, or DefaultUserAgent.
Text UserAgentFor(TextView headers);

// Appends the Accept, Referer (the address), Accept-Language and Content-Type lines
// that the header text lacks.
void CompleteHeaderText(Text& headers, TextView address);

// Appends "Cookie: " and the cookies (or the cookies as they are when they already
// hold "Cookie:"), after CR LF; nothing for empty cookies.
void AppendCookieLine(Text& headers, TextView cookies);

// Spells every "Set-Cookie" of a response header block in that case.
Text RespellSetCookie(TextView responseHeaders);

// The name=value pairs of the block's "Set-Cookie: " lines, joined by "; ".
Text CookiesOfResponse(TextView responseHeaders);
