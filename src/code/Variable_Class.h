// The script language's value (RValue, with its shared string RString) and the variable
// containers: CVariable (one user variable with all its array cells) and CVariableList (the
// variables of one instance, or the global user variables).
#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "stream/Support_Stream.h"

namespace kelvane {

// An 8-bit string that copies in constant time: the characters live in one shared,
// reference-counted block (none for the empty string) and are copied only when a shared
// block is changed. Values are copied all the time (reads, arguments, saved argument
// slots), so this keeps a copy as cheap as for a real.
class RString {
  public:
    // The longest string the language builds. Longer results are refused as out of memory,
    // so that no program can make the process allocate without bound.
    static constexpr size_t max_length = size_t(1) << 30;

    RString() = default;
    RString(std::string_view s) { assign(s); }
    RString(const char* s) : RString(std::string_view(s)) {}
    RString(const std::string& s) : RString(std::string_view(s)) {}
    RString(const RString& o) : rep_(o.rep_) {
        if (rep_) ++rep_->refs;
    }
    RString(RString&& o) noexcept : rep_(o.rep_) { o.rep_ = nullptr; }
    RString& operator=(const RString& o) {
        if (o.rep_) ++o.rep_->refs;
        if (rep_) release();
        rep_ = o.rep_;
        return *this;
    }
    RString& operator=(RString&& o) noexcept {
        if (this != &o) {
            if (rep_) release();
            rep_ = o.rep_;
            o.rep_ = nullptr;
        }
        return *this;
    }
    ~RString() {
        if (rep_) release();
    }

    size_t size() const { return rep_ ? rep_->size : 0; }
    // A block is held only for a string of one character or more.
    bool empty() const { return rep_ == nullptr; }
    const char* data() const { return rep_ ? rep_->chars : ""; }
    std::string_view view() const { return {data(), size()}; }
    operator std::string_view() const { return view(); }
    std::string str() const { return std::string(view()); }
    char operator[](size_t i) const { return rep_->chars[i]; }

    // Appends in place when this string is the only owner of its block and there is room.
    RString& operator+=(std::string_view s);

    // The block of characters as one word (null for the empty string; blocks are aligned
    // to 16 bytes), for storage that keeps a string's block by itself (Cell): handed over
    // by take_block, shared by share_block, owned again by adopt_block.
    void* take_block() {
        Rep* r = rep_;
        rep_ = nullptr;
        return r;
    }
    void* share_block() const {
        if (rep_) ++rep_->refs;
        return rep_;
    }
    static RString adopt_block(void* block) {
        RString s;
        s.rep_ = static_cast<Rep*>(block);
        return s;
    }
    static void add_ref(void* block) {
        if (block) ++static_cast<Rep*>(block)->refs;
    }
    // Shares `block` (as a copy from a string holding it would).
    void assign_block(void* block) {
        Rep* r = static_cast<Rep*>(block);
        if (r) ++r->refs;
        if (rep_) release();
        rep_ = r;
    }

    friend bool operator==(const RString& a, const RString& b) { return a.view() == b.view(); }
    friend bool operator==(const RString& a, std::string_view b) { return a.view() == b; }
    friend bool operator==(const RString& a, const char* b) { return a.view() == b; }

  private:
    struct Rep {
        uint32_t refs;
        uint32_t size;
        uint32_t capacity;
        char chars[1];
    };
    Rep* rep_ = nullptr;

