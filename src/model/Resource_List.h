// A resource list: slots indexed by resource id, each empty or holding one resource, with
// a parallel array of names. Sounds, sprites, backgrounds, paths, scripts, objects and rooms
// all keep their resources in one.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kelvane {

inline const std::string undefined_name = "<undefined>";

template <typename T> class ResourceList {
  public:
    int32_t count() const { return static_cast<int32_t>(items_.size()); }
    bool exists(int32_t id) const { return id >= 0 && id < count() && items_[size_t(id)]; }
    T* get(int32_t id) const {
        return id >= 0 && id < count() ? items_[size_t(id)].get() : nullptr;
    }
    // The stored name, also of an empty slot (an empty slot keeps the name it had).
    const std::string& stored_name(int32_t id) const { return names_[size_t(id)]; }
    const std::string& name(int32_t id) const {
        return exists(id) ? names_[size_t(id)] : undefined_name;
    }
    // Lowest id of a present resource with exactly this name, else -1.
    int32_t find(const std::string& name) const {
        for (int32_t i = 0; i < count(); ++i)
            if (items_[size_t(i)] && names_[size_t(i)] == name) return i;
        return -1;
    }
    void clear() {
        items_.clear();
        names_.clear();
    }
    void resize(int32_t n) {
        items_.resize(size_t(n));
        names_.resize(size_t(n));
    }
    void set(int32_t id, std::string name, std::unique_ptr<T> item) {
        names_[size_t(id)] = std::move(name);
        items_[size_t(id)] = std::move(item);
    }
    // Appends a slot and returns its id.
    int32_t add(std::string name, std::unique_ptr<T> item) {
        names_.push_back(std::move(name));
        items_.push_back(std::move(item));
        return count() - 1;
    }
    void remove(int32_t id) {
        if (id >= 0 && id < count()) items_[size_t(id)].reset();
    }

  private:
    std::vector<std::unique_ptr<T>> items_;
    std::vector<std::string> names_;
};

} // namespace kelvane
