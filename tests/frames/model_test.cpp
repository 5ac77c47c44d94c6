// Random frame tables built by the program and, independently, by a plain
// model that follows the build's rules pixel by pixel without any of the
// program's shortcuts; the written files must show the model's result.
#include <algorithm>
#include <random>

#include "frame_setup.h"
#include "frames/fused_steps.h"

namespace {

uint32_t swapRB(uint32_t c) {
  return (c & 0xFF00FF00u) | ((c & 0xFFu) << 16) | ((c >> 16) & 0xFFu);
}

struct Frame {
  int32_t w = 0, h = 0;
  std::vector<uint32_t> px;       // top-down; colour (24-bit) or index (8-bit)
  std::vector<uint32_t> palette;  // 256 entries, DIB order
  uint32_t get(int32_t x, int32_t y) const {
    if (x < 0 || y < 0 || x >= w || y >= h) return 0;
    return px[static_cast<size_t>(y) * w + x];
  }
};

struct Rect {
  int32_t l, t, r, b;
};

struct Model {
  bool is24 = true, trans = false, replace = false, merge = false, optimize = false;
  std::vector<uint32_t> transList, replaceList;  // COLORREF
  std::vector<Frame> frames;
  std::vector<std::vector<bool>> masks;

  bool listed(const Frame& f, uint32_t v) const {
    const uint32_t colour = is24 ? v : f.palette[v];
    for (uint32_t t : transList)
      if (swapRB(t) == colour) return true;
    return false;
  }

  Rect bounds(const Frame& f) const {
    if (transList.empty()) return {0, 0, f.w - 1, f.h - 1};
    auto opaque = [&](int32_t x, int32_t y) { return !listed(f, f.get(x, y)); };
    auto col = [&](int32_t x) {
      for (int32_t y = 0; y < f.h; ++y)
        if (opaque(x, y)) return true;
      return false;
    };
    auto row = [&](int32_t y) {
      for (int32_t x = 0; x < f.w; ++x)
        if (opaque(x, y)) return true;
      return false;
    };
    // No content at all: an empty rectangle. Otherwise the scans find the
    // content's edges, a single row or column included.
    Rect r{0, 0, -1, -1};
    bool any = false;
    for (int32_t y = 0; y < f.h; ++y) any = any || row(y);
    if (!any) return r;
    r = {f.w - 1, f.h - 1, 0, 0};
    for (int32_t x = 0; x <= f.w - 2; ++x)
      if (col(x)) {
        r.l = x;
        break;
      }
    for (int32_t y = 0; y <= f.h - 2; ++y)
      if (row(y)) {
        r.t = y;
        break;
      }
    for (int32_t x = f.w - 1; x >= 1; --x)
      if (col(x)) {
        r.r = x;
        break;
      }
    for (int32_t y = f.h - 1; y >= 1; --y)
      if (row(y)) {
        r.b = y;
        break;
      }
    return r;
  }

  static bool empty(const Rect& r) { return r.r < r.l || r.b < r.t; }

