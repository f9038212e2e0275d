// The DirectDraw stand-in: an 8-bit palette display with a flipping chain, off-screen
// surfaces, blits with a source colour key and left-right mirroring, a clipper, a 256-entry
// palette, and GDI-style text on a surface.
//
// Every operation returns 0 on success and nonzero on failure, like DD_OK and the DDERR_
// codes; on failure its outputs are left as they were. Every operation that can fail asks
// `ShouldFail` with its own name first, so tests can make any of them fail.
//
// Ownership: `DirectDrawCreate` and the Create operations hand out objects that the caller owns
// through `std::unique_ptr`. The back buffer of a flipping primary belongs to the primary and
// is handed out by `GetAttachedSurface` as a plain pointer that is valid while the primary
// lives. A surface keeps the palette and clipper attached to it alive (like a COM reference),
// so they may be released in any order. Nothing made by a `DirectDraw` object points back at
// it: the objects may outlive it. A windowed primary presents into the SDL window behind the
// `Window` it was made for; that window must outlive the primary.
//
// Presentation: a `DirectDraw` object that was given a window shows its primary in that SDL
// window, scaled from the display mode's size to the screen. One given no window (a null
// window, or no `SetCooperativeLevel` call) is headless: flips convert into a 32-bit frame in
// memory, `presentedFrame()`, and do not wait.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/vector_paths.h"

namespace karst::platform {

class Window;
class Presenter;

// The widest and tallest off-screen surface CreateSurface makes.
inline constexpr std::uint32_t kLargestSurfaceSide = 65536;

// Surface description flags, capabilities.
inline constexpr std::uint32_t DDSD_CAPS = 0x1;
inline constexpr std::uint32_t DDSD_HEIGHT = 0x2;
inline constexpr std::uint32_t DDSD_WIDTH = 0x4;
inline constexpr std::uint32_t DDSD_BACKBUFFERCOUNT = 0x20;
inline constexpr std::uint32_t DDSCAPS_BACKBUFFER = 0x4;
inline constexpr std::uint32_t DDSCAPS_COMPLEX = 0x8;
inline constexpr std::uint32_t DDSCAPS_FLIP = 0x10;
inline constexpr std::uint32_t DDSCAPS_OFFSCREENPLAIN = 0x40;
inline constexpr std::uint32_t DDSCAPS_PRIMARYSURFACE = 0x200;
// Cooperative levels.
inline constexpr std::uint32_t DDSCL_FULLSCREEN = 0x1;
inline constexpr std::uint32_t DDSCL_EXCLUSIVE = 0x10;
// Palette capabilities, colour keys, lock, blit and flip flags.
inline constexpr std::uint32_t DDPCAPS_8BIT = 0x4;
inline constexpr std::uint32_t DDCKEY_SRCBLT = 0x8;
inline constexpr std::uint32_t DDLOCK_WAIT = 0x1;
inline constexpr std::uint32_t DDBLT_DDFX = 0x800;
inline constexpr std::uint32_t DDBLT_KEYSRC = 0x8000;
inline constexpr std::uint32_t DDBLT_WAIT = 0x1000000;
inline constexpr std::uint32_t DDBLTFX_MIRRORLEFTRIGHT = 0x2;
inline constexpr std::uint32_t DDFLIP_WAIT = 0x1;

// Right and bottom lie one past the last pixel.
struct Rect {
  std::int32_t left;
  std::int32_t top;
  std::int32_t right;
  std::int32_t bottom;
};

// The members of a surface description that this layer reads; `flags` says which are valid.
struct SurfaceDesc {
  std::uint32_t flags;
  std::uint32_t height;
  std::uint32_t width;
  std::uint32_t caps;
  std::uint32_t backBufferCount;
};

// What a lock gives: the first byte of the locked area and the distance in bytes between rows.
struct LockedMemory {
  std::uint8_t* pixels;
  std::int32_t pitch;
};

struct PaletteEntry {
  std::uint8_t red;
  std::uint8_t green;
  std::uint8_t blue;
  std::uint8_t flags;
};

using PaletteTable = std::array<PaletteEntry, 256>;

// Blit effects; only `ddfx` (DDBLTFX_MIRRORLEFTRIGHT) is understood.
struct BltFx {
  std::uint32_t ddfx;
};

// A read-only look at a surface's pixels; it owns nothing and is valid until the surface is
// flipped or destroyed.
struct PixelView {
  const std::uint8_t* pixels;
  std::int32_t pitch;
  std::int32_t width;
  std::int32_t height;

