#include "app/Globals.h"

Text SaveFolder;
TextList PictureList;
std::uintptr_t GdiplusTokenA = 0;
std::uintptr_t GdiplusTokenB = 0;
Window MainWindow;
