// The value record, the shared string and the variable containers, with their stream form.
#include "code/Variable_Class.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>
#include <ostream>
#include <type_traits>

namespace kelvane {

// ---- RString ----

RString::Rep* RString::allocate(size_t capacity) {
    if (capacity > max_length) throw std::bad_alloc();
    void* p = std::malloc(offsetof(Rep, chars) + capacity + 1);
    if (!p) throw std::bad_alloc();
    Rep* r = static_cast<Rep*>(p);
    r->refs = 1;
    r->size = 0;
    r->capacity = uint32_t(capacity);
    return r;
}

void RString::release() {
    if (rep_ && --rep_->refs == 0) std::free(rep_);
    rep_ = nullptr;
}

void RString::assign(std::string_view s) {
    release();
    if (s.empty()) return;
    rep_ = allocate(s.size());
    std::memcpy(rep_->chars, s.data(), s.size());
    rep_->size = uint32_t(s.size());
    rep_->chars[s.size()] = 0;
}

RString& RString::operator+=(std::string_view s) {
    if (s.empty()) return *this;
    size_t old = size();
    if (s.size() > max_length - old) throw std::bad_alloc();
    size_t n = old + s.size();
    if (rep_ && rep_->refs == 1 && n <= rep_->capacity) {
        std::memmove(rep_->chars + old, s.data(), s.size());
    } else {
        // Grow geometrically so that repeated appends stay linear.
        size_t cap = old ? std::min(max_length, std::max(n, old + old / 2)) : n;
        Rep* r = allocate(cap);
        if (old) std::memcpy(r->chars, rep_->chars, old);
        std::memcpy(r->chars + old, s.data(), s.size());
        release();
        rep_ = r;
    }
    rep_->size = uint32_t(n);
    rep_->chars[n] = 0;
    return *this;
}

std::ostream& operator<<(std::ostream& os, const RString& s) {
    return os << s.view();
}

// ---- RValue ----

void RValue::write(CStream& s) const {
    WriteInt(s, kind);
    WriteReal(s, real);
    WriteString(s, std::string(str.view()));
    WriteInt(s, scope);
    WriteInt(s, var_id);
    WriteInt(s, index);
}

void RValue::read(CStream& s) {
    kind = ReadInt(s);
    real = ReadReal(s);
    str = ReadString(s);
    scope = ReadInt(s);
    var_id = ReadInt(s);
    index = ReadInt(s);
}

// ---- CellRow ----

// Moving a value's bytes is moving the value: its string is one owning pointer.
static_assert(sizeof(RString) == sizeof(void*) && std::is_standard_layout_v<RValue>);

CellRow::CellRow(const CellRow& o) {
    reserve(o.size_);
    for (; size_ < o.size_; ++size_) new (data_ + size_) RValue(o.data_[size_]);
}

CellRow::~CellRow() {
    for (uint32_t i = 0; i < size_; ++i) data_[i].~RValue();
    std::free(data_);
}

void CellRow::reserve(size_t n) {
    if (n <= capacity_) return;
    if (n > size_t(array_row_size)) throw std::bad_alloc();
    // The cells move with their bytes (see above): no copies, no destructors.
    void* p = std::realloc(static_cast<void*>(data_), n * sizeof(RValue));
    if (!p) throw std::bad_alloc();
    data_ = static_cast<RValue*>(p);
    capacity_ = uint32_t(n);
}

void CellRow::resize(size_t n) {
    reserve(n);
    while (size_ > n) data_[--size_].~RValue();
    for (; size_ < n; ++size_) new (data_ + size_) RValue();
}

RValue& CellRow::extend(size_t c) {
    // Geometric growth, so that a row written cell after cell costs linear time.
    reserve(std::min(size_t(array_row_size), std::max({c + 1, size_t(capacity_) * 2, size_t(8)})));
    resize(c + 1);
    return data_[c];
}

// ---- CVariable ----

namespace {
const RValue zero_value;
// The fewest bytes a stored value takes: kind, real, string length, scope, id, index.
constexpr size_t value_bytes = 4 + 8 + 4 + 4 + 4 + 4;
} // namespace

const RValue& CVariable::array_cell(int32_t n) const {
    int32_t r = n / array_row_size, c = n % array_row_size;
    if (r < 0 || size_t(r) >= rows.size() || c < 0 || size_t(c) >= rows[size_t(r)].size())
        return zero_value;
    return rows[size_t(r)][size_t(c)];
}

RValue& CVariable::make_array_cell(int32_t n) {
    // Combined indices are checked by the interpreter before they arrive here; a negative
    // one would be a fault of the caller, and is kept to the plain cell.
    if (n < 0) return value;
    size_t r = size_t(n / array_row_size), c = size_t(n % array_row_size);
    if (r >= rows.size()) rows.resize(r + 1);
    return rows[r].cell(c);
}

void CVariable::write(CStream& s) const {
    WriteInt(s, id);
    value.write(s);
    WriteInt(s, int32_t(rows.size()));
    for (const auto& row : rows) {
        WriteInt(s, int32_t(row.size()));
        for (const auto& v : row) v.write(s);
    }
}

void CVariable::read(CStream& s) {
    id = ReadInt(s);
    value.read(s);
    rows.clear();
    int32_t n = ReadCount(s, "array rows", array_row_size, 4);
    rows.resize(size_t(n));
    for (auto& row : rows) {
        int32_t m = ReadCount(s, "array cells", array_row_size, value_bytes);
        row.resize(size_t(m));
        for (auto& v : row) v.read(s);
    }
}

// ---- CVariableList ----

namespace {
constexpr int32_t list_version = 400;
}

void CVariableList::clear() {
    items_.clear();
    positions_.clear();
}

CVariable* CVariableList::find_other(int32_t id) const {
    for (const auto& v : items_)
        if (v->id == id) return v.get();
    return nullptr;
}

CVariable& CVariableList::make(int32_t id) {
    if (CVariable* v = find(id)) return *v;
    auto v = std::make_unique<CVariable>();
    v->id = id;
    items_.push_back(std::move(v));
    uint32_t slot = uint32_t(id) - uint32_t(first_user_variable);
    if (slot < table_limit) {
        if (slot >= positions_.size()) positions_.resize(slot + 1 + slot / 4);
        positions_[slot] = int32_t(items_.size());
    }
    return *items_.back();
}

void CVariableList::assign(const CVariableList& o) {
    clear();
    for (const auto& v : o.items_) make(v->id) = *v;
}

void CVariableList::write(CStream& s) const {
    WriteInt(s, list_version);
    WriteInt(s, count());
    for (const auto& v : items_) v->write(s);
}

void CVariableList::read(CStream& s, const std::function<bool(int32_t id)>& keep) {
    clear();
    if (ReadInt(s) != list_version) return;
    // A variable takes at least its id, one value and its row count.
    int32_t n = ReadCount(s, "variables", INT32_MAX, 4 + value_bytes + 4);
    for (int32_t i = 0; i < n; ++i) {
        CVariable v;
        v.read(s);
        if (keep && !keep(v.id)) continue;
        // Ids are unique within a list; a repeated id in a damaged file updates the first.
        make(v.id) = std::move(v);
    }
}

} // namespace kelvane