  std::uint8_t at(std::int32_t x, std::int32_t y) const {
    return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(pitch) + static_cast<std::size_t>(x)];
  }
};

// Proof that a `DirectDraw` object made the thing being constructed, after it checked the
// arguments: nothing else can make one.
class CreationKey {
  friend class DirectDraw;
  CreationKey() = default;
};

// 256 colours. Attaching it to a surface shares the entries, so later `SetEntries` calls show
// on every surface that carries it.
class Palette {
 public:
  Palette(CreationKey, const PaletteEntry* entries);

  // Replaces entries first .. first + count - 1. Flags must be 0; the range must lie inside
  // the 256 entries.
  int SetEntries(std::uint32_t flags, std::uint32_t first, std::uint32_t count, const PaletteEntry* entries);

  const PaletteTable& entries() const { return *entries_; }

 private:
  friend class Surface;
  std::shared_ptr<PaletteTable> entries_;
};

// Clips blits onto the surfaces that carry it. Once bound to a window it clips to the screen,
// (0, 0) to the display mode's size at the time the clipper was made; until then blits
// through it fail.
class Clipper {
 public:
  Clipper(CreationKey, std::int32_t screenWidth, std::int32_t screenHeight);

  // Flags must be 0. A null window is accepted (a headless display).
  int SetHWnd(std::uint32_t flags, Window* window);

 private:
  friend class Surface;
  struct ClipList {
    bool bound;
    Rect screen;
  };
  std::shared_ptr<ClipList> clipList_;
};

class Surface;

// A GDI device context on a surface, from `Surface::GetDC` until `Surface::ReleaseDC`. Colours
// are COLORREF values, 0x00BBGGRR; they are drawn in the palette index nearest to them (ties:
// the lower index) in the surface's palette, or the primary's for a back buffer, or, with no
// palette anywhere, in index 0. The defaults are GDI's: black text on white, opaque.
class DeviceContext {
 public:
  void SetBkColor(std::uint32_t colorRef) { background_ = colorRef; }
  void SetTextColor(std::uint32_t colorRef) { text_ = colorRef; }

  // Writes `length` bytes of `text` (Latin-1; a zero byte ends it early) with the top-left
  // corner of its cell at (x, y): the cell, as wide as the text and as high as the font, is
  // filled with the background colour and the glyphs drawn over it, not antialiased, clipped to
  // the surface. A length of 0 writes nothing. Fails for a negative length, a null text or a
  // context that is not in use.
  int TextOut(std::int32_t x, std::int32_t y, const char* text, std::int32_t length);

 private:
  friend class Surface;
  Surface* surface_ = nullptr;
  std::uint32_t background_ = 0xFFFFFF;
  std::uint32_t text_ = 0x000000;
};

// An 8-bit surface in memory: `height` rows of `pitch` bytes, of which the first `width` are
// pixels. The pitch is the width rounded up to a multiple of 8. A surface is never lost.
class Surface {
 public:
  Surface(CreationKey, std::int32_t width, std::int32_t height);
  ~Surface();
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  // Locks the whole surface (null rectangle) or a rectangle inside it. The flags are hints and
  // are not looked at. Fails while the surface is locked or has a device context.
  int Lock(const Rect* rect, LockedMemory& memory, std::uint32_t flags);
  // Ends the lock. The rectangle is null or the one that was locked; fails when not locked.
  int Unlock(const Rect* rect);

