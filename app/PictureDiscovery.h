#pragma once
// The check of the post address and the discovery of the post's pictures, run on every
// change of the address box.

#include "app/runtime/Text.h"

// The page's picture tags that carry the site's large-picture marker; group 1 is the
// picture address as the page writes it. Note the two spaces before src.
inline const Text HtmlPicturePattern =
    "<img class=\"if_error_show\" onerror=\"this.onerror=null;this.style.display='none';\"  "
    "src=\"(.*?)!weblarge\" title=\"(.*?)\" alt=\"(.*?)\" />";

// The picture records the page carries as JSON; group 1 is the picture address.
inline const Text JsonPicturePattern = "{\"image\":\"(.*?)\",\"imageHeight\":(.*?),\"imageWidth\":(.*?)}";

// Put in front of every found address: the page writes them as //host/path.
inline const Text PictureAddressPrefix = "https:";

void OnAddressChanged();
bool CheckAddress();
void DiscoverPictures();
Text FetchPageText(Text address);
void ShowPictureCount();