  void run() {
    Rect u{0, 0, -1, -1};
    for (const Frame& f : frames) {
      const Rect r = bounds(f);
      if (empty(r)) continue;
      if (empty(u)) {
        u = r;
      } else {
        u = {std::min(u.l, r.l), std::min(u.t, r.t), std::max(u.r, r.r), std::max(u.b, r.b)};
      }
    }
    if (is24) {
      int32_t e = u.r + 1;
      if (e % 4 != 0) e += 4 - e % 4;
      u.r = e - 1;
      if (u.l % 4 != 0) u.l -= u.l % 4;
      if (u.l < 0) u.l = 0;
    }
    if (optimize && !empty(u)) {
      for (Frame& f : frames) {
        Frame c = f;
        c.w = u.r - u.l + 1;
        c.h = u.b - u.t + 1;
        c.px.assign(static_cast<size_t>(c.w) * c.h, 0);
        for (int32_t y = 0; y < c.h; ++y)
          for (int32_t x = 0; x < c.w; ++x)
            c.px[static_cast<size_t>(y) * c.w + x] = f.get(u.l + x, u.t + y);
        f = c;
      }
    }
    if (replace && is24) {
      for (Frame& f : frames) {
        for (uint32_t& v : f.px) {
          const uint32_t old = v;
          for (size_t k = 0; k + 1 < replaceList.size(); k += 2)
            if (swapRB(replaceList[k]) == old) v = swapRB(replaceList[k + 1]) & 0xFFFFFF;
        }
      }
    }
    if (merge && frames.size() >= 2) {
      const Frame first = frames[0];
      for (size_t k = 1; k < frames.size(); ++k) {
        Frame m = frames[k];
        m.w = first.w;
        m.h = first.h;
        m.px.assign(static_cast<size_t>(m.w) * m.h, 0);
        for (int32_t y = 0; y < m.h; ++y) {
          for (int32_t x = 0; x < m.w; ++x) {
            const uint32_t v = frames[k].get(x, y);
            m.px[static_cast<size_t>(y) * m.w + x] =
                transList.empty() || !listed(frames[k], v) ? v : first.get(x, y);
          }
        }
        frames[k] = m;
      }
    }
    masks.clear();
    for (Frame& f : frames) {
      std::vector<bool> mask(f.px.size(), false);
      if (trans) {
        for (size_t i = 0; i < f.px.size(); ++i) {
          if (listed(f, f.px[i])) {
            mask[i] = true;
            if (is24) f.px[i] = 0;
          }
        }
      }
      masks.push_back(mask);
      if (!is24) {
        for (uint32_t& e : f.palette) {
          if (trans) {
            for (uint32_t t : transList)
              if (swapRB(t) == e) {
                e = 0;
                break;
              }
          }
          if (replace) {
            for (size_t k = 0; k + 1 < replaceList.size(); k += 2)
              if (swapRB(replaceList[k]) == e) {
                e = swapRB(replaceList[k + 1]);
                break;
              }
          }
        }
      }
    }
  }
};

class ModelTest : public FrameTableTest {};

TEST_F(ModelTest, WrittenFramesMatchAPlainModelOfTheBuild) {
  std::mt19937 rng(20240607);
  auto pick = [&](uint32_t n) { return static_cast<uint32_t>(rng() % n); };
  const uint32_t pool[] = {0x000000, 0xFF00FF, 0x102030, 0xFFFFFF, 0x00FF00, 0x3366CC};
  int built = 0, refused = 0;
  // The last rounds take 24-bit frames wide enough for the pixel steps'
  // runs of eight pixels, with the rest of a row after them.
  constexpr int kRounds = 420, kNarrowRounds = 300;
  for (int round = 0; round < kRounds; ++round) {
    SetUp();
    // Every other round takes the pixels one at a time where the processor
    // could take eight.
    setVectorSteps(round % 2 == 0);
    Model m;
    const bool wide = round >= kNarrowRounds;
    m.is24 = pick(2) == 0 || wide;
    m.trans = pick(3) != 0;
    m.replace = pick(2) == 0;
    m.merge = pick(2) == 0;
    m.optimize = pick(3) != 0;
    for (uint32_t i = 0, n = pick(4); i < n; ++i) {
      uint32_t c = swapRB(pool[pick(6)]);
      if (pick(10) == 0) c |= 0x01000000u;  // never matches a 24-bit pixel
      m.transList.push_back(c);
    }
    for (uint32_t i = 0, n = pick(6); i < n; ++i) m.replaceList.push_back(swapRB(pool[pick(6)]));
    // Long lists of colours the frames never show take the build's path
    // for lists too long for its small colour table.
    if (pick(6) == 0) {
      for (uint32_t i = 0; i < 200; ++i) m.transList.push_back(0x404040 + 97 * i);
    }
    const int frames = 1 + static_cast<int>(pick(4));
    for (int k = 0; k < frames; ++k) {
      Frame f;
      f.w = pick(12) == 0 ? 0 : 1 + static_cast<int32_t>(wide ? 7 + pick(34) : pick(9));
      f.h = pick(12) == 0 ? 0 : 1 + static_cast<int32_t>(pick(9));
      // Mostly a border of one colour around varied content.
      const uint32_t border = pick(6);
      std::vector<uint32_t> palette;
      if (!m.is24) {
        const uint32_t size = 1 + pick(8);
        for (uint32_t i = 0; i < size; ++i) {
          uint32_t e = pool[i < 6 ? i : pick(6)];
          if (pick(12) == 0) e |= 0x05000000u;  // reserved byte: matches no list colour
          palette.push_back(e);
        }
        f.palette = palette;
        f.palette.resize(256, 0);
      }
      for (int32_t y = 0; y < f.h; ++y) {
        for (int32_t x = 0; x < f.w; ++x) {
          const bool edge = x == 0 || y == 0 || x == f.w - 1 || y == f.h - 1;
          const uint32_t choice = edge && pick(4) != 0 ? border : pick(6);
          f.px.push_back(m.is24 ? pool[choice] : choice % (palette.size() + 1));
        }
      }
      BmpLayout layout = m.is24 ? spec24(f.w, f.h) : spec8(f.w, f.h, palette);
      if (!m.is24) layout.clrUsed = static_cast<uint32_t>(palette.size());
      addBmp(layout, f.px);
      m.frames.push_back(f);
    }
    appState.optTransparent = m.trans;
    appState.optReplace = m.replace;
    appState.optMerge = m.merge;
    appState.optOptimize = m.optimize;
    for (size_t i = 0; i < m.transList.size(); ++i) appState.transColors[i] = m.transList[i];
    appState.transCount = static_cast<int32_t>(m.transList.size());
    for (size_t i = 0; i < m.replaceList.size(); ++i) appState.replaceColors[i] = m.replaceList[i];
    appState.replaceCount = static_cast<int32_t>(m.replaceList.size());

    const std::string out = path("model.anim");
    // A frame without pixels stops the build at the first such frame.
    const auto empty = std::find_if(m.frames.begin(), m.frames.end(),
                                    [](const Frame& f) { return f.w == 0 || f.h == 0; });
    if (empty != m.frames.end()) {
      ASSERT_FALSE(buildAndRelease(out)) << "round " << round;
      const std::string named = files_[static_cast<size_t>(empty - m.frames.begin())];
      ASSERT_EQ(takeShownErrors(), (std::vector<ShownError>{{"Can't load file", named}}));
      ASSERT_FALSE(fileExists(out)) << "round " << round;
      ++refused;
      TearDown();
      continue;
    }
    ASSERT_TRUE(buildAndRelease(out)) << "round " << round;
    ASSERT_TRUE(takeShownErrors().empty()) << "round " << round;
    m.run();
    const ParsedAni ani = parseFile(out);
    ASSERT_EQ(ani.icons.size(), m.frames.size()) << "round " << round;
    for (size_t k = 0; k < m.frames.size(); ++k) {
      const Frame& f = m.frames[k];
      const ParsedIcon& icon = ani.icons[k];
      ASSERT_EQ(icon.width(), f.w) << "round " << round << " frame " << k;
      ASSERT_EQ(icon.height(), f.h) << "round " << round << " frame " << k;
      ASSERT_EQ(icon.biBitCount, m.is24 ? 24 : 8);
      if (!m.is24) {
        ASSERT_EQ(icon.palette, f.palette) << "round " << round << " frame " << k;
      }
      for (int32_t y = 0; y < f.h; ++y) {
        for (int32_t x = 0; x < f.w; ++x) {
          const size_t i = static_cast<size_t>(y) * f.w + x;
          if (m.is24) {
            ASSERT_EQ(icon.colourAt(x, y), f.px[i])
                << "round " << round << " frame " << k << " at " << x << "," << y;
          } else {
            ASSERT_EQ(icon.indexAt(x, y), f.px[i])
                << "round " << round << " frame " << k << " at " << x << "," << y;
          }
          ASSERT_EQ(icon.maskAt(x, y), m.masks[k][i])
              << "round " << round << " frame " << k << " at " << x << "," << y;
        }
      }
    }
    ++built;
    TearDown();
  }
  setVectorSteps(true);
  EXPECT_EQ(built + refused, kRounds);
  EXPECT_GT(refused, 0);
}

}  // namespace
