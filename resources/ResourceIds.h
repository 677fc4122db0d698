#pragma once
// Ids of the data resources embedded in the program.

#define IDR_DECORATION_PHOTOS 101    /* main window, 图片框3: PNG 78 x 90 */
#define IDR_DECORATION_DOWNLOAD 102  /* main window, 图片框1: PNG 515 x 448 */