    void assign(std::string_view s);
    void release();
    static Rep* allocate(size_t capacity);
};

std::ostream& operator<<(std::ostream& os, const RString& s);

// Value kinds.
enum ValueKind : int32_t { kind_real = 0, kind_string = 1, kind_reference = 2 };

// Scope codes of a variable reference (and the values of the keywords self ... global).
enum Scope : int32_t {
    scope_self = -1,
    scope_other = -2,
    scope_all = -3,
    scope_noone = -4,
    scope_global = -5,
    scope_unqualified = -6,
};

// First id of the user variables; built-in globals are 0 ... 999, instance ones 1000 ...
constexpr int32_t first_user_variable = 100000;
constexpr int32_t first_instance_builtin = 1000;
// Combined array index: name[i, j] is i * array_row_size + j.
constexpr int32_t array_row_size = 32000;

// A real rounded to the nearest integer, halves to even (0.5 -> 0, 1.5 -> 2, 2.5 -> 2).
// Inline, as nearbyint is a library call on the baseline x86-64: adding and taking off
// 2^52 leaves the sum without a fraction, rounded as the hardware rounds (to even); reals
// of 2^52 and more, infinities and NaN are their own rounding. The sign is put back so
// that -0.4 gives -0, as nearbyint does.
inline double round_even(double x) {
    if (std::fabs(x) < 0x1p52) {
        double big = std::copysign(0x1p52, x);
        return std::copysign((x + big) - big, x);
    }
    return x;
}
// The rounded value as a 32-bit integer; values beyond the range saturate, NaN gives 0.
inline int32_t to_int32(double x) {
    double r = round_even(x);
    if (!(r == r)) return 0;
    if (r >= 2147483647.0) return INT32_MAX;
    if (r <= -2147483648.0) return INT32_MIN;
    return int32_t(r);
}
// The rounded value as a 64-bit integer, saturating likewise.
inline int64_t to_int64(double x) {
    double r = round_even(x);
    if (!(r == r)) return 0;
    if (r >= 9223372036854775807.0) return INT64_MAX;
    if (r <= -9223372036854775808.0) return INT64_MIN;
    return int64_t(r);
}

// The language's value. A zero-filled value is the real 0 with an empty string. Only `kind`
// says which of `real` and `str` is meant; operators change only the field they compute.
struct RValue {
    int32_t kind = kind_real;
    // For a variable reference: whose variable, which, and the combined array index.
    int32_t scope = 0;
    int32_t var_id = 0;
    int32_t index = 0;
    double real = 0;
    RString str;

    RValue() = default;
    RValue(double r) : real(r) {}
    RValue(RString s) : kind(kind_string), str(std::move(s)) {}
    RValue(const char* s) : kind(kind_string), str(s) {}

    static RValue reference(int32_t scope, int32_t var_id, int32_t index = 0) {
        RValue v;
        v.kind = kind_reference;
        v.scope = scope;
        v.var_id = var_id;
        v.index = index;
        return v;
    }
    bool is_real() const { return kind == kind_real; }
    bool is_string() const { return kind == kind_string; }
    bool is_reference() const { return kind == kind_reference; }

    void write(CStream& s) const;
    void read(CStream& s);
};

// Room for up to N values that are constructed only when used (a zero-filled array of
// values costs more than the few a call needs). Destroys what it constructed.
template <int N> class ValueBuffer {
  public:
    ValueBuffer() = default;
    ValueBuffer(const ValueBuffer&) = delete;
    ValueBuffer& operator=(const ValueBuffer&) = delete;
    ~ValueBuffer() {
        for (int i = 0; i < size_; ++i) data()[i].~RValue();
    }
    RValue* data() { return reinterpret_cast<RValue*>(storage_); }
    int size() const { return size_; }
    template <typename... A> RValue& push(A&&... a) {
        return *new (data() + size_++) RValue(std::forward<A>(a)...);
    }

  private:
    alignas(RValue) unsigned char storage_[N * sizeof(RValue)];
    int size_ = 0;
};

// An array cell: a value in 16 bytes where RValue takes 32, as arrays hold many. A cell
// keeps the number and the string's block, with the kind (real or string) in the block
// pointer's low bits, so a real keeps the string it had and a string its number, as values
// do. Any other value (a reference, a kind without meaning, or a reference's fields set,
// which only a saved game brings) is kept whole in a block of its own. The zero-filled
// cell is the real 0 with an empty string, as the zero-filled value is.
class Cell {
  public:
    Cell() = default;
    Cell(const Cell& o) : real_(o.real_), bits_(o.bits_) {
        if (bits_) share();
    }
    Cell& operator=(const Cell& o) {
        if (this != &o) *this = Cell(o);
        return *this;
    }
    Cell(Cell&& o) noexcept : real_(o.real_), bits_(o.bits_) { o.bits_ = 0; }
    Cell& operator=(Cell&& o) noexcept {
        std::swap(real_, o.real_);
        std::swap(bits_, o.bits_);
        return *this;
    }
    ~Cell() {
        if (bits_) release();
    }

