// order_bench [ROUNDS]
//
// XY-cut on synthetic pages of many blocks: two columns of 1000 one-line
// blocks (cut into columns at once), the same under a full-width heading (the
// rows merge into one band of 2000 blocks before the columns are cut), and a
// grid of three columns with a full-width rule every 20 rows. Each page is also
// ordered with a band merge that recomputes every column test from fresh
// interval lists, so the gain of the incremental merge can be read off; the two
// orders are checked to be equal.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

#include "clock.hpp"
#include "order.hpp"
#include "sort.hpp"

using namespace textloom;

namespace {

// The band merge recomputed from scratch for every row.
bool plain_has_columns(const std::vector<OrderItem>& items, double gap_first) {
  std::vector<Interval> iv;
  double lo = std::numeric_limits<double>::infinity();
  for (const OrderItem& it : items) {
    iv.push_back({it.box.x0, it.box.x1});
    lo = min_num(lo, it.box.x0);
  }
  return !gaps(iv, lo, gap_first).empty();
}

std::vector<OrderItem> plain_xycut(const std::vector<OrderItem>& items, std::uint32_t depth,
                                   double gf, double gs) {
  if (items.size() < 2 || depth >= 51) return sorted_yx(items);
  std::vector<Interval> xs, ys;
  double xlo = std::numeric_limits<double>::infinity(), ylo = xlo;
  for (const OrderItem& it : items) {
    xs.push_back({it.box.x0, it.box.x1});
    ys.push_back({it.box.y0, it.box.y1});
    xlo = min_num(xlo, it.box.x0);
    ylo = min_num(ylo, it.box.y0);
  }
  std::vector<std::vector<OrderItem>> parts;
  const std::vector<Gap> xg = gaps(xs, xlo, gf);
  if (!xg.empty()) {
    parts = split_by(items, xg, kAxisX);
  } else {
    const std::vector<Gap> yg = gaps(ys, ylo, gs);
    if (yg.empty()) {
      std::vector<OrderItem> out = items;
      merge_sort(out, [](const OrderItem& a, const OrderItem& b) {
        return key_less(std::nearbyint(a.box.y0), a.box.x0, std::nearbyint(b.box.y0), b.box.x0);
      });
      return out;
    }
    for (const std::vector<OrderItem>& row : split_by(items, yg, kAxisY)) {
      if (!parts.empty()) {
        std::vector<OrderItem> m = parts.back();
        m.insert(m.end(), row.begin(), row.end());
        if (plain_has_columns(parts.back(), gf) && plain_has_columns(row, gf) &&
            plain_has_columns(m, gf)) {
          parts.back() = m;
          continue;
        }
      }
      parts.push_back(row);
    }
    if (parts.size() == 1) return sorted_yx(items);
  }
  std::vector<OrderItem> out;
  for (const std::vector<OrderItem>& p : parts) {
    for (const OrderItem& it : plain_xycut(p, depth + 1, gf, gs)) out.push_back(it);
  }
  return out;
}

struct Page {
  const char* name;
  std::vector<OrderItem> items;
};

void add(std::vector<OrderItem>& items, double x0, double y0, double x1, double y1) {
  items.push_back({items.size(), {x0, y0, x1, y1}});
}

std::vector<Page> pages() {
  std::vector<Page> out;
  Page two{"2 columns x 1000 lines", {}};
  for (int i = 0; i < 1000; ++i) {
    const double y = 12.0 * i;
    add(two.items, 50 + (i % 7), y, 280 - (i % 5), y + 10);
    add(two.items, 310 + (i % 3), y, 550 - (i % 11), y + 10);
  }
  Page heading{"heading + 2 columns x 1000 lines", {}};
  add(heading.items, 50, -30, 550, -10);
  for (const OrderItem& it : two.items) add(heading.items, it.box.x0, it.box.y0, it.box.x1, it.box.y1);
  Page grid{"3 columns x 900 lines, rule every 20", {}};
  for (int i = 0; i < 900; ++i) {
    const double y = 12.0 * i;
    if (i % 20 == 0) {
      add(grid.items, 40, y, 560, y + 10);
      continue;
    }
    for (int c = 0; c < 3; ++c) add(grid.items, 40 + 180 * c + (i % 4), y, 200 + 180 * c - (i % 6), y + 10);
  }
  out.push_back(std::move(two));
  out.push_back(std::move(heading));
  out.push_back(std::move(grid));
  return out;
}

std::uint64_t median(std::vector<std::uint64_t> v) {
  std::nth_element(v.begin(), v.begin() + static_cast<long>(v.size() / 2), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 15;
  std::printf("%-38s %8s %14s %14s\n", "page", "blocks", "xycut us", "plain us");
  for (const Page& page : pages()) {
    std::vector<std::uint64_t> fast, plain;
    bool same = true;
    for (int r = 0; r < rounds; ++r) {
      std::uint64_t t0 = now_ns();
      const std::vector<OrderItem> a = xycut(page.items, 0, 12.5, 2.0);
      std::uint64_t t1 = now_ns();
      const std::vector<OrderItem> b = plain_xycut(page.items, 0, 12.5, 2.0);
      std::uint64_t t2 = now_ns();
      fast.push_back(elapsed_ns(t0, t1));
      plain.push_back(elapsed_ns(t1, t2));
      for (std::size_t i = 0; i < a.size() && same; ++i) same = a[i].index == b[i].index;
      same = same && a.size() == b.size();
    }
    std::printf("%-38s %8zu %14.1f %14.1f%s\n", page.name, page.items.size(),
                static_cast<double>(median(fast)) / 1e3, static_cast<double>(median(plain)) / 1e3,
                same ? "" : "  ORDERS DIFFER");
    if (!same) return 1;
  }
  return 0;
}
