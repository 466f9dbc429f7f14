// Picture files loaded at run time (Windows bitmap, PNG, JPEG, GIF with animation), damaged
// files, and sprites and backgrounds added, replaced and deleted from such files.
#include <gtest/gtest.h>

#include <csetjmp>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>

#include "Pixel_Art.h"
#include "base/Support_Picture.h"
#include "graphics/Background_Main.h"
#include "graphics/Sprite_Main.h"

using namespace kelvane;
using namespace kelvane::testing;
namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> png_rgba(int w, int h, const std::vector<uint8_t>& rgba) {
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    png.width = png_uint_32(w);
    png.height = png_uint_32(h);
    png.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&png, nullptr, &size, 0, rgba.data(), w * 4, nullptr);
    std::vector<uint8_t> out(size);
    png_image_write_to_memory(&png, out.data(), &size, 0, rgba.data(), w * 4, nullptr);
    out.resize(size);
    return out;
}

// A greyscale JPEG: grey survives the colour conversion exactly, so checks need no
// tolerance.
std::vector<uint8_t> jpeg_grey(int w, int h, const std::vector<uint8_t>& grey) {
    jpeg_compress_struct info;
    jpeg_error_mgr err;
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &mem, &size);
    info.image_width = JDIMENSION(w);
    info.image_height = JDIMENSION(h);
    info.input_components = 1;
    info.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 100, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<uint8_t*>(&grey[info.next_scanline * size_t(w)]);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    std::vector<uint8_t> out(mem, mem + size);
    jpeg_destroy_compress(&info);
    free(mem);
    return out;
}

struct GifImage {
    int left, top, width, height;
    std::vector<uint8_t> indices;
    int disposal = DISPOSAL_UNSPECIFIED;
    int transparent = NO_TRANSPARENT_COLOR;
    bool interlace = false;
};

int gif_write(GifFileType* gif, const GifByteType* data, int n) {
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    out->insert(out->end(), data, data + n);
    return n;
}

// A GIF with the palette red, green, blue, magenta.
std::vector<uint8_t> gif_of(int w, int h, const std::vector<GifImage>& images) {
    std::vector<uint8_t> out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, gif_write, &error);
    GifColorType colours[4] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 0, 255}};
    ColorMapObject* map = GifMakeMapObject(4, colours);
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, w, h, 2, 0, map);
    for (const GifImage& im : images) {
        GraphicsControlBlock gcb{};
        gcb.DisposalMode = im.disposal;
        gcb.TransparentColor = im.transparent;
        GifByteType ext[4];
        size_t n = EGifGCBToExtension(&gcb, ext);
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(n), ext);
        EGifPutImageDesc(gif, im.left, im.top, im.width, im.height, im.interlace, nullptr);
        std::vector<int> order;
        if (im.interlace) {
            for (int start : {0, 4, 2, 1})
                for (int y = start; y < im.height; y += start == 0   ? 8
                                                        : start == 4 ? 8
                                                        : start == 2 ? 4
                                                                     : 2)
                    order.push_back(y);
        } else {
            for (int y = 0; y < im.height; ++y) order.push_back(y);
        }
        for (int y : order) {
            std::vector<GifPixelType> line(im.indices.begin() + y * im.width,
                                           im.indices.begin() + (y + 1) * im.width);
            EGifPutLine(gif, line.data(), im.width);
        }
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

