// The "reading" order: blocks in the order a reader takes them on the page as
// a viewer shows it. Boxes are turned into a frame where the page's text runs
// rightwards (the page rotation, or the direction most characters run in),
// then cut recursively: into columns at empty vertical strips as wide as the
// text's own size makes a gutter, else into rows at any empty horizontal
// strip, rows that have columns merged into bands as the XY-cut does, so
// spanning headings, captions and footnotes stay bands of their own. Where
// nothing cuts, the blocks keep the content stream's order. Vertical CJK
// pages come out right to left, tier by tier: in their frame the columns run
// rightwards and the tiers are columns.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "order.hpp"
#include "sort.hpp"

namespace textloom {

namespace {

// A gutter is at least this many times the median font size of its region...
constexpr double kGutterEm = 0.8;
// ...and never narrower than this, in page units.
constexpr double kGutterMin = 4.0;
// Font sizes this close (as a share of the larger) count as one type size.
constexpr double kSameSize = 0.1;
// Share of the characters running one way that makes that way the frame's.
constexpr double kDominantShare = 0.6;
// Depth past which a region keeps stream order: bounds the work on
// adversarial pages to a fixed number of n log n passes.
constexpr std::uint32_t kMaxDepth = 64;

// Directions in page space (y down), as turns of 90 degrees clockwise from rightwards.
enum Way : int { kRight = 0, kDown = 1, kLeft = 2, kUp = 3, kNoWay = 4 };

// The way a line's text runs; a vertical line runs down its glyphs' left side.
Way way_of(const Line& line) {
  double dx = line.dir_x;
  double dy = line.dir_y;
  if (line.wmode == 1) {  // (dx, dy) turned clockwise
    const double turned = -dy;
    dy = dx;
    dx = turned;
  }
  if (std::isnan(dx) || std::isnan(dy) || (dx == 0 && dy == 0)) return kNoWay;
  if (std::fabs(dx) >= std::fabs(dy)) return dx > 0 ? kRight : kLeft;
  return dy > 0 ? kDown : kUp;
}

// The page-space way that a viewer showing the page with `rotation` shows as rightwards.
Way viewer_right(std::uint32_t rotation) {
  switch (rotation) {
    case 90: return kUp;
    case 180: return kLeft;
    case 270: return kDown;
    default: return kRight;
  }
}

// The way the page reads: the viewer's rightwards, unless most characters run another way.
Way frame_way(const std::vector<Block>& blocks, std::uint32_t rotation) {
  double count[4] = {0, 0, 0, 0};
  double total = 0;
  for (const Block& b : blocks) {
    for (const Line& l : b.lines) {
      const Way w = way_of(l);
      const double n = static_cast<double>(l.chars.size());
      total += n;
      if (w != kNoWay) count[w] += n;
    }
  }
  for (int w = 0; w < 4; ++w) {
    if (total > 0 && count[w] >= kDominantShare * total) return static_cast<Way>(w);
  }
  return viewer_right(rotation);
}

// `b` turned so that `way` runs rightwards, normalised.
Rect to_frame(const Rect& b, Way way) {
  const double x0 = min_num(b.x0, b.x1), x1 = max_num(b.x0, b.x1);
  const double y0 = min_num(b.y0, b.y1), y1 = max_num(b.y0, b.y1);
  switch (way) {
    case kDown: return {y0, -x1, y1, -x0};   // (x, y) -> (y, -x)
    case kLeft: return {-x1, -y1, -x0, -y0};  // (x, y) -> (-x, -y)
    case kUp: return {-y1, x0, -y0, x1};      // (x, y) -> (-y, x)
    default: return {x0, y0, x1, y1};
  }
}

bool finite(const Rect& b) {
  return std::isfinite(b.x0) && std::isfinite(b.y0) && std::isfinite(b.x1) && std::isfinite(b.y1);
}

// The font size a block is set in: that of the middle char of its first line.
double block_size(const Block& b) {
  if (b.lines.empty() || b.lines.front().chars.empty()) return 0;
  const std::vector<Char>& chars = b.lines.front().chars;
  const double s = std::fabs(chars[chars.size() / 2].size);
  return std::isfinite(s) ? s : 0;
}

struct Item {
  std::size_t index;  // position in layout (stream) order
  Rect box;           // in the frame; finite, normalised
  double size;        // font size, finite, >= 0
};

// A run of rows read as one: where it ends, and whether it has a gutter.
struct Band {
  std::size_t end;
  bool columns;
};

// Sorted, disjoint pieces of the union of some intervals; a gutter is a hole
// between two neighbours at least a threshold wide.
struct Pieces {
  std::vector<Interval> list;

