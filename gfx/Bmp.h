// Bmp.h -- the screenshot writer: an Image as an uncompressed 32-bit BMP file.
#pragma once

struct Image;

// Writes the Image to `fileName` (replacing any file of that name): 14-byte
// file header, 40-byte information header, rows bottom-up, 4 bytes a pixel.
// 1 when the whole file was written; 0 when the Image has no pixels, the file
// cannot be opened, or a write fails (a partly written file may remain).
int ImageSaveBmp(Image* image, const char* fileName);