    // The value, into `out` (which keeps nothing of what it held).
    void load(RValue& out) const {
        if (!(bits_ & boxed)) [[likely]] {
            out.kind = int32_t(bits_ & kind_string);
            out.scope = out.var_id = out.index = 0;
            out.real = real_;
            out.str.assign_block(reinterpret_cast<void*>(bits_ & ~tag_bits));
            return;
        }
        out = *box();
    }
    RValue value() const {
        RValue v;
        load(v);
        return v;
    }
    int32_t kind() const { return bits_ & boxed ? box()->kind : int32_t(bits_ & kind_string); }
    // The number, when the cell holds a real (true).
    bool real(double& x) const {
        if (!(bits_ & tag_bits)) [[likely]] {
            x = real_;
            return true;
        }
        if (!(bits_ & boxed)) return false;
        x = box()->real;
        return box()->kind == kind_real;
    }

    void store(const RValue& v) {
        if (plain(v)) [[likely]]
            return hold(v.real, v.str.share_block(), v.kind);
        store_boxed(RValue(v));
    }
    void store(RValue&& v) {
        if (plain(v)) [[likely]]
            return hold(v.real, v.str.take_block(), v.kind);
        store_boxed(std::move(v));
    }
    // The value moved out (the cell keeps its number and kind, not its string), and put
    // back: for a change in place.
    RValue take() {
        if (bits_ & boxed) return std::move(*box());
        RValue v;
        v.kind = int32_t(bits_ & kind_string);
        v.real = real_;
        v.str = RString::adopt_block(reinterpret_cast<void*>(bits_ & ~tag_bits));
        bits_ &= tag_bits;
        return v;
    }

  private:
    static constexpr uintptr_t boxed = 2, tag_bits = 3;
    double real_ = 0;
    // The string's block | the kind (0 real, 1 string); or a block holding a whole value
    // | boxed.
    uintptr_t bits_ = 0;

    // A real or a string with no reference fields: kept in the cell itself.
    static bool plain(const RValue& v) {
        return uint32_t(v.kind) <= uint32_t(kind_string) && (v.scope | v.var_id | v.index) == 0;
    }
    RValue* box() const { return reinterpret_cast<RValue*>(bits_ & ~tag_bits); }
    // Takes a real or a string: its number, its string's block (owned) and its kind.
    void hold(double real, void* block, int32_t kind) {
        uintptr_t bits = reinterpret_cast<uintptr_t>(block) | uintptr_t(kind);
        if (bits_) release();
        real_ = real;
        bits_ = bits;
    }
    void share();
    void release();
    void store_boxed(RValue&& v);
};

// One row of array cells. A cell owns its string (or its whole value) through one word and
// nothing points into a cell, so its bytes may move as they are: a row grows by
// reallocating its block, geometrically, and a new cell is the zero-filled one (the real
// 0). The size is the highest cell written plus one, as the language sees it; the room
// beyond it is the row's own.
class CellRow {
  public:
    CellRow() = default;
    CellRow(const CellRow& o);
    CellRow(CellRow&& o) noexcept : data_(o.data_), size_(o.size_), capacity_(o.capacity_) {
        o.data_ = nullptr;
        o.size_ = o.capacity_ = 0;
    }
    CellRow& operator=(const CellRow& o) {
        if (this != &o) *this = CellRow(o);
        return *this;
    }
    CellRow& operator=(CellRow&& o) noexcept {
        std::swap(data_, o.data_);
        std::swap(size_, o.size_);
        std::swap(capacity_, o.capacity_);
        return *this;
    }
    ~CellRow();

    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    Cell* begin() { return data_; }
    Cell* end() { return data_ + size_; }
    const Cell* begin() const { return data_; }
    const Cell* end() const { return data_ + size_; }
    Cell& operator[](size_t i) { return data_[i]; }
    const Cell& operator[](size_t i) const { return data_[i]; }

    // n cells: new ones the real 0, cells beyond n dropped.
    void resize(size_t n);
    // Cell c, made with the cells before it when missing (c < array_row_size). The next
    // cell of a row with room is made inline.
    Cell& cell(size_t c) {
        if (c < size_) return data_[c];
        if (c == size_ && c < capacity_) {
            ++size_;
            return *new (data_ + c) Cell();
        }
        return extend(c);
    }

  private:
    Cell* data_ = nullptr;
    uint32_t size_ = 0;
    uint32_t capacity_ = 0;