  void add(const Interval& iv) {  // in ascending start order
    if (list.empty() || iv.start > list.back().end) {
      list.push_back(iv);
    } else if (iv.end > list.back().end) {
      list.back().end = iv.end;
    }
  }

  bool has_gutter(double min_width) const {
    for (std::size_t k = 1; k < list.size(); ++k) {
      if (list[k].start - list[k - 1].end >= min_width) return true;
    }
    return false;
  }
};

constexpr auto start_less = [](const Interval& a, const Interval& b) {
  return key_less(a.start, a.end, b.start, b.end);
};

// The recursive cut over one array of items, a region being a range of it;
// temporaries are shared by all levels (each is done with them before it recurses).
class Reader {
 public:
  explicit Reader(std::vector<Item>& items) : items_(items) {
    const std::size_t n = items.size();
    // Every buffer sized once; the largest any level needs is the whole page.
    intervals_.resize(n + n / 2 + 1);  // intervals | sort scratch
    item_scratch_.resize(n);           // partitions, or sort scratch
    slots_.resize(n);
    sizes_.reserve(n);
    gaps_.reserve(n);
    counts_.reserve(n);
    bands_.reserve(n);
    ends_.reserve(2 * n);
  }

  void cut(std::size_t begin, std::size_t end, std::uint32_t depth) {
    if (end - begin < 2) return;
    if (depth >= kMaxDepth) return stream_order(begin, end);
    const double size = median_size(begin, end);
    const double gutter = max_num(kGutterMin, kGutterEm * size);
    const std::size_t base = ends_.size();
    // Rows at any empty strip (touching boxes do not separate), merged into bands.
    bands_.clear();
    holes(begin, end, kAxisY, 0);
    if (!gaps_.empty()) {
      partition(begin, end, kAxisY);
      merge_bands(begin, base, gutter);
    }
    // Columns first, as they run past rows that only one of them has text
    // in, unless a band in another type size (a title over one column)
    // would become that column's head.
    holes(begin, end, kAxisX, gutter);
    if (!gaps_.empty() && !(bands_.size() >= 2 && foreign_band(begin, size))) {
      partition(begin, end, kAxisX);
      return cut_parts(begin, base, depth);
    }
    if (bands_.size() >= 2) {
      for (const Band& b : bands_) ends_.push_back(b.end);
      return cut_parts(begin, base, depth);
    }
    stream_order(begin, end);
  }

  void stream_order(std::size_t begin, std::size_t end) {
    if (end - begin < 2) return;
    sort_ordered(items_.data() + begin, end - begin, item_scratch_.data(),
                 [](const Item& a, const Item& b) { return a.index < b.index; });
  }

 private:
  // The upper median of the font sizes of items [begin, end), not empty.
  double median_size(std::size_t begin, std::size_t end) {
    sizes_.clear();
    for (std::size_t i = begin; i < end; ++i) sizes_.push_back(items_[i].size);
    const auto mid = sizes_.begin() + static_cast<std::ptrdiff_t>(sizes_.size() / 2);
    std::nth_element(sizes_.begin(), mid, sizes_.end());
    return *mid;
  }

  Interval interval(const Item& it, int axis) const {
    return axis == kAxisX ? Interval{it.box.x0, it.box.x1} : Interval{it.box.y0, it.box.y1};
  }

  // The holes between the pieces of the region's intervals on `axis`, into
  // gaps_: at least `min_width` wide, or of any width when it is 0.
  void holes(std::size_t begin, std::size_t end, int axis, double min_width) {
    gaps_.clear();
    const std::size_t n = end - begin;
    for (std::size_t i = 0; i < n; ++i) intervals_[i] = interval(items_[begin + i], axis);
    sort_ordered(intervals_.data(), n, intervals_.data() + n, start_less);
    double cur = intervals_[0].end;
    for (std::size_t i = 1; i < n; ++i) {
      const Interval& iv = intervals_[i];
      const double width = iv.start - cur;
      if (width > 0 && width >= min_width) gaps_.push_back({cur, iv.start});
      cur = max_num(cur, iv.end);
    }
  }

  // Regroups the region by the gaps_ its intervals on `axis` lie past (each
  // lies wholly between two gaps), keeping order within a group; pushes the
  // group ends onto ends_.
  void partition(std::size_t begin, std::size_t end, int axis) {
    counts_.assign(gaps_.size() + 1, 0);
    for (std::size_t i = begin; i < end; ++i) {
      const double start = interval(items_[i], axis).start;
      const std::size_t slot = static_cast<std::size_t>(
          std::partition_point(gaps_.begin(), gaps_.end(),
                               [start](const Gap& g) { return g.to <= start; }) -
          gaps_.begin());
      slots_[i] = slot;
      ++counts_[slot];
    }
    std::size_t at = begin;
    for (std::size_t& c : counts_) {
      const std::size_t size = c;
      c = at;
      at += size;
      if (size != 0) ends_.push_back(at);
    }
    for (std::size_t i = begin; i < end; ++i) item_scratch_[counts_[slots_[i]]++] = items_[i];
    std::copy(item_scratch_.begin() + static_cast<std::ptrdiff_t>(begin),
              item_scratch_.begin() + static_cast<std::ptrdiff_t>(end),
              items_.begin() + static_cast<std::ptrdiff_t>(begin));
  }