struct Folder {
    fs::path dir;
    Folder() {
        dir = fs::temp_directory_path() /
              ("kelvane-pictures-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
    }
    ~Folder() { fs::remove_all(dir); }
    std::string put(const std::string& name, const std::vector<uint8_t>& bytes) const {
        std::ofstream(dir / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return (dir / name).string();
    }
};

std::vector<uint8_t> bmp_of(const Rows& rows) {
    return EncodeBmp(bitmap_of(rows));
}

// A black PNG of any size, written row by row (one row in memory).
std::vector<uint8_t> png_black(int w, int h) {
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, png_size_t n) {
            auto* o = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
            o->insert(o->end(), data, data + n);
        },
        nullptr);
    png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<uint8_t> row(size_t(w) * 3, 0);
    for (int y = 0; y < h; ++y) png_write_row(png, row.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

// An 8-bit run-length bitmap of the given size whose data ends every row at once (all
// black): it needs only two bytes per 255 pixels.
std::vector<uint8_t> bmp_rle_black(int32_t w, int32_t h) {
    const size_t data_bytes = size_t(int64_t(w) * h / 128) + 2;
    std::vector<uint8_t> out(14 + 40 + 4 + data_bytes, 0);
    auto le32 = [&](size_t at, uint32_t v) {
        for (int k = 0; k < 4; ++k) out[at + size_t(k)] = uint8_t(v >> (8 * k));
    };
    out[0] = 'B', out[1] = 'M';
    le32(2, uint32_t(out.size()));
    le32(10, 14 + 40 + 4);
    le32(14, 40);
    le32(18, uint32_t(w));
    le32(22, uint32_t(h));
    out[26] = 1; // planes
    out[28] = 8; // bits per pixel
    le32(30, 1); // run-length, 8 bits
    le32(34, uint32_t(data_bytes));
    le32(46, 1);             // one colour: black
    out[out.size() - 1] = 1; // end of bitmap
    return out;
}

} // namespace

TEST(Pictures, WindowsBitmapsLoad) {
    auto img = decode_picture_file(bmp_of({"rgb", "wko"}));
    ASSERT_TRUE(img);
    EXPECT_EQ(rows_of(*img), (Rows{"rgb", "wko"}));
}

TEST(Pictures, PngAlphaBlendsOverTheFillColour) {
    // Opaque red, opaque blue, fully transparent white.
    auto bytes = png_rgba(3, 1, {255, 0, 0, 255, 0, 0, 255, 255, 255, 255, 255, 0});
    auto img = decode_picture_file(bytes);
    ASSERT_TRUE(img);
    EXPECT_EQ(rows_of(*img), (Rows{"rbf"}));
}

TEST(Pictures, JpegLoads) {
    auto img = decode_picture_file(jpeg_grey(16, 8, std::vector<uint8_t>(16 * 8, 128)));
    ASSERT_TRUE(img);
    EXPECT_EQ(img->width, 16);
    EXPECT_EQ(img->height, 8);
    EXPECT_EQ(img->pixel(3, 5), 0x808080u);
}

TEST(Pictures, GifFramesBuildOnlyOnImagesLeftInPlace) {
    auto bytes = gif_of(3, 1,
                        {
                            {0, 0, 3, 1, {0, 1, 2}, DISPOSE_DO_NOT},
                            // Transparent first pixel: the kept picture shows through.
                            {1, 0, 2, 1, {3, 0}, DISPOSAL_UNSPECIFIED, 3},
                            // A fresh canvas: only this image's one pixel on the fill.
                            {2, 0, 1, 1, {1}},
                        });
    auto frames = decode_gif_frames(bytes);
    ASSERT_TRUE(frames);
    ASSERT_EQ(frames->size(), 3u);
    EXPECT_EQ(rows_of((*frames)[0]), (Rows{"rgb"}));
    EXPECT_EQ(rows_of((*frames)[1]), (Rows{"rgr"}));
    EXPECT_EQ(rows_of((*frames)[2]), (Rows{"ffg"}));
    // As a plain picture a GIF gives its first frame.
    EXPECT_EQ(rows_of(*decode_picture_file(bytes)), (Rows{"rgb"}));
}

TEST(Pictures, InterlacedGifRowsComeOutInOrder) {
    GifImage im{0, 0, 1, 9, {0, 1, 2, 3, 0, 1, 2, 3, 0}};
    im.interlace = true;
    auto frames = decode_gif_frames(gif_of(1, 9, {im}));
    ASSERT_TRUE(frames);
    EXPECT_EQ(rows_of(frames->at(0)), (Rows{"r", "g", "b", "k", "r", "g", "b", "k", "r"}));
}

TEST(Pictures, DamagedFilesFailCleanly) {
    const std::vector<uint8_t> files[] = {
        bmp_of({"rgb", "wko"}),
        png_rgba(2, 2, std::vector<uint8_t>(16, 200)),
        jpeg_grey(16, 16, std::vector<uint8_t>(256, 60)),
        gif_of(3, 1, {{0, 0, 3, 1, {0, 1, 2}}, {0, 0, 3, 1, {2, 1, 0}}}),
    };
    for (const auto& full : files) {
        for (size_t n = 0; n < full.size(); ++n) {
            std::vector<uint8_t> cut(full.begin(), full.begin() + long(n));
            auto img = decode_picture_file(cut);
            // A cut bitmap or JPEG is refused. PNG and GIF may still give a picture when
            // what is missing is not needed (the end marker, the trailer); it then has its
            // full size.
            if (img) {
                EXPECT_TRUE(full[0] == 0x89 || full[0] == 'G') << "prefix " << n;
                EXPECT_EQ(img->pixels.size(), size_t(img->width) * size_t(img->height) * 3);
            }
            if (auto gif = decode_gif_frames(cut)) {
                EXPECT_LE(gif->size(), 2u);
            }
        }
    }
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        std::vector<uint8_t> noise(size_t(random() % 64));
        for (auto& b : noise) b = uint8_t(random());
        if (round % 4 == 0 && noise.size() >= 4) std::memcpy(noise.data(), "GIF8", 4);
        if (round % 4 == 1 && noise.size() >= 2) noise[0] = 'B', noise[1] = 'M';
        decode_picture_file(noise);
        decode_gif_frames(noise);
    }
    EXPECT_FALSE(decode_picture_file({'h', 'e', 'l', 'l', 'o'}));
}

