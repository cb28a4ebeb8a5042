// FaceText.h -- large text in a named system font face (the title), measured
// and drawn onto an Image through SDL_ttf, with fontconfig finding the face.
//
// `height` is the font's cell height in pixels (ascent plus descent): the
// face is opened at the point size whose cell is exactly that high, or the
// largest that stays below it. A negative height asks for a character (em)
// height of -height pixels instead, 0 for a default size. `width` is the
// average character width in pixels; 0 keeps the face's own proportions, a
// positive width stretches or squeezes the glyphs horizontally.
//
// A face that fontconfig cannot find (neither the face itself nor one of its
// declared metric-compatible stand-ins: "Arial" gives Liberation Sans), a
// font that cannot be opened, or an Image without pixels makes both
// operations do nothing: the measure then leaves its outputs as they were.
// Opened fonts are kept for the rest of the run, one per face and size, and
// so are the last string measured and the last one rendered: the title
// costs neither a measure nor a rendering per frame.
#pragma once

#include <cstdint>

struct Image;

// Writes the width the string covers when drawn and the cell height.
void MeasureFaceText(Image* image, const char* text, const char* face, int32_t width, int32_t height, int32_t* outWidth,
                     int32_t* outHeight);

// Draws the string smoothed and blended over the Image in `colour`
// (0x00RRGGBB), with no background, (x, y) the top-left corner of its cell.
// Upside down, the text is turned a half turn about (x, y): it runs right to
// left, the cell lying above and left of that point.
void DrawFaceText(Image* image, const char* text, int32_t x, int32_t y, uint32_t colour, const char* face,
                  int32_t width, int32_t height, int upsideDown);

// Does on a thread of its own what the first MeasureFaceText and
// DrawFaceText of this string would do -- read the font configuration, open
// the face at the size, measure and render the string -- so that it runs
// beside the rest of start-up. Every other call here first waits for it, so
// the results are exactly those of doing it on the spot. At most one runs.
void FaceTextPrepare(const char* text, const char* face, int32_t width, int32_t height, uint32_t colour);

// Closes every font this module opened; an exit hook registered the first
// time a font is needed, harmless to call again.
void FaceTextShutdown();
