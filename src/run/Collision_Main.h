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

bool instance_contains_point(const CollisionMasks& masks, const CInstance& inst, double x,
                             double y);
bool instances_collide(const CollisionMasks& masks, const CInstance& a, const CInstance& b);

} // namespace kelvane