// A picture file claims its size; a few bytes must not unpack into hundreds of megabytes
// (a GIF of 130 bytes claiming a screen of 11308 x 11564 used to take 390 MB and seconds).
// Every format is held to 2^24 pixels; 4096 x 4096 is still a picture.
TEST(Pictures, ClaimedSizesBeyondTheLimitAreRefused) {
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        bool loads;
    };
    const Case cases[] = {
        {"GIF screen 11308 x 11564", gif_of(11308, 11564, {{0, 0, 1, 1, {0}}}), false},
        {"GIF screen 4097 x 4096", gif_of(4097, 4096, {{0, 0, 1, 1, {0}}}), false},
        {"GIF screen 4096 x 4096", gif_of(4096, 4096, {{0, 0, 1, 1, {0}}}), true},
        {"PNG 4097 x 4096", png_black(4097, 4096), false},
        {"run-length bitmap 4097 x 4096", bmp_rle_black(4097, 4096), false},
        {"run-length bitmap 4096 x 4096", bmp_rle_black(4096, 4096), true},
    };
    for (const Case& c : cases) {
        std::string error;
        auto img = decode_picture_file(c.bytes, &error);
        EXPECT_EQ(img.has_value(), c.loads) << c.what << ": " << error;
        if (!c.loads) {
            EXPECT_FALSE(error.empty()) << c.what;
        }
    }
}

TEST(Pictures, GifExtensionIsFoundInAnyLetterCase) {
    EXPECT_TRUE(has_gif_extension("anim.GiF"));
    EXPECT_FALSE(has_gif_extension("anim.gif.bmp"));
    EXPECT_FALSE(has_gif_extension("gif"));
}

