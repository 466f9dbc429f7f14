// The drawable image store: one record per sprite and per background holding its frames as
// one strip, its display surface, the load-on-use file, discard and restore, and every
// primitive that draws a frame, a part or a tiled background onto the drawing target.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "graphics/Background_Class.h"
#include "graphics/Graphics_DDraw.h"
#include "graphics/Sprite_Class.h"
#include "graphics/Support_File.h"

namespace kelvane {

struct Game;

struct RSprite {
    bool exists = false; // resource present with a non-zero size and frame count
    bool ready = false;  // the surface holds the current image
    bool loadonuse = false;
    std::string file_name; // the temporary file with the strip (load on use only)
    bool videomem = false;
    bool transparent = false;
    // Without load on use the surface is the only copy of the picture; discarding sets it
    // aside here.
    std::unique_ptr<DDSurface> parked;
    int32_t number = 0;
    int32_t per_row = 1;
    int32_t width = 0, height = 0;
    int32_t xoffset = 0, yoffset = 0;
    std::unique_ptr<DDSurface> surface;

    // The strip cell of frame i (0 <= i < number).
    RRect cell(int32_t i) const;
};

class CDrawables : public DrawingLayer {
  public:
    // Indexed like the sprite list and the background list.
    std::vector<RSprite> sprites, backgrounds;

    // Where load-on-use strips go; without a usable directory strips stay in memory.
    TempDirectory* temp = nullptr;
    // Non-fatal error reports ("Failed to restore sprite from file ...").
    std::function<void(const std::string&)> report;
    // Collision masks live with the run engine: this is called when a sprite added or
    // replaced at run time needs its mask rebuilt (the sprite still has its frames), and
    // with nullptr when a deleted sprite's mask must go.
    std::function<void(int32_t id, const CSprite* sprite)> mask_hook;

    // All records from the game's lists, sprites first, then backgrounds, freeing each
    // resource's own frames as soon as its record holds the picture, so that no picture is
    // held twice for long (display initialisation).
    void build_all_releasing(Game& game);
    // One record (after add or replace); the arrays grow when the id lies beyond them. A
    // missing resource (nullptr) leaves a record that does not exist. A resource that holds
    // a strip decoded at load keeps it (the record gets a copy).
    void build_sprite(int32_t id, const CSprite* sprite);
    void build_background(int32_t id, const CBackground* background);
    // Frees a record's surface, strip and temporary file.
    void free_sprite(int32_t id);
    void free_background(int32_t id);
    void free_all();

    void discard_sprite(int32_t id);
    void restore_sprite(int32_t id);
    void discard_background(int32_t id);
    void restore_background(int32_t id);
    // Discards the surfaces of every load-on-use record (room change, discard_all).
    void discard_load_on_use();

    // Every following draw subtracts the offsets from the room position.
    void set_target(DDSurface* target, int32_t x_offset, int32_t y_offset) override;
    DDSurface* target() const { return target_; }
    int32_t x_offset() const { return x_offset_; }
    int32_t y_offset() const { return y_offset_; }

    // Frame `frame` (wrapped into the frame count) with its origin at (x, y).
    void draw_sprite(int32_t id, int32_t frame, int32_t x, int32_t y, double xscale = 1,
                     double yscale = 1, double alpha = 1);
    void draw_sprite_stretched(int32_t id, int32_t frame, int32_t x, int32_t y, int32_t w,
                               int32_t h);
    void draw_background(int32_t id, int32_t x, int32_t y, double xscale = 1, double yscale = 1,
                         double alpha = 1);
    void draw_background_stretched(int32_t id, int32_t x, int32_t y, int32_t w, int32_t h);
    // The rectangle (left, top, width, height) of the background at (x, y): tiles.
    void draw_background_part(int32_t id, int32_t left, int32_t top, int32_t width, int32_t height,
                              int32_t x, int32_t y, double xscale = 1, double yscale = 1,
                              double alpha = 1);
    // The background repeated over the area (room coordinates) from (x, y).
    void draw_background_tiled(int32_t id, int32_t x, int32_t y, RRect area, bool horizontal,
                               bool vertical, double xscale = 1, double yscale = 1,
                               double alpha = 1);

    // True when the background, drawn now at scale 1 and alpha 1, paints every pixel it
    // covers: it is on its surface and has no see-through colour.
    bool background_opaque(int32_t id) const;

    // A 24-bit copy of a sprite frame or of a background, or nothing.
    std::optional<Bitmap24> sprite_frame_bitmap(int32_t id, int32_t frame);
    std::optional<Bitmap24> background_bitmap(int32_t id);

  private:
    DDSurface* target_ = nullptr;
    int32_t x_offset_ = 0, y_offset_ = 0;

    // `strip`, when it holds the resource's strip decoded at load, is taken over and
    // emptied; else the record is made from the frames.
    void build_sprite(int32_t id, const CSprite* sprite, std::optional<PictureStrip>& strip);
    void build_background(int32_t id, const CBackground* background,
                          std::optional<PictureStrip>& strip);
    void build(RSprite& r, const std::vector<const Bitmap24*>& frames,
               std::optional<PictureStrip>& strip);
    bool restore(RSprite& r);
    void free(RSprite& r);
    RSprite* usable(std::vector<RSprite>& list, int32_t id);
    // Draws the source rectangle of a record's surface with its top-left at (x, y) on the
    // target (offsets already subtracted).
    void draw_rect(RSprite& r, RRect source, int32_t x, int32_t y, double xscale, double yscale,
                   double alpha);
};

} // namespace kelvane
