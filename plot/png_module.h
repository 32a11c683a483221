#pragma once

// What the command line and the PNG painter module (fiberbridge-png.so) share.
// The painter needs the window toolkit, which takes longer to load than most
// runs take to compute, so it lives in a module that is loaded only when a PNG
// is asked for. The figure crosses as plain drawing primitives in pixels
// through one C entry point, so no C++ object passes between the two.

#include <stddef.h>

extern "C" {

enum FbPngPrimitiveKind { FB_PNG_CLEAR = 0, FB_PNG_POINT = 1, FB_PNG_LINE = 2, FB_PNG_TEXT = 3 };

/// One primitive, in pixels from the top left. A point uses x1, y1; text sits
/// on a baseline through (x1, y1), `anchor` 0 starting it there, 1 ending it.
struct FbPngPrimitive {
  int kind;
  double x1, y1, x2, y2;
  unsigned char r, g, b;
  float anchor;
  const char* text;  // UTF-8, `textSize` bytes, not terminated
  size_t textSize;
};

/// Paints `count` primitives on a white width x height image and encodes it
/// as PNG into `*data` (`*size` bytes, allocated with malloc; the caller frees
/// it), so that the command line writes it as it writes every result file.
/// Returns 0 when encoded; otherwise writes the reason, terminated, into
/// `reason` (`reasonSize` bytes).
typedef int (*FbPngEncode)(int width, int height, const FbPngPrimitive* primitives, size_t count, unsigned char** data,
                           size_t* size, char* reason, size_t reasonSize);
}

namespace fb {

/// The module's file name and its entry point, whose name carries the version
/// of the primitive layout above.
inline constexpr const char* kPngModuleFile = "fiberbridge-png.so";
inline constexpr const char* kPngEntryPoint = "fiberbridge_png_encode_v2";

}  // namespace fb