TEST(RunTimeSprites, AddSplitsThePictureIntoFramesAndNamesTheSprite) {
    Folder f;
    std::string file = f.put("strip.bmp", bmp_of({"kkrkgggg", "kkkkgggk"}));
    Game g;
    g.sprites.resize(2);
    CDrawables images;
    std::vector<std::pair<int32_t, size_t>> masks;
    images.mask_hook = [&](int32_t id, const CSprite* s) {
        masks.emplace_back(id, s ? s->frames.size() : 0);
    };
    int32_t id = sprite_add(g, images, file, 2, true, true, false, false, 1, 2);
    ASSERT_EQ(id, 2);
    EXPECT_EQ(g.sprites.name(2), "__newsprite2");
    const CSprite* s = g.sprites.get(2);
    EXPECT_EQ(s->number, 2);
    EXPECT_EQ(s->width, 4);
    EXPECT_EQ(s->height, 2);
    EXPECT_EQ(s->xoffset, 1);
    EXPECT_EQ(s->yoffset, 2);
    EXPECT_EQ(s->bbox_mode, 0);
    // Frame 0 keys out 'k', frame 1 (bottom-left 'g') keys out green: the box covers the
    // red pixel of frame 0 and the last 'k' of frame 1.
    EXPECT_EQ((std::array{s->bbox_left, s->bbox_top, s->bbox_right, s->bbox_bottom}),
              (std::array{2, 0, 3, 1}));
    EXPECT_TRUE(s->frames.empty()); // the record holds the picture now
    EXPECT_EQ(masks, (std::vector<std::pair<int32_t, size_t>>{{2, 2}}));
    ASSERT_EQ(images.sprites.size(), 3u);
    // In the strip frame 1 has its green left out over frame 0's key colour.
    EXPECT_EQ(rows_of(*images.sprite_frame_bitmap(2, 1)), (Rows{"kkkk", "kkkk"}));
}

TEST(RunTimeSprites, FrameCountsAndBoundingBoxRules) {
    Folder f;
    std::string file = f.put("p.bmp", bmp_of({"kkkk", "kkkk"}));
    Game g;
    CDrawables images;
    struct Case {
        int32_t imgnumb;
        bool transparent;
        int32_t frames;             // -1: the add fails
        std::array<int32_t, 4> box; // left, top, right, bottom
    };
    const Case cases[] = {
        {0, true, 1, {3, 1, 0, 0}},   // nothing but the key colour: the box stays inverted
        {-3, false, 1, {0, 0, 3, 1}}, // not transparent: the whole frame
        {4, false, 4, {0, 0, 0, 1}},
        {5, false, -1, {}}, // more frames than pixel columns
    };
    for (const Case& c : cases) {
        int32_t before = g.sprites.count();
        int32_t id =
            sprite_add(g, images, file, c.imgnumb, false, c.transparent, true, false, 0, 0);
        if (c.frames < 0) {
            EXPECT_EQ(id, -1);
            EXPECT_EQ(g.sprites.count(), before);
            continue;
        }
        ASSERT_GE(id, 0) << c.imgnumb;
        const CSprite* s = g.sprites.get(id);
        EXPECT_EQ(s->number, c.frames);
        EXPECT_EQ((std::array{s->bbox_left, s->bbox_top, s->bbox_right, s->bbox_bottom}), c.box)
            << c.imgnumb;
    }
}

TEST(RunTimeSprites, MissingAndUnreadableFilesChangeNothing) {
    Folder f;
    Game g;
    CDrawables images;
    EXPECT_EQ(
        sprite_add(g, images, (f.dir / "none.png").string(), 1, true, true, true, false, 0, 0), -1);
    EXPECT_EQ(sprite_add(g, images, f.put("text.bmp", {'n', 'o', 'p', 'e'}), 1, true, true, true,
                         false, 0, 0),
              -1);
    EXPECT_EQ(sprite_add(g, images, f.dir.string(), 1, true, true, true, false, 0, 0), -1);
    EXPECT_EQ(g.sprites.count(), 0);
    EXPECT_EQ(background_add(g, images, (f.dir / "none.png").string(), false, true, false), -1);
    EXPECT_EQ(g.backgrounds.count(), 0);
}

TEST(RunTimeSprites, AnimatedGifsGiveOneFramePerImage) {
    Folder f;
    std::string file =
        f.put("walk.GIF", gif_of(2, 1, {{0, 0, 2, 1, {0, 1}}, {0, 0, 2, 1, {2, 2}}}));
    Game g;
    CDrawables images;
    int32_t id = sprite_add(g, images, file, 7, true, false, true, false, 0, 0);
    ASSERT_EQ(id, 0);
    EXPECT_EQ(g.sprites.get(0)->number, 2);
    EXPECT_EQ(rows_of(*images.sprite_frame_bitmap(0, 1)), (Rows{"bb"}));
}

