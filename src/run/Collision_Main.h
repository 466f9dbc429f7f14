// Collision masks of precise sprites and the two shape tests everything uses: does an
// instance contain a point, and do two instances overlap.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kelvane {

struct Game;
class CInstance;

struct CMask {
    bool valid = false;
    int32_t width = 0, height = 0, count = 0;
    // One shape per sub-image, row by row: images[i][y * width + x].
    std::vector<std::vector<uint8_t>> images;
};

class CollisionMasks {
  public:
    // Builds the mask of every sprite; `report` receives non-fatal errors.
    void build_all(const Game& game, const std::function<void(const std::string&)>& report);
    void build(const Game& game, int32_t sprite,
               const std::function<void(const std::string&)>& report);
    void free(int32_t sprite);
    const CMask* mask(int32_t sprite) const {
        return sprite >= 0 && size_t(sprite) < masks_.size() ? &masks_[size_t(sprite)] : nullptr;
    }
    // Sprite-local point test; true for a sprite without a valid mask.
    bool mask_point(int32_t sprite, int32_t image, double px, double py) const;

  private:
    std::vector<CMask> masks_;
};

// A uniform grid over the bounding boxes of one instance list: the collision phase asks it
// for the instances whose boxes may meet a given box instead of testing every pair. It
// describes the boxes as they were when it was built.
class CollisionGrid {
  public:
    // Files the first `count` instances of the list (destroyed ones are left out).
    void build(const std::vector<CInstance*>& list, size_t count);
    // The list positions, ascending, of the filed instances whose boxes share a cell with
    // the instance's box: a superset of those whose boxes overlap it.
    void query(const CInstance& inst, std::vector<uint32_t>& out) const;

  private:
    int32_t x0_ = 0, y0_ = 0, shift_ = 0, columns_ = 0, rows_ = 0;
    std::vector<uint32_t> starts_;     // per cell, where its positions begin in entries_
    std::vector<uint32_t> entries_;    // the positions filed in each cell, ascending
    std::vector<uint32_t> everywhere_; // boxes too large or too far out for the cells
};

bool instance_contains_point(const CollisionMasks& masks, const CInstance& inst, double x,
                             double y);
bool instances_collide(const CollisionMasks& masks, const CInstance& a, const CInstance& b);

} // namespace kelvane
