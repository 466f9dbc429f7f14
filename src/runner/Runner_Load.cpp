// The game loader: header checks with their messages, the section readers in file order,
// and robust handling of damaged files (every failure names its section and offset).
#include "runner/Runner_Load.h"

#include "platform/Mapped_File.h"
#include "platform/Whole_File.h"
#include "runner/Runner_Fuse.h"

namespace kelvane {

namespace {

constexpr int32_t magic_number = 1234321;
constexpr int32_t max_resources = 1 << 22;
constexpr size_t max_computed_path_points = size_t(1) << 23;

// A section that ended without a message of its own (a wrong version or a damaged record).
struct SectionFailure {
    std::string why;
    size_t offset;
};

template <typename T, typename ReadRecord>
void read_resource_list(CStream& s, ResourceList<T>& list, int32_t version, ReadRecord read) {
    list.clear();
    size_t at = s.file_offset();
    int32_t v = ReadInt(s);
    if (v != version)
        throw SectionFailure{
            "section version " + std::to_string(v) + " instead of " + std::to_string(version), at};
    int32_t n = ReadCount(s, "resource count", max_resources, 4);
    list.resize(n);
    for (int32_t i = 0; i < n; ++i) {
        if (!ReadBool(s)) continue;
        std::string name = ReadString(s);
        auto item = std::make_unique<T>();
        at = s.file_offset();
        if (!read(*item, s))
            throw SectionFailure{
                "record " + std::to_string(i) + " (" + name + ") has a wrong version", at};
        list.set(i, std::move(name), std::move(item));
    }
}

struct Loader {
    Game& game;
    const ProgressFn& progress;
    LoadResult result{};
    std::string section = "header";
    SubstitutionTable table{};

    void step(int percent, const char* caption) {
        if (progress) progress(percent, caption);
    }

    bool fail_message(std::string message) {
        result.ok = false;
        result.message = std::move(message);
        return false;
    }