TEST(RunTimeSprites, ReplaceRebuildsOrKeepsTheOldSprite) {
    Folder f;
    std::string red = f.put("red.bmp", bmp_of({"rr"}));
    std::string blue = f.put("blue.png", png_rgba(1, 1, {0, 0, 255, 255}));
    Game g;
    CDrawables images;
    ASSERT_EQ(sprite_add(g, images, red, 1, true, false, true, false, 0, 0), 0);
    EXPECT_FALSE(sprite_replace(g, images, 1, blue, 1, true, false, true, false, 0, 0));
    EXPECT_FALSE(sprite_replace(g, images, 0, (f.dir / "gone.bmp").string(), 1, true, false, true,
                                false, 5, 5));
    EXPECT_EQ(g.sprites.get(0)->width, 2);
    EXPECT_EQ(g.sprites.get(0)->xoffset, 0);
    EXPECT_EQ(g.sprites.name(0), "__newsprite0");
    EXPECT_TRUE(sprite_replace(g, images, 0, blue, 1, true, false, true, false, 0, 0));
    EXPECT_EQ(g.sprites.get(0)->width, 1);
    EXPECT_EQ(rows_of(*images.sprite_frame_bitmap(0, 0)), (Rows{"b"}));
    EXPECT_TRUE(g.sprites.get(0)->frames.empty());
}

TEST(RunTimeSprites, DeleteFreesTheRecordAndTheMask) {
    Folder f;
    std::string red = f.put("red.bmp", bmp_of({"rr"}));
    Game g;
    CDrawables images;
    std::vector<int32_t> gone;
    images.mask_hook = [&](int32_t id, const CSprite* s) {
        if (!s) gone.push_back(id);
    };
    ASSERT_EQ(sprite_add(g, images, red, 1, true, false, true, false, 0, 0), 0);
    EXPECT_TRUE(sprite_delete(g, images, 0));
    EXPECT_FALSE(g.sprites.exists(0));
    EXPECT_FALSE(images.sprites[0].exists);
    EXPECT_EQ(gone, std::vector<int32_t>{0});
    EXPECT_FALSE(sprite_delete(g, images, 0));
    EXPECT_FALSE(sprite_delete(g, images, -1));
    // A new sprite takes the next id; the deleted one stays an empty slot.
    EXPECT_EQ(sprite_add(g, images, red, 1, true, false, true, false, 0, 0), 1);
}

TEST(RunTimeBackgrounds, AddReplaceAndDelete) {
    Folder f;
    std::string a = f.put("a.bmp", bmp_of({"rg", "by"}));
    std::string b = f.put("b.jpg", jpeg_grey(8, 8, std::vector<uint8_t>(64, 128)));
    Game g;
    CDrawables images;
    int32_t id = background_add(g, images, a, true, false, false);
    ASSERT_EQ(id, 0);
    EXPECT_EQ(g.backgrounds.name(0), "__newbackground0");
    EXPECT_EQ(g.backgrounds.get(0)->width, 2);
    EXPECT_TRUE(g.backgrounds.get(0)->transparent);
    EXPECT_FALSE(g.backgrounds.get(0)->image);
    EXPECT_EQ(rows_of(*images.background_bitmap(0)), (Rows{"rg", "by"}));
    EXPECT_TRUE(background_replace(g, images, 0, b, false, true, false));
    EXPECT_EQ(g.backgrounds.get(0)->width, 8);
    EXPECT_EQ(images.background_bitmap(0)->pixel(7, 7), 0x808080u);
    EXPECT_FALSE(background_replace(g, images, 3, a, false, true, false));
    EXPECT_TRUE(background_delete(g, images, 0));
    EXPECT_FALSE(background_delete(g, images, 0));
    EXPECT_FALSE(images.background_bitmap(0));
}