  // Sets the source colour key: pixels whose index lies in low .. high are transparent in
  // blits with DDBLT_KEYSRC. Flags must be DDCKEY_SRCBLT.
  int SetColorKey(std::uint32_t flags, std::uint32_t low, std::uint32_t high);
  // Attaches a clipper (null detaches it). The surface shares the clipper's clip list.
  int SetClipper(Clipper* clipper);
  // Attaches a palette (null detaches it). The surface shares the palette's entries.
  int SetPalette(Palette* palette);
  // The back buffer of a flipping primary, for DDSCAPS_BACKBUFFER; it stays the primary's.
  int GetAttachedSurface(std::uint32_t caps, Surface*& attached);

  // Copies `sourceRect` of `source` (null: all of it) to `destRect` of this surface (null: all
  // of it). Both rectangles have the same size; the source rectangle lies inside its surface.
  // The destination is clipped to the clipper's screen, or to the surface without a clipper.
  // Flags: DDBLT_WAIT (no effect), DDBLT_KEYSRC (skip pixels in the source's colour key range;
  // fails when the source has no key), DDBLT_DDFX with `fx` (DDBLTFX_MIRRORLEFTRIGHT reverses
  // the source rectangle left to right within the destination). Source and destination may be
  // the same surface. Fails while either surface is locked or has a device context.
  int Blt(const Rect* destRect, const Surface* source, const Rect* sourceRect, std::uint32_t flags, const BltFx* fx);

  int GetDC(DeviceContext& context);
  int ReleaseDC(DeviceContext& context);

  // On a flipping primary: swaps its pixels with its back buffer's (target null or the back
  // buffer) and presents them through the primary's palette. Windowed, it returns no sooner
  // than the next display refresh; headless, it does not wait.
  int Flip(Surface* target, std::uint32_t flags);

  int IsLost() const { return 0; }
  int Restore() { return 0; }

  std::int32_t width() const { return width_; }
  std::int32_t height() const { return height_; }
  std::int32_t pitch() const { return pitch_; }
  // The pixels; on a flipping primary, the frame on screen.
  PixelView pixels() const;
  // The entries of the attached palette; all zero without one.
  PaletteTable paletteEntries() const;
  // On a flipping primary: frames presented so far.
  std::uint64_t flipCount() const { return flipCount_; }
  // A windowed primary: how often the system's request to paint the window again was answered
  // with the last presented frame.
  std::uint64_t repaintCount() const;
  // On a headless primary: the last presented frame, `width` x `height` 0xAARRGGBB values
  // (alpha 0xFF); empty before the first flip and on a windowed primary.
  const std::vector<std::uint32_t>& presentedFrame() const;

 private:
  friend class DirectDraw;
  friend class DeviceContext;
  friend int BltReference(Surface&, const Rect*, const Surface*, const Rect*, std::uint32_t, const BltFx*);
  friend int BltWith(Vectors, Surface&, const Rect*, const Surface*, const Rect*, std::uint32_t, const BltFx*);

  enum class Access { Free, Locked, Context };

  // A checked blit: the whole source rectangle, where its top-left pixel would land, and the
  // part of the destination that may be written.
  struct BltPlan {
    std::int32_t sourceLeft;
    std::int32_t sourceTop;
    std::int32_t width;
    std::int32_t height;
    std::int32_t destLeft;
    std::int32_t destTop;
    Rect clip;
    bool mirrored;
    bool keyed;
    std::uint32_t keyLow;
    std::uint32_t keyHigh;
  };

  int PlanBlt(const Rect* destRect, const Surface* source, const Rect* sourceRect, std::uint32_t flags, const BltFx* fx,
              BltPlan& plan) const;

  // `vectors`: which row loops draw the blit.
  int DrawBlt(const Rect* destRect, const Surface* source, const Rect* sourceRect, std::uint32_t flags, const BltFx* fx,
              Vectors vectors);