    bool run(CStream& s);
};

bool Loader::run(CStream& s) {
    // Header.
    int32_t seed = ReadInt(s); // identity table still
    if (seed > SubstitutionTable::max_safe_seed)
        return fail_message("This game file is scrambled with seed " + std::to_string(seed) +
                            ", which cannot be read (seeds above " +
                            std::to_string(SubstitutionTable::max_safe_seed) +
                            " overflow the descrambler).");
    table.set_seed(seed);
    s.set_table(&table);
    game.header.seed = seed;
    if (ReadInt(s) != magic_number) return fail_message("This is not a valid kelvane game.");
    int32_t version = ReadInt(s);
    if (version <= 410) return fail_message("Wrong version number; too small.");
    if (version > 430) return fail_message("Wrong version number; too large.");
    game.header.version = version;
    game.header.debug = ReadInt(s);
    game.header.game_id = ReadInt(s);
    s.read_raw(game.header.identifier.data(), 16);
    section = "options";
    size_t at = s.file_offset();
    if (!game.options.read(s)) throw SectionFailure{"options version is not 420", at};

    auto warnings = &result.warnings;
    step(5, "Loading sounds");
    section = "sounds";
    try {
        read_resource_list(s, game.sounds, 400, [](CSound& r, CStream& st) { return r.read(st); });
    } catch (...) {
        result.message = "Error loading sounds.";
        throw;
    }
    step(10, "Loading sprites");
    section = "sprites";
    read_resource_list(s, game.sprites, 400,
                       [&](CSprite& r, CStream& st) { return r.read(st, warnings); });
    // Collision masks are built from the sprites by the run engine.
    step(18, "Collision structure");
    step(23, "Loading backgrounds");
    section = "backgrounds";
    read_resource_list(s, game.backgrounds, 400,
                       [&](CBackground& r, CStream& st) { return r.read(st, warnings); });
    step(30, "Loading paths");
    game.paths.clear();
    if (version >= 420) {
        section = "paths";
        // Computed points are built from little data; a budget keeps a damaged file from
        // asking for more memory than any real game needs.
        size_t computed = 0;
        read_resource_list(s, game.paths, 420, [&](CPath& r, CStream& st) {
            size_t at = st.file_offset();
            if (!r.read(st)) return false;
            computed += r.computed.size();
            if (computed > max_computed_path_points)
                throw StreamError("paths have too many computed points", at);
            return true;
        });
    }
    step(32, "Loading scripts");
    section = "scripts";
    read_resource_list(s, game.scripts, 400, [](CScript& r, CStream& st) { return r.read(st); });
    step(35, "Loading objects");
    section = "objects";
    read_resource_list(s, game.objects, 400, [](CObject& r, CStream& st) { return r.read(st); });
    step(40, "Loading rooms");
    section = "rooms";
    read_resource_list(s, game.rooms, 420, [](CRoom& r, CStream& st) { return r.read(st); });
    game.last_instance_id = ReadInt(s);
    game.last_tile_id = ReadInt(s);
    step(45, "Loading help");
    section = "game information";
    at = s.file_offset();
    if (!game.information.read(s))
        throw SectionFailure{"game information version is neither 400 nor 430", at};
    step(49, "Loading room order");
    section = "room order";
    at = s.file_offset();
    int32_t order_version = ReadInt(s);
    if (order_version < 400 || order_version > 420)
        throw SectionFailure{"room order version " + std::to_string(order_version), at};
    at = s.file_offset();
    int32_t n = ReadInt(s);
    game.room_order_version = order_version;
    if (n <= 0) throw SectionFailure{"room order of " + std::to_string(n) + " entries", at};
    if (size_t(n) > s.remaining() / 4) throw StreamError("room order runs past the end", at);
    game.room_order.resize(size_t(n));
    for (auto& r : game.room_order) r = ReadInt(s);
    result.ok = true;
    return true;
}

} // namespace

namespace {

LoadResult load_game_stream(CStream& s, Game& game, const ProgressFn& progress,
                            LoadOptions options) {
    game = Game();
    s.set_keep_encodings(options.keep_encodings);
    Loader loader{game, progress};
    auto damaged = [&](const std::string& why, size_t offset) {
        loader.result.ok = false;
        loader.result.diagnostic = "game file damaged in section " + loader.section +
                                   " at byte offset " + std::to_string(offset) + ": " + why;
    };
    try {
        loader.run(s);
    } catch (const SectionFailure& f) {
        damaged(f.why, f.offset);
    } catch (const StreamError& e) {
        damaged(e.what(), e.offset());
    } catch (const std::bad_alloc&) {
        damaged("out of memory", s.file_offset());
    }
    return loader.result;
}

LoadResult too_short(size_t size, Game& game) {
    game = Game();
    LoadResult r;
    r.message = "This is not a valid kelvane file.";
    r.diagnostic = "holds " + std::to_string(size) +
                   " bytes, too few for a game: a game block starts at byte " +
                   std::to_string(game_block_offset);
    return r;
}

} // namespace

LoadResult load_game_bytes(std::vector<uint8_t> bytes, Game& game, const ProgressFn& progress,
                           LoadOptions options) {
    if (bytes.size() < game_block_offset) return too_short(bytes.size(), game);
    // Read from the block's offset in place: the bytes before it are never moved.
    CStream s(std::move(bytes));
    s.seek(game_block_offset);
    return load_game_stream(s, game, progress, options);
}

LoadResult load_game_block(std::vector<uint8_t> block, Game& game, const ProgressFn& progress,
                           LoadOptions options) {
    CStream s(std::move(block), game_block_offset);
    return load_game_stream(s, game, progress, options);
}

LoadResult load_game_file(const std::string& path, Game& game, const ProgressFn& progress,
                          LoadOptions options) {
    std::string why;
    auto file = MappedFile::open(path, &why, whole_file_limit);
    if (!file) {
        LoadResult r;
        r.message = "Cannot open the game file.";
        r.diagnostic = "cannot be opened: " + why;
        return r;
    }
    // A file cut short or written to while it was read gave the loader zeros or a mix of
    // two files: whatever came of it is no game.
    auto checked = [&](LoadResult r) {
        if (!file->changed()) return r;
        game = Game();
        LoadResult changed;
        changed.diagnostic = "the game file was cut short or changed while it was read";
        return changed;
    };
    // A standalone game carries its block at its end, wherever the runner's code ends.
    auto fused = find_fused_block(path);
    if (fused && fused->offset <= file->size() && fused->size <= file->size() - fused->offset) {
        CStream s = CStream::view(file->data() + fused->offset, size_t(fused->size),
                                  game_block_offset, file);
        s.set_release([&](size_t at) { file->release_before(size_t(fused->offset) + at); });
        return checked(load_game_stream(s, game, progress, options));
    }
    if (file->size() < game_block_offset) return too_short(file->size(), game);
    CStream s = CStream::view(file->data(), file->size(), 0, file);
    s.seek(game_block_offset);
    s.set_release([&](size_t at) { file->release_before(at); });
    return checked(load_game_stream(s, game, progress, options));
}

std::vector<uint8_t> write_game_bytes(const Game& game, int32_t seed) {
    SubstitutionTable table;
    CStream s(std::vector<uint8_t>(game_block_offset, 0));
    s.seek(game_block_offset);
    WriteInt(s, seed);
    table.set_seed(seed);
    s.set_table(&table);
    WriteInt(s, magic_number);
    WriteInt(s, game.header.version);
    WriteInt(s, game.header.debug);
    WriteInt(s, game.header.game_id);
    s.write_raw(game.header.identifier.data(), 16);
    game.options.write(s);
    auto write_list = [&](const auto& list, int32_t version) {
        WriteInt(s, version);
        WriteInt(s, list.count());
        for (int32_t i = 0; i < list.count(); ++i) {
            WriteBool(s, list.exists(i));
            if (!list.exists(i)) continue;
            WriteString(s, list.stored_name(i));
            list.get(i)->write(s);
        }
    };
    write_list(game.sounds, 400);
    write_list(game.sprites, 400);
    write_list(game.backgrounds, 400);
    if (game.header.version >= 420) write_list(game.paths, 420);
    write_list(game.scripts, 400);
    write_list(game.objects, 400);
    write_list(game.rooms, 420);
    WriteInt(s, game.last_instance_id);
    WriteInt(s, game.last_tile_id);
    game.information.write(s);
    WriteInt(s, game.room_order_version);
    WriteInt(s, static_cast<int32_t>(game.room_order.size()));
    for (int32_t r : game.room_order) WriteInt(s, r);
    return s.take_bytes();
}

} // namespace kelvane
