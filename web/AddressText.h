#pragma once
// Small text routines the request routine rests on: taking an address apart into host,
// port and path, cutting a value out of header text, and putting header names into
// capitalised-word form. Each is a pure function of its arguments; searches are
// GBK-aware (a match never starts on the second byte of a two-byte character).

#include "app/runtime/Text.h"

// The bytes between the first `left` found at or after `start` and the next `right`
// after it; empty when either marker is missing. "#引号" in a marker stands for '"'.
Text TextBetween(TextView text, TextView left, TextView right, int start = 1,
                 bool caseInsensitive = false);

// The bytes in front of the first `separator` at or after `start`; empty when absent.
Text TextBefore(TextView text, TextView separator, int start = 1, bool caseInsensitive = false);

// Everything after the first colon, trimmed; empty without a colon.
Text ValueAfterColon(TextView text);

// The first byte raised to upper case (ASCII only), the rest unchanged.
Text CapitaliseFirst(TextView text);

// Header lines separated by CR LF, each name rewritten as capitalised words
// ("x-requested-with" becomes "X-Requested-With"); lines without a colon are dropped.
Text NormaliseHeaderNames(TextView headerText);

// Host of an address, lower-cased; with `keepPort` the ":port" stays on it.
Text HostOfAddress(TextView address, bool keepPort = false);

// Port named in the address, or 443 for "https..." and 80 otherwise.
int PortOfAddress(TextView address);

// Object name of the address: from the first "/" after the host to the end, or "/".
Text PathOfAddress(TextView address);