    Cell& extend(size_t c);
    void reserve(size_t n);
    void free_cells();
};

// One user variable: the plain cell (combined index 0) and the rows of its array cells.
class CVariable {
  public:
    int32_t id = 0;
    RValue value;
    std::vector<CellRow> rows;

    // The cell at combined index n into `out`; real 0 for a cell that was never written.
    // The plain cell, by far the most used, is reached inline.
    void get(int32_t n, RValue& out) const {
        if (n == 0) {
            out = value;
            return;
        }
        // Array cells that exist are reached inline: a row and a column, no search.
        uint32_t r = uint32_t(n) / array_row_size, c = uint32_t(n) % array_row_size;
        if (r < rows.size() && c < rows[r].size()) return rows[r][c].load(out);
        out = RValue();
    }
    RValue get(int32_t n) const {
        RValue v;
        get(n, v);
        return v;
    }
    // Writes the cell at combined index n, made (with the rows and cells before it) when
    // missing.
    template <typename V> void set(int32_t n, V&& v) {
        // (A negative index, which the interpreter's checks never let through, is kept to
        // the plain cell.)
        if (n <= 0) {
            value = std::forward<V>(v);
            return;
        }
        uint32_t r = uint32_t(n) / array_row_size, c = uint32_t(n) % array_row_size;
        if (r < rows.size()) return rows[r].cell(c).store(std::forward<V>(v));
        array_cell(n).store(std::forward<V>(v));
    }
    // Calls f on the value of the cell at combined index n, made first when missing, and
    // keeps what f leaves in it (also when f throws); f's result is returned.
    template <typename F> auto update(int32_t n, F&& f) {
        if (n <= 0) return f(value);
        Cell& cell = array_cell(n);
        struct PutBack {
            Cell& cell;
            RValue v;
            ~PutBack() { cell.store(std::move(v)); }
        } at{cell, cell.take()};
        return f(at.v);
    }

    void write(CStream& s) const;
    void read(CStream& s);

  private:
    // The array cell at combined index n (n > 0), made when missing.
    Cell& array_cell(int32_t n);
};

// The variables of one owner, in creation order. A variable is found by id in constant
// time: user ids index a table of positions, the few other ids are searched.
class CVariableList {
  public:
    CVariableList() = default;
    CVariableList(const CVariableList& o) { assign(o); }
    CVariableList& operator=(const CVariableList& o) {
        if (this != &o) assign(o);
        return *this;
    }
    CVariableList(CVariableList&&) = default;
    CVariableList& operator=(CVariableList&&) = default;

    int32_t count() const { return int32_t(items_.size()); }
    const CVariable& item(int32_t i) const { return *items_[size_t(i)]; }

    void clear();
    // The variable with this id, or null.
    CVariable* find(int32_t id) const {
        uint32_t slot = uint32_t(id) - uint32_t(first_user_variable);
        if (slot < table_limit) {
            int32_t p = slot < positions_.size() ? positions_[slot] : 0;
            return p ? items_[size_t(p - 1)].get() : nullptr;
        }
        return find_other(id);
    }
    // The variable with this id, appended when absent.
    CVariable& make(int32_t id);
    // get (id, n): false when the list holds no variable with this id.
    bool get(int32_t id, int32_t n, RValue& out) const {
        const CVariable* v = find(id);
        if (!v) return false;
        v->get(n, out);
        return true;
    }
    void set(int32_t id, int32_t n, const RValue& v) { make(id).set(n, v); }
    // Clears, then appends deep copies of all of o's variables in the same order.
    void assign(const CVariableList& o);

    void write(CStream& s) const;
    // Reads a list; one that does not start with the list version is left empty. A
    // variable whose id `keep` refuses is read past and dropped.
    void read(CStream& s, const std::function<bool(int32_t id)>& keep = nullptr);

  private:
    // User ids below first_user_variable + table_limit are found through positions_; any
    // other id (a built-in id used as a plain id, or one from a damaged file) by searching.
    static constexpr uint32_t table_limit = 1u << 24;
    std::vector<std::unique_ptr<CVariable>> items_;
    // positions_[id - first_user_variable]: 1 + position in items_, 0 when absent.
    std::vector<int32_t> positions_;

    CVariable* find_other(int32_t id) const;
};

} // namespace kelvane