  // The x pieces of items [begin, end).
  void row_pieces(std::size_t begin, std::size_t end, Pieces& out) {
    const std::size_t n = end - begin;
    for (std::size_t i = 0; i < n; ++i) intervals_[i] = interval(items_[begin + i], kAxisX);
    sort_ordered(intervals_.data(), n, intervals_.data() + n, start_less);
    out.list.clear();
    for (std::size_t i = 0; i < n; ++i) out.add(intervals_[i]);
  }

  // The rows (the groups on ends_ from `base`, which this pops) merged into
  // bands_, which the next level cuts into columns: a row joins the band
  // before it when the band has a gutter and keeps one with the row, so a
  // column running on below its neighbour stays in its column, while a row
  // that spans the gutter (a heading, a caption, a footnote) starts a band
  // of its own.
  void merge_bands(std::size_t begin, std::size_t base, double gutter) {
    std::size_t row_begin = begin;
    for (std::size_t k = base; k < ends_.size(); ++k) {
      const std::size_t row_end = ends_[k];
      row_pieces(row_begin, row_end, row_);
      if (!bands_.empty() && bands_.back().columns) {
        merge(band_, row_, merged_);
        if (merged_.has_gutter(gutter)) {
          bands_.back().end = row_end;
          std::swap(band_, merged_);
          row_begin = row_end;
          continue;
        }
      }
      bands_.push_back({row_end, row_.has_gutter(gutter)});
      std::swap(band_, row_);
      row_begin = row_end;
    }
    ends_.resize(base);
  }

  static void merge(const Pieces& a, const Pieces& b, Pieces& out) {
    out.list.clear();
    std::size_t i = 0, j = 0;
    while (i < a.list.size() || j < b.list.size()) {
      const bool from_a =
          j == b.list.size() || (i < a.list.size() && a.list[i].start <= b.list[j].start);
      out.add(from_a ? a.list[i++] : b.list[j++]);
    }
  }

  // Whether a band without a gutter is set in another type size than the
  // region (`size`): a title or a heading rather than a column's own lines.
  bool foreign_band(std::size_t begin, double size) {
    std::size_t from = begin;
    for (const Band& b : bands_) {
      if (!b.columns) {
        const double s = median_size(from, b.end);
        if (std::fabs(s - size) > kSameSize * max_num(s, size)) return true;
      }
      from = b.end;
    }
    return false;
  }

  // Cuts each group on ends_ from `base` one level down, then drops them.
  void cut_parts(std::size_t begin, std::size_t base, std::uint32_t depth) {
    const std::size_t top = ends_.size();
    std::size_t from = begin;
    for (std::size_t k = base; k < top; ++k) {
      const std::size_t to = ends_[k];  // read before the levels below push theirs
      cut(from, to, depth + 1);
      from = to;
    }
    ends_.resize(base);
  }

  std::vector<Item>& items_;
  std::vector<Interval> intervals_;
  std::vector<Item> item_scratch_;
  std::vector<std::size_t> slots_;
  std::vector<double> sizes_;
  std::vector<Gap> gaps_;
  std::vector<std::size_t> counts_;
  std::vector<Band> bands_;
  std::vector<std::size_t> ends_;  // group ends, a stack of the open levels' lists
  Pieces band_, row_, merged_;
};

}  // namespace

void sort_reading(std::vector<Block>& blocks, std::uint32_t rotation) {
  if (blocks.size() < 2) return;
  const Way way = frame_way(blocks, rotation);
  std::vector<Item> placed;
  placed.reserve(blocks.size());
  std::vector<std::size_t> unplaced;  // boxes with NaN or infinite coordinates
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    if (finite(blocks[i].bbox)) {
      placed.push_back({i, to_frame(blocks[i].bbox, way), block_size(blocks[i])});
    } else {
      unplaced.push_back(i);
    }
  }
  Reader(placed).cut(0, placed.size(), 0);
  std::vector<Block> ordered;
  ordered.reserve(blocks.size());
  for (const Item& it : placed) ordered.push_back(std::move(blocks[it.index]));
  for (std::size_t i : unplaced) ordered.push_back(std::move(blocks[i]));
  blocks = std::move(ordered);
}

}  // namespace textloom
