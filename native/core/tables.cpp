// find_tables: the page turned into the frame its text reads in (the
// viewer's, or the way most glyphs run), its rules joined,
// ruled tables first (rules win where they exist), then bands of header and
// bottom rules read by the alignment of their words, then tables of words
// alone among the words no table holds; cells filled, headers found, boxes
// turned back into page space.

#include "tables.hpp"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <utility>

#include "layout.hpp"
#include "output.hpp"
#include "sort.hpp"
#include "tables_cells.hpp"
#include "tables_internal.hpp"

namespace textloom {

namespace {

// A rule shorter than this many ems after joining is a dash or a lone dot,
// never a table line (the narrowest column holds a digit and its margins).
constexpr double kMinRuleEms = 1.0;
// White rules draw on coloured ground, which we do not see: no table line.
constexpr std::uint32_t kWhite = 0xFFFFFF;
// Figure marks (curves, slanted lines, polygons) covering this share of a
// candidate's area, or this many of them inside it, make it a chart: a
// table's cells hold text, and the odd symbol or logo in one covers far less
// and comes alone, while a chart's series are a path per line or segment.
constexpr double kMaxMarkShare = 0.1;
constexpr std::size_t kMaxMarks = 10;

// Words are filed whole into the cell their first char lies in, so the text
// read for the grids reaches this far past them (in ems): a word begun in a
// cell and running out of it (a long label, a subscript below the bottom
// rule) stays one word. Twelve ems holds the long words of running text
// ("TRANSPORTATION" in capitals is about ten).
constexpr double kWordReachEms = 12.0;

// "auto" takes a table of words alone (no rule above, below or between) only
// with this many columns: two columns of words are as often a book's index
// set in two columns, a glossary or line-numbered text as a table, and read
// right as lines; "text" takes them too.
constexpr std::size_t kMinWordColumns = 3;

// A grid of rules whose cells are mostly empty is a chart's gridlines or a
// form to fill in: a table holds text in at least a quarter of its cells
// (sparse statistical tables keep far more than that).
constexpr double kMinFilledShare = 0.25;

// True when the marks inside `box` make it a chart (overlaps counted twice).
bool is_chart(const Rect& box, const std::vector<Rect>& marks) {
  const double area = (box.x1 - box.x0) * (box.y1 - box.y0);
  if (!(area > 0)) return false;
  double covered = 0;
  std::size_t count = 0;
  for (const Rect& m : marks) {
    const double w = min_num(m.x1, box.x1) - max_num(m.x0, box.x0);
    const double h = min_num(m.y1, box.y1) - max_num(m.y0, box.y0);
    // A mark along one line (a slanted stroke) has no area; count it as a point wide.
    if (w >= 0 && h >= 0) covered += max_num(w, 1.0) * max_num(h, 1.0), ++count;
  }
  return covered >= kMaxMarkShare * area || count >= kMaxMarks;
}

std::vector<PageRule> viewer_rules(const PageGlyphs& page, const Xf& xf) {
  std::vector<PageRule> out;
  out.reserve(page.rules.size());
  for (PageRule r : page.rules) {
    if (r.color == kWhite) continue;
    xf.point(r.x0, r.y0);
    xf.point(r.x1, r.y1);
    const double x0 = min_num(r.x0, r.x1), x1 = max_num(r.x0, r.x1);
    const double y0 = min_num(r.y0, r.y1), y1 = max_num(r.y0, r.y1);
    r.x0 = x0, r.x1 = x1, r.y0 = y0, r.y1 = y1;
    out.push_back(r);
  }
  return out;
}

Rect extent(const Grid& g) { return {g.xs.front(), g.ys.front(), g.xs.back(), g.ys.back()}; }

std::size_t filled_cells(const Grid& g) {
  std::size_t n = 0;
  for (const TableCell& c : g.cells) n += c.text.empty() ? 0 : 1;
  return n;
}

// True when a vertical rule runs through `box`: a table of words has none
// (it would be ruled), while a chart's axes and a frame's sides do.
bool crossed(const Rect& box, const std::vector<Segment>& vertical) {
  for (const Segment& v : vertical) {
    if (v.at > box.x0 && v.at < box.x1 && v.from < box.y1 && v.to > box.y0) return true;
  }
  return false;
}

bool overlaps_any(const Rect& box, const std::vector<Rect>& taken) {
  for (const Rect& t : taken) {
    if (rects_overlap(box, t)) return true;
  }
  return false;
}

// A band's grid: rows above the header rule are the header, and the band's
// rules bound the first and last rows.
Grid band_grid(Grid g, const RuledBand& band, double tolerance) {
  std::uint32_t header = 0;
  for (std::size_t r = 1; r < g.ys.size(); ++r) {
    if (g.ys[r] <= band.header_rule + tolerance) header = static_cast<std::uint32_t>(r);
  }
  g.header = header < g.ys.size() - 1 ? header : 0;
  g.ys.front() = band.region.y0, g.ys.back() = band.region.y1;
  g.ruled = true;
  for (TableCell& c : g.cells) {
    if (c.row == 0) c.bbox.y0 = band.region.y0;
    if (c.row + c.row_span == g.ys.size() - 1) c.bbox.y1 = band.region.y1;
  }
  return g;
}

}  // namespace

std::vector<Table> find_tables(const PageGlyphs& page, TableStrategy strategy,
                               const std::optional<Rect>& clip, const TableParams& params) {
  const double em = median_size(page);
  const std::uint32_t rotation = frame_rotation(page);
  const Xf xf{page.width, page.height, rotation, true};
  const bool swaps = xf.swaps_axes();
  const Xf back{swaps ? page.height : page.width, swaps ? page.width : page.height,
                (360 - rotation) % 360, true};
  const double tolerance = params.intersection_tolerance * em;
  const RuleSet rules = join_rules(viewer_rules(page, xf), params.snap_tolerance * em,
                                   params.join_tolerance * em, kMinRuleEms * em);
  std::vector<Grid> ruled =
      strategy != TableStrategy::text ? ruled_grids(rules, tolerance) : std::vector<Grid>{};
  // Words alone make tables on pages without ruled tables (see below);
  // elsewhere only the text inside ruled grids and bands is read, so only
  // that is laid out (and the whole page later if no grid is a table).
  // Cells order their own pieces by position: the blocks need no reading order.
  auto lay_out = [&](std::optional<Rect> region) {
    if (clip) {
      region = region ? Rect{max_num(region->x0, clip->x0), max_num(region->y0, clip->y0),
                             min_num(region->x1, clip->x1), min_num(region->y1, clip->y1)}
                      : *clip;
    }
    if (region && !(region->x0 <= region->x1 && region->y0 <= region->y1)) {
      return std::vector<Block>{};
    }
    return layout_page(page, SortMode::none, region, LayoutParams{});
  };
  std::optional<Rect> region;
  if (strategy == TableStrategy::lines ||
      (strategy == TableStrategy::automatic && !ruled.empty())) {
    Rect reach = kEmptyRect;
    for (const Grid& g : ruled) reach = rect_union(reach, extent(g));
    if (strategy == TableStrategy::automatic) {
      for (const RuledBand& band : rule_bands(rules, {}, tolerance)) {
        reach = rect_union(reach, band.region);
      }
    }
    const double r = kWordReachEms * em;
    region = reach.x0 <= reach.x1 ? back.rc({reach.x0 - r, reach.y0 - r, reach.x1 + r, reach.y1 + r})
                                  : Rect{0, 0, -1, -1};
  }
  std::vector<Block> blocks = lay_out(region);
  // The chars in the viewer's frame, placed when a candidate needs filling:
  // most pages have none, and pay only for the layout.
  std::vector<PlacedChar> chars;
  bool placed = false;
  auto placed_chars = [&]() -> const std::vector<PlacedChar>& {
    if (!placed) chars = place_chars(blocks, xf), placed = true;
    return chars;
  };
  std::vector<Rect> marks;
  marks.reserve(page.marks.size());
  for (const Rect& m : page.marks) marks.push_back(xf.rc(m));
  auto chart = [&](const Grid& g) { return is_chart(extent(g), marks); };

  std::vector<Grid> found;
  std::vector<Rect> taken;
  // Moves the filled candidates that are tables into `found`: no chart, none
  // over a table found before. A char goes to one candidate only, so where a
  // candidate left out overlaps one kept (a legend's box inside a chart, a
  // frame around a table), the kept ones are filled again: what the left-out
  // one took is theirs.
  auto keep = [&](std::vector<Grid>& candidates, auto&& holds_text) {
    const std::size_t first = found.size();
    bool dropped = false;
    for (Grid& g : candidates) {
      if (!holds_text(g) || overlaps_any(extent(g), taken) || chart(g)) {
        dropped = true;
        continue;
      }
      taken.push_back(extent(g));
      found.push_back(std::move(g));
    }
    if (!dropped || found.size() == first) return;
    std::vector<Grid> kept(std::make_move_iterator(found.begin() + first),
                           std::make_move_iterator(found.end()));
    fill_cells(kept, placed_chars(), page.fonts);
    std::move(kept.begin(), kept.end(), found.begin() + first);
  };
  if (strategy != TableStrategy::text && !ruled.empty()) {
    split_rows(ruled, placed_chars());
    fill_cells(ruled, placed_chars(), page.fonts);
    keep(ruled, [&](const Grid& g) {
      // A box around one text or an empty drawing of lines is no table.
      const double share = static_cast<double>(filled_cells(g)) /
                           static_cast<double>((g.xs.size() - 1) * (g.ys.size() - 1));
      return filled_cells(g) >= 2 && share >= kMinFilledShare;
    });
  }
  if (strategy != TableStrategy::lines) {
    const std::vector<RuledBand> bands = strategy == TableStrategy::automatic
                                             ? rule_bands(rules, taken, tolerance)
                                             : std::vector<RuledBand>{};
    // Rules win where they exist: a page that draws its tables with rules
    // draws them all so, and there words line up in the tables' own
    // surroundings (notes, sources, legends) more often than in another
    // table. Elsewhere tables of words are looked for, none through which a
    // vertical rule runs (see `crossed`).
    const bool alone = strategy == TableStrategy::text || found.empty();
    if (alone && region && strategy == TableStrategy::automatic) {
      blocks = lay_out(std::nullopt);  // the grids were no tables: read the whole page
      placed = false;
    }
    std::vector<WordBox> all;
    if (alone || !bands.empty()) all = word_boxes(blocks, xf);
    std::vector<Grid> text;
    for (const RuledBand& band : bands) {
      for (Grid& g : text_grids(all, band.region, em, params.column_gap, params.min_rows, true)) {
        text.push_back(band_grid(std::move(g), band, tolerance));
      }
    }
    std::vector<WordBox> free;
    for (const WordBox& w : all) {
      if (!alone || !text.empty()) break;
      if (!overlaps_any(w.box, taken)) free.push_back(w);
    }
    const Rect everywhere{-INFINITY, -INFINITY, INFINITY, INFINITY};
    for (Grid& g : text_grids(free, everywhere, em, params.column_gap, params.min_rows, false)) {
      if (strategy == TableStrategy::automatic &&
          (crossed(extent(g), rules.vertical) || g.xs.size() - 1 < kMinWordColumns)) {
        continue;
      }
      text.push_back(std::move(g));
    }
    if (!text.empty()) fill_cells(text, placed_chars(), page.fonts);
    keep(text, [&](const Grid& g) { return filled_cells(g) >= 2; });
  }
  merge_sort(found, [](const Grid& a, const Grid& b) {
    return key_less(a.ys.front(), a.xs.front(), b.ys.front(), b.xs.front());
  });
  std::vector<Table> tables;
  for (Grid& g : found) {
    Table t{back.rc(extent(g)), static_cast<std::uint32_t>(g.ys.size() - 1),
            static_cast<std::uint32_t>(g.xs.size() - 1), 0, {}, std::move(g.chars), g.ruled};
    if (clip && !(t.bbox.x0 >= clip->x0 && t.bbox.y0 >= clip->y0 && t.bbox.x1 <= clip->x1 &&
                  t.bbox.y1 <= clip->y1)) {
      continue;
    }
    t.header = g.header != 0 ? g.header : header_rows(g);
    for (TableCell& c : g.cells) {
      c.bbox = back.rc(c.bbox);
      t.cells.push_back(std::move(c));
    }
    std::sort(t.chars.begin(), t.chars.end());
    tables.push_back(std::move(t));
  }
  return tables;
}

}  // namespace textloom