  void MakeFlippingPrimary(std::unique_ptr<Surface> backBuffer, std::unique_ptr<Presenter> presenter);
  const PaletteTable* drawingPalette() const;
  std::uint8_t* row(std::int32_t y) {
    return pixels_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(pitch_);
  }

  std::int32_t width_;
  std::int32_t height_;
  std::int32_t pitch_;
  std::vector<std::uint8_t> pixels_;
  Access access_ = Access::Free;
  Rect lockedRect_{};
  bool hasColorKey_ = false;
  std::uint32_t colorKeyLow_ = 0;
  std::uint32_t colorKeyHigh_ = 0;
  std::shared_ptr<Clipper::ClipList> clipList_;
  std::shared_ptr<PaletteTable> palette_;
  // A flipping primary owns its back buffer and its presenter; a back buffer knows its primary.
  std::unique_ptr<Surface> backBuffer_;
  std::unique_ptr<Presenter> presenter_;
  Surface* primary_ = nullptr;
  std::uint64_t flipCount_ = 0;
};

// The plain blit, pixel by pixel, that `Surface::Blt` must match bit for bit (same result
// code, same pixels). It does not consult the fault switch.
int BltReference(Surface& dest, const Rect* destRect, const Surface* source, const Rect* sourceRect,
                 std::uint32_t flags, const BltFx* fx);

// `Surface::Blt` drawn with the row loops of `vectors` (one of AvailableVectors()) whatever
// KARST_VECTORS says, so that every path is held against BltReference wherever the tests run.
// It does not consult the fault switch.
int BltWith(Vectors vectors, Surface& dest, const Rect* destRect, const Surface* source, const Rect* sourceRect,
            std::uint32_t flags, const BltFx* fx);

// The DirectDraw object: the display mode and the window it presents into.
class DirectDraw {
 public:
  DirectDraw() = default;

  // `window` null: headless. Flags: 0, or DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN, which makes a
  // window full screen when the mode is set. A window is taken for the display here: its SDL
  // window is made and, with the first, the video driver started (`OpenNativeWindow`); this
  // fails where no driver can show a window to a person.
  int SetCooperativeLevel(Window* window, std::uint32_t flags);
  // 8 bits per pixel only, width and height 1 to 16384. With an exclusive window: the window
  // is moved and sized to cover the display it is on, becomes full screen on the desktop and is
  // shown; it is not minimised when it loses focus. Without exclusive cooperation the window
  // keeps its size and frame and is shown. Either way the mode's picture is shown in it scaled
  // by a whole number and centred, where the window is at least as large as the picture, and
  // the window reports mouse positions in the picture's pixels. A window resized later shows
  // the picture scaled and centred afresh.
  int SetDisplayMode(std::uint32_t width, std::uint32_t height, std::uint32_t bitsPerPixel);
  // Two kinds: the flipping primary (DDSD_CAPS | DDSD_BACKBUFFERCOUNT, caps
  // DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX, one back buffer, the mode's
  // size; needs the display mode), or an off-screen surface (DDSD_CAPS | DDSD_WIDTH |
  // DDSD_HEIGHT, caps 0 or DDSCAPS_OFFSCREENPLAIN, 1 to kLargestSurfaceSide pixels each way, at most
  // 256 MiB). Pixels start at 0.
  int CreateSurface(const SurfaceDesc& desc, std::unique_ptr<Surface>& surface);
  // Flags must be DDPCAPS_8BIT; `entries` holds 256 entries.
  int CreatePalette(std::uint32_t flags, const PaletteEntry* entries, std::unique_ptr<Palette>& palette);
  // Flags must be 0.
  int CreateClipper(std::uint32_t flags, std::unique_ptr<Clipper>& clipper);

 private:
  Window* window_ = nullptr;
  bool exclusive_ = false;
  std::int32_t modeWidth_ = 0;
  std::int32_t modeHeight_ = 0;
};

int DirectDrawCreate(std::unique_ptr<DirectDraw>& ddraw);

}  // namespace karst::platform
