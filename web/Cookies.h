#pragma once
// Folding the cookies a server has just set into the cookie text that was sent, so one
// cookie text can be carried from request to request: new values replace old ones of
// the same name, old cookies the server did not name stay, deleted ones disappear.

#include "app/runtime/Text.h"
#include "app/runtime/TextList.h"

// Merges `received` into `sent` and returns the merged text ("a=1; b=2"). Both arguments
// are rewritten: `received` loses its spaces, `sent` takes the merged text.
Text MergeCookies(Text& sent, Text& received);

// The name of a cookie item: the bytes before the first "=", or the whole item, trimmed.
Text CookieName(TextView item);

// True when some item of the list has exactly this name.
bool HasCookieNamed(const TextList& list, TextView name);

// False only for an item of the form "name=" with nothing after its single "=".
bool CookieHasValue(TextView item);

// The pieces of `text` split at `separator`, each kept at its first occurrence only.
Text JoinDistinct(TextView text, TextView separator);

// The 1-based index of the first item equal to `text`, or -1.
int IndexOfText(const TextList& list, TextView text);
